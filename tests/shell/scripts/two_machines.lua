-- Two 48K Spectrums booting their ROM: one in front of the camera, one further back and turned
-- towards it, on a dark blue background.
Script_Details = { Name = "Two machines", Author = "Glimmerbox tests", Version = "1" }

function Script_Start()
  gbox.SetBackgroundColour(0x40, 0x28, 0x18)  -- blue, green, red: the colour is 0x182840
  local front = CSpeccy48:new()
  front:SetWorldPos(-45, 0, 0)
  local beside = CSpeccy48:new()
  beside:SetWorldPos(135, 10, 140)
  beside:SetWorldRot(0, 0.5, 0)
  while true do gbox.Sleep(1) end
end
