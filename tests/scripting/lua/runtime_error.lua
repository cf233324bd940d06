-- An error after the first Sleep ends the script as failed.
-- frames: 4
-- expect: Script loaded OK: 
-- expect: "]:10: boom
-- expect: No valid scripts available
Script_Details = { Name = "Runtime error" }

function Script_Start()
  gbox.Sleep(0)
  error("boom")
end
