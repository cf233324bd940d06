-- Numeric strings count as numbers; Sleep with a word sleeps 0 seconds; captions take numbers.
-- frames: 3
-- play-time: 0
-- expect: PASS Text with numeric strings
-- expect: after sleep
-- expect-driver: Driver: televisions 0, background 0x00030201, eye (1, 2, 3), look-at (4, 5, 6), captions 1
Script_Details = { Name = "Numeric strings" }

local function check(ok, what) gbox.Log((ok and "PASS " or "FAIL ") .. what) end

function Script_Start()
  local id = gbox.Text("10", "20", 42, 30)
  check(id >= 1 and gbox.IsTextActive(id) and gbox.IsTextActive(tostring(id)), "Text with numeric strings")
  check(not gbox.IsTextActive(id + 1000), "IsTextActive of an unknown id")
  gbox.SetCameraPos("1", "2", "3")
  gbox.SetCameraLookAt(4, "5", 6)
  gbox.SetBackgroundColour("1", 2, "3")
  gbox.Sleep("abc")
  gbox.Log("after sleep")
  gbox.Sleep(1000)
end
