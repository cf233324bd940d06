-- SetBackgroundColour keeps the low byte of each component: 256 gives 0.
-- frames: 2
-- play-time: 0
-- expect: Script loaded OK: 
-- expect-driver: Driver: televisions 0, background 0x00000000
Script_Details = { Name = "Background colour" }

function Script_Start()
  gbox.SetBackgroundColour(10, 20, 30)
  gbox.Sleep(0)
  gbox.SetBackgroundColour(256, 0, 0)
  gbox.Sleep(1000)
end
