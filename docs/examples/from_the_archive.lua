-- From the Archive: loads one named program, checks the result code, and shows the machine with a
-- clone, the two sets turned towards each other; after five seconds the machine fills the display
-- for three. Without the program, the machine boots its ROM and the caption says why.

Script_Details = {
  Name = "From the Archive",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "A named program from the snapshot archive on a machine and its clone.",
}

local WANTED = "plasma.z80"
local MODELS = { [SPECTRUM_16] = "16K", [SPECTRUM_48] = "48K", [SPECTRUM_128] = "128K",
  [SPECTRUM_PLUS2] = "+2" }

function Script_Start()
  gbox.SetCameraPos(0, 40, -420)
  gbox.SetCameraLookAt(0, 0, 0)

  local spectrum = CSpeccy48:new()
  local caption
  local path = gbox.FindFileInArchive(WANTED)  -- nil when no file of that name is there
  local result = path and spectrum:LoadSnapshot(path) or gbox.Error.CouldNotOpenFile
  if result == gbox.Error.None then
    caption = WANTED .. " on a " .. MODELS[spectrum:GetModel()] .. " Spectrum"
  else
    gbox.Log("From the Archive: " .. WANTED .. ": " .. gbox.ErrorText(result))
    spectrum:Reset()
    caption = WANTED .. ": " .. gbox.ErrorText(result)
  end
  gbox.Text(20, 70, caption, 4)

  -- The machine on the left, turned a little to the right; its clone mirrors it.
  spectrum:SetWorldPos(-80, 0, 0)
  spectrum:SetWorldRot(0, -0.3, 0)
  local clone = spectrum:Clone(80, 0, 0)
  clone:SetWorldRot(0, 0.3, 0)

  gbox.Sleep(5)
  spectrum:SetExclusive(true)
  gbox.Sleep(3)
  spectrum:SetExclusive(false)
  -- Returning ends nothing: the machines run on until the play time is up.
end
