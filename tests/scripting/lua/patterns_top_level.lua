-- A pattern that overflowed the matcher's stack at the top level crashed the program while the
-- catalogue was built; now the script is left out and the rest goes on.
-- catalogue: yes
-- frames: 1
-- expect: Lua error executing buffer:
-- expect: *** Error loading script: patterns_top_level.lua
-- expect: List of scripts built OK
Script_Details = { Name = "Pattern at the top level" }
function Script_Start() end

string.find(string.rep("a", 4e5), string.rep("a?", 4e5))
