-- In the preview saver mode Text shows nothing and returns 0.
-- saver-mode: preview
-- frames: 1
-- expect: DONE
-- expect-driver: Driver: televisions 0, background 0x00000000, eye (0, 0, -300), look-at (0, 0, 0), captions 0
Script_Details = { Name = "Preview captions" }

function Script_Start()
  local id = gbox.Text(10, 10, "hidden", 5)
  gbox.Log((id == 0 and "PASS " or "FAIL ") .. "Text in preview returns 0")
  gbox.Log("DONE")
end
