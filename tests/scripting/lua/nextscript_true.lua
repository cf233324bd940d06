-- NextScript(true) fails the script; the only script of the playlist is never tried again.
-- frames: 4
-- expect: Script aborted by NextScript()
-- expect: No valid scripts available
Script_Details = { Name = "NextScript(true)" }

function Script_Start()
  gbox.Sleep(0)
  gbox.NextScript(true)
end
