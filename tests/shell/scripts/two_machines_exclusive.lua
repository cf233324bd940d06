-- The two machines of two_machines.lua, the front one shown alone, filling the display.
Script_Details = { Name = "Two machines, one exclusive", Author = "Glimmerbox tests", Version = "1" }

function Script_Start()
  gbox.SetBackgroundColour(0x40, 0x28, 0x18)
  local front = CSpeccy48:new()
  front:SetWorldPos(-45, 0, 0)
  local beside = CSpeccy48:new()
  beside:SetWorldPos(135, 10, 140)
  beside:SetWorldRot(0, 0.5, 0)
  front:SetExclusive(true)
  while true do gbox.Sleep(1) end
end
