-- Top-level code that calls gbox loads for play but fails in details mode, so the catalogue
-- leaves it out.
-- catalogue: yes
-- expect: Building list of scripts
-- expect: Loading script details_gbox.lua
-- expect: Firing up Lua 5.1.5
-- expect: Lua error executing buffer: 
-- expect: Script failed to load: details_gbox.lua
-- expect: *** Error loading script: details_gbox.lua
-- expect: List of scripts built OK
-- expect: Building playlist (sequential)
-- expect: No valid scripts available
gbox.Log("top level ran")
Script_Details = { Name = "Calls gbox at top level" }
function Script_Start() end
