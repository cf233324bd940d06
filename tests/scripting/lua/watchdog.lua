-- A Script_Start that never sleeps is stopped by the watchdog and counts as failed, so it is not
-- loaded again in this run (it was reloaded on every frame, flooding the log).
-- frames: 3
-- expect: Loading script watchdog.lua
-- expect: Resuming thread at Script_Start()
-- expect: spinning
-- expect: Script not responding. Closing it: watchdog.lua
-- expect: Script failed to load: watchdog.lua
-- expect: No valid scripts available
-- expect-absent: Script loaded OK
-- expect-absent: Lua error
Script_Details = { Name = "Watchdog test", Version = "1" }

function Script_Start()
  gbox.Log("spinning")
  while true do end
end
