-- Wall of Screens: twelve televisions in a wall, three machines repeated by clones: one shows
-- colour bars, one a rolling rainbow, one its own BASIC. Every so often one machine fills the
-- whole display for a close look, or shows a program from the snapshot archive when it has any.

Script_Details = {
  Name = "Wall of Screens",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "A wall of twelve televisions showing a 48K, a 128K and a +2 Spectrum with colour "
    .. "bars, a rainbow and BASIC; now and then one of them fills the display.",
}

local COLUMNS, ROWS = 4, 3
local STEP = 0.1          -- seconds between updates of the pictures
local BOOTED = 3          -- seconds a machine needs to boot before its screen is painted
local ATTRIBUTES = 0x5800 -- 32 x 24 colour cells; the bottom two rows belong to the editor

-- The background colour takes its components in the order blue, green, red.
local function Background(r, g, b)
  gbox.SetBackgroundColour(b, g, r)
end

-- A bright paper colour (0 black to 7 white) over blank pixels.
local function Paper(colour)
  return 64 + colour * 8
end

-- The television test card's bars: white, yellow, cyan, green, magenta, red, blue, black.
local function ColourBars(machine)
  for row = 0, 21 do
    for column = 0, 31 do
      machine:Poke(ATTRIBUTES + row * 32 + column, Paper(7 - math.floor(column / 4)))
    end
  end
end

-- Horizontal bands of colour that roll upwards by one row per call.
local function Rainbow(machine, phase)
  for row = 0, 21 do
    local attribute = Paper((row + phase) % 7 + 1)
    local cell = ATTRIBUTES + row * 32
    for column = 0, 31 do machine:Poke(cell + column, attribute) end
  end
end

local function LoadFromArchive(machine)
  if gbox.BuildArchiveList() == 0 then return nil end
  local file = gbox.SelectFileFromArchive()
  if file and machine:LoadSnapshot(file) == gbox.Error.None then
    return string.match(file, "([^/\\]+)$") or file
  end
  return nil
end

function Script_Start()
  Background(8, 8, 24)
  gbox.SetCameraPos(0, 0, -760)
  gbox.SetCameraLookAt(0, 0, 0)

  local shows = {
    { machine = CSpeccy48:new(), label = "48K", paint = ColourBars },
    { machine = CSpeccy128:new(), label = "128K", paint = Rainbow },
    { machine = CSpeccy128:new(), label = "+2" },
  }
  shows[3].machine:SetVariant(SPECTRUM_PLUS2)
  shows[3].machine:Reset()
  shows[2].machine:Mute(true)
  shows[3].machine:Mute(true)

  -- The machines take the first three places; clones of them fill the rest.
  local place = 0
  for row = 1, ROWS do
    for column = 1, COLUMNS do
      local x = (column - (COLUMNS + 1) / 2) * 135
      local y = ((ROWS + 1) / 2 - row) * 150 - 25
      place = place + 1
      local source = shows[(place - 1) % #shows + 1].machine
      if place <= #shows then
        source:SetWorldPos(x, y, 0)
      else
        source:Clone(x, y, 0)
      end
    end
  end

  gbox.Text(20, 20, "Wall of Screens", 6)
  -- Time is counted in the steps the script sleeps, so it follows the saver's own clock.
  local t, ticks = 0, 0
  local nextCloseUp, closeUpEnds = 15, nil
  local closeUp
  while true do
    for _, show in ipairs(shows) do
      if show.paint and not show.program and t >= BOOTED then show.paint(show.machine, ticks) end
    end

    if closeUpEnds and t >= closeUpEnds then
      closeUp.machine:SetExclusive(false)
      closeUpEnds = nil
      nextCloseUp = t + 15
    elseif not closeUpEnds and t >= nextCloseUp then
      closeUp = shows[gbox.Random(#shows)]
      -- A machine that boots a program leaves its painting to the program.
      closeUp.program = LoadFromArchive(closeUp.machine) or closeUp.program
      closeUp.machine:SetExclusive(true)
      gbox.Text(20, 20, "Close-up: " .. (closeUp.program or ("the " .. closeUp.label)), 5)
      closeUpEnds = t + 6
    end

    -- A slow drift, so the wall is never quite the same.
    gbox.SetCameraPos(math.sin(t * 0.05) * 120, math.cos(t * 0.04) * 60, -760)
    gbox.Sleep(STEP)
    t = t + STEP
    ticks = ticks + 1
  end
end
