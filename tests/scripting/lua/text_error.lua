-- A wrongly called program function is a script error: named after the script, failed.
-- frames: 3
-- expect: "]:9: Error in text_error.lua : Text syntax error. Should be: Text(x, y, msg [,time to display])
-- expect: No valid scripts available
Script_Details = { Name = "Text with a table" }

function Script_Start()
  gbox.Sleep(0)
  gbox.Text(10, 10, {})
  gbox.Log("FAIL Text returned")
end
