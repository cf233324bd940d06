-- Sleep at the top level cannot yield: the load fails.
-- frames: 2
-- expect: Lua error executing buffer: attempt to yield across metamethod/C-call boundary
-- expect: Script failed to load: toplevel_sleep.lua
-- expect: No valid scripts available
Script_Details = { Name = "Sleep at top level" }
function Script_Start() end

gbox.Sleep(1)
