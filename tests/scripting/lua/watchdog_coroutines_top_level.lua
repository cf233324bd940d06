-- At the top level too: coroutines share the chunk's allowance, so start-up cannot hang.
-- catalogue: yes
-- frames: 1
-- expect: Script not responding
-- expect: *** Error loading script: watchdog_coroutines_top_level.lua
-- expect-absent: Added script to list
Script_Details = { Name = "Top-level coroutines" }
function Script_Start() end

local function busy(n) local x = 0 for i = 1, n do x = x + i end return x end
for i = 1, 300 do
  coroutine.wrap(function() busy(4e6) end)()
end
