-- An error after the first Sleep ends the script as failed.
-- frames: 4
-- expect: Script loaded OK: 
-- expect: Lua error while running script: 
-- expect: boom
-- expect: No valid scripts available
Script_Details = { Name = "Runtime error" }

function Script_Start()
  gbox.Sleep(0)
  error("boom")
end
