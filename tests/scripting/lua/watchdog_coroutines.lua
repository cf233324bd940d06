-- Coroutines do not widen the watchdog's allowance: a resumption counts the instructions of
-- every coroutine it runs, so 300 coroutines of 60000 instructions each stop the script.
-- frames: 2
-- expect: Script not responding. Closing it: watchdog_coroutines.lua
-- expect: No valid scripts available
-- expect-absent: after the loop
Script_Details = { Name = "Watchdog across coroutines" }

local function busy(n) local x = 0 for i = 1, n do x = x + i end return x end

function Script_Start()
  for i = 1, 300 do
    coroutine.wrap(function() busy(20000) end)()
    coroutine.resume(coroutine.create(function() busy(20000) end))
    local inner = coroutine.wrap(function() coroutine.wrap(function() busy(20000) end)() end)
    inner()
  end
  gbox.Log("after the loop")
end
