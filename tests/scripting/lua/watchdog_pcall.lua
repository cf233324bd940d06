-- An endless loop inside pcall: the watchdog's yield is refused there, and the script is stopped
-- at the first place it can yield instead of hanging the program.
-- frames: 2
-- expect: Script not responding. Closing it: watchdog_pcall.lua
-- expect: No valid scripts available
-- expect-absent: after the loop
Script_Details = { Name = "Watchdog inside pcall" }

function Script_Start()
  while true do
    pcall(function() while true do end end)
  end
  gbox.Log("after the loop")
end
