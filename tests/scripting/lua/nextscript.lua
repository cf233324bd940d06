-- NextScript() ends the script without failing it (a number is not true): it is played again.
-- frames: 4
-- expect: Loading script nextscript.lua
-- expect: "]:11: Script aborted by NextScript()
-- expect: Loading script nextscript.lua
-- expect-absent: No valid scripts available
Script_Details = { Name = "NextScript" }

function Script_Start()
  gbox.Sleep(0)
  gbox.NextScript(1)
end
