-- Sleep(0) in a loop: resumed once per frame (the first pass runs at load, the second in the
-- same frame's resume step), and each pass stays within the watchdog's budget.
-- frames: 10
-- play-time: 0
-- expect: pass 1
-- expect: pass 2
-- expect: pass 11
-- expect-absent: pass 12
-- expect-absent: Script not responding
Script_Details = { Name = "Sleep(0) per frame" }

function Script_Start()
  local passes = 0
  while true do
    passes = passes + 1
    gbox.Log("pass " .. passes)
    local sum = 0
    for i = 1, 15000 do sum = sum + i end
    gbox.Sleep(0)
  end
end
