-- Top-level code that never ends cannot hang the program: the chunk has a budget of its own.
-- frames: 2
-- expect: Lua error executing buffer: Script not responding
-- expect: Script failed to load: toplevel_loop.lua
-- expect: No valid scripts available
Script_Details = { Name = "Endless top level" }
function Script_Start() end

while true do
  pcall(function() while true do end end)
end
