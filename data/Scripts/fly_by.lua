-- Fly-by: an avenue of televisions, two machines and their clones, with the camera flying slowly
-- along it and back again. Without programs from the snapshot archive the 48K shows the test
-- card's colour bars and the 128K its BASIC.

Script_Details = {
  Name = "Fly-by",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "The camera flies along an avenue of televisions showing a 48K and a 128K Spectrum "
    .. "and their clones.",
}

local LENGTH = 2400   -- from the first pair of televisions to the last
local PITCH = 300     -- between pairs
local SPEED = 120     -- units per second

-- The television test card's bars in the upper 22 rows of colour cells: white, yellow, cyan,
-- green, magenta, red, blue, black, bright paper over blank pixels.
local function ColourBars(machine)
  for row = 0, 21 do
    for column = 0, 31 do
      machine:Poke(0x5800 + row * 32 + column, 64 + (7 - math.floor(column / 4)) * 8)
    end
  end
end

-- A program from the archive for a machine, or false when there is none that loads.
local function LoadFromArchive(machine)
  if gbox.BuildArchiveList() == 0 then return false end
  local file = gbox.SelectFileFromArchive()
  return file ~= nil and machine:LoadSnapshot(file) == gbox.Error.None
end

function Script_Start()
  gbox.SetBackgroundColour(0, 0, 0)

  -- Left side: the 48K and its clones; right side: the 128K and its clones. Each television
  -- turns a little towards the approaching camera.
  local left = CSpeccy48:new()
  local right = CSpeccy128:new()
  left:SetWorldPos(-150, 0, 0)
  left:SetWorldRot(0, -0.6, 0)
  right:SetWorldPos(150, 0, 0)
  right:SetWorldRot(0, 0.6, 0)
  right:Mute(true)
  for z = PITCH, LENGTH, PITCH do
    left:Clone(-150, 0, z):SetWorldRot(0, -0.6, 0)
    right:Clone(150, 0, z):SetWorldRot(0, 0.6, 0)
  end
  local leftShowsProgram = LoadFromArchive(left)
  LoadFromArchive(right)

  gbox.SetCameraPos(0, 20, -600)
  gbox.SetCameraLookAt(0, 0, -200)
  gbox.Text(20, 20, "Fly-by", 6)
  -- BASIC needs a moment to start before its screen can be painted.
  gbox.Sleep(3)
  if not leftShowsProgram then ColourBars(left) end
  local started = gbox.GetTimer()
  local lap = -1
  while true do
    local travelled = (gbox.GetTimer() - started) * SPEED
    local span = LENGTH + 800
    local thisLap = math.floor(travelled / span)
    local along = travelled % span
    -- Out along the avenue, then back the other way.
    local forward = thisLap % 2 == 0
    local z = forward and (along - 600) or (LENGTH + 200 - along)
    local ahead = forward and 400 or -400
    gbox.SetCameraPos(math.sin(travelled / 500) * 40, 20 + math.sin(travelled / 900) * 30, z)
    gbox.SetCameraLookAt(0, 0, z + ahead)
    if thisLap ~= lap then
      lap = thisLap
      -- Each lap one machine takes the next program from the archive, if there is one.
      if lap > 0 then LoadFromArchive(lap % 2 == 0 and left or right) end
    end
    gbox.Sleep(0)
  end
end
