-- A script that fills its memory is stopped as failed at 64 MB, even when a pcall swallows the
-- error, instead of taking the program down.
-- frames: 3
-- expect: Script memory_cap.lua used more than 64 MB of memory. Stopping it
-- expect: No valid scripts available
-- expect-absent: FAIL
Script_Details = { Name = "Memory cap" }

function Script_Start()
  local ok = pcall(function()
    local t, block = {}, string.rep("x", 2 ^ 20)
    for i = 1, 96 do t[i] = block .. i end
    gbox.Log("FAIL held 96 MB")
  end)
  gbox.Log("went on after the error: " .. tostring(ok))
end
