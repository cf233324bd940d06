-- An endless loop in a coroutine of the script's own is stopped too.
-- frames: 2
-- expect: Script not responding. Closing it: watchdog_coroutine.lua
-- expect: No valid scripts available
-- expect-absent: script thread went on
Script_Details = { Name = "Watchdog in a nested coroutine" }

function Script_Start()
  local spin = coroutine.wrap(function() while true do end end)
  spin()
  gbox.Log("script thread went on")
  while true do end
end
