-- A Script_Start that never sleeps is stopped by the watchdog; its failed flag stays clear, so
-- the scheduler starts it again on the next frame.
-- frames: 3
-- expect: Loading script watchdog.lua
-- expect: Resuming thread at Script_Start()
-- expect: spinning
-- expect: Script not responding. Closing it: watchdog.lua
-- expect: Script loaded OK: 
-- expect: Loading script watchdog.lua
-- expect: Script not responding. Closing it: watchdog.lua
-- expect-absent: No valid scripts available
-- expect-absent: Lua error
Script_Details = { Name = "Watchdog test", Version = "1" }

function Script_Start()
  gbox.Log("spinning")
  while true do end
end
