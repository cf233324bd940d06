-- The first component lands in the low byte; -1 keeps its low byte, 255.
-- frames: 2
-- play-time: 0
-- expect: Script loaded OK: 
-- expect-driver: Driver: televisions 0, background 0x00ff0201
Script_Details = { Name = "Background bytes" }

function Script_Start()
  gbox.SetBackgroundColour(1, 2 + 256, -1)
  gbox.Sleep(1000)
end
