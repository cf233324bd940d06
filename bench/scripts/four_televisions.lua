-- Four 48K Spectrums running their ROM side by side: the load of the saver's CPU benchmark.
Script_Details = { Name = "Four televisions", Author = "Glimmerbox benchmarks", Version = "1" }

function Script_Start()
  gbox.SetBackgroundColour(0x40, 0x28, 0x18)
  for i = 0, 3 do
    local machine = CSpeccy48:new()
    machine:SetWorldPos(-210 + 140 * i, 0, 250)
  end
  while true do gbox.Sleep(1) end
end
