-- Wall of Screens: twelve televisions in a wall, three machines repeated by clones, each showing a
-- program or a screen from the snapshot archive on a machine of its own model. Every so often one
-- machine takes the next file, and one fills the whole display for a close look. Without an
-- archive that loads, one machine shows colour bars, one a rolling rainbow and one its own BASIC.

Script_Details = {
  Name = "Wall of Screens",
  Author = "Glimmerbox",
  Version = "1.1",
  Description = "A wall of twelve televisions showing three Spectrums with programs from the "
    .. "snapshot archive; now and then one of them fills the display.",
}

local COLUMNS, ROWS = 4, 3
local CHANGE_EVERY = 12    -- seconds between two machines taking a new file
local FIRST_CLOSE_UP, CLOSE_UP_EVERY, CLOSE_UP_SECONDS = 15, 20, 6
local BOOTED = 3           -- seconds BASIC needs before its screen can be painted
local PAINT_EVERY = 0.1    -- seconds between two repaints of a painted screen
local ATTRIBUTES = 0x5800  -- 32 x 24 colour cells; the bottom two rows belong to the editor
local CAPTION_X, CAPTION_Y = 20, 70  -- clear of the SmartPlay line that the first list shows
local TWO_PI = 2 * math.pi

local MODELS = { "16K Spectrum", "48K Spectrum", "128K Spectrum", "Spectrum +2" }

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

local function BaseName(path)
  return string.match(path, "([^/\\]+)$") or path
end

local function IsScreen(name)
  return string.find(string.lower(name), "%.scr$") ~= nil
end

-- A machine of the right class running the file, or nil: 128K and +2 snapshots on a 128K
-- machine, everything else (16K and 48K programs, screens, ROMs) on a 48K one. A 128K machine
-- takes every file, so it is tried first and tells the file's model.
local function MachineFor(file)
  local machine = CSpeccy128:new()
  if machine:LoadSnapshot(file) ~= gbox.Error.None then
    machine:delete()
    return nil
  end
  local model = machine:GetModel()
  local is128 = model == SPECTRUM_128 or model == SPECTRUM_PLUS2 or model == SPECTRUM_PENTAGON
  if is128 and not IsScreen(file) then return machine end
  machine:delete()
  machine = CSpeccy48:new()
  if machine:LoadSnapshot(file) == gbox.Error.None then return machine end
  machine:delete()
  return nil
end

local function Describe(machine, name)
  if IsScreen(name) then return name .. ", a screen" end
  return name .. " on a " .. (MODELS[machine:GetModel() + 1] or "Spectrum")
end

-- The next file from the archive that loads, on its machine, what to call it and whether it is a
-- (silent) screen; nil when the archive has none. A few files that do not load are passed over,
-- no more, so that a broken archive costs little.
local function NextFromArchive()
  local count = gbox.BuildArchiveList()
  for _ = 1, math.min(count, 4) do
    local file = gbox.SelectFileFromArchive()
    if not file then return nil end
    local machine = MachineFor(file)
    if machine then
      local what = Describe(machine, BaseName(file))
      gbox.Log("Wall of Screens: " .. what)
      return machine, what, IsScreen(file)
    end
  end
  return nil
end

-- What a machine shows when the archive gives it nothing: colour bars on a 48K, a rainbow on a
-- 128K, BASIC on a +2.
local function Fallback(slot)
  local machine
  if slot.index == 1 then
    machine = CSpeccy48:new()
    slot.paint = ColourBars
  else
    machine = CSpeccy128:new()
    slot.paint = slot.index == 2 and Rainbow or nil
    if slot.index == 3 then
      machine:SetVariant(SPECTRUM_PLUS2)
      machine:Reset()
    end
  end
  slot.age, slot.phase, slot.untilPaint = 0, 0, 0
  local shows = { " with colour bars", " with a rainbow", " with its BASIC" }
  return machine, "a " .. MODELS[machine:GetModel() + 1] .. shows[slot.index]
end

-- Puts a machine in its places on the wall, the machine itself at the first and clones at the
-- rest; the machine there before goes, and its clones with it.
local function Install(slot, machine, what)
  if slot.machine then slot.machine:delete() end
  slot.machine, slot.what = machine, what
  for i, place in ipairs(slot.places) do
    if i == 1 then
      machine:SetWorldPos(place.x, place.y, 0)
    else
      machine:Clone(place.x, place.y, 0)
    end
  end
end

-- One machine is heard, the others are muted (a machine frozen by a close-up must not go on
-- sounding its last frame).
local function Speak(slots, speaker)
  for _, slot in ipairs(slots) do slot.machine:Mute(slot.machine ~= speaker) end
end

-- The script's captions follow one another: the next event waits until the last caption is gone.
local caption
local function Caption(text, seconds)
  caption = gbox.Text(CAPTION_X, CAPTION_Y, text, seconds)
end
local function CaptionShown()
  return caption ~= nil and gbox.IsTextActive(caption)
end

-- Time passed: each pass sleeps at least STEP of the saver's clock, and the timer tells how much
-- more went by, up to a tenth of a second, so the camera glides on after a pause instead of
-- jumping.
local STEP = 0.01
local lastTimer
local function Pass()
  gbox.Sleep(STEP)
  local timer = gbox.GetTimer()
  local passed = timer - lastTimer
  lastTimer = timer
  if not (passed >= STEP) then return STEP end
  return math.min(passed, 0.1)
end

function Script_Start()
  Background(8, 8, 24)
  gbox.SetCameraPos(0, 0, -760)
  gbox.SetCameraLookAt(0, 0, 0)

  -- Three machines, each in four places of the wall, so that neighbours differ.
  local slots = {}
  for i = 1, 3 do slots[i] = { index = i, places = {} } end
  local place = 0
  for row = 1, ROWS do
    for column = 1, COLUMNS do
      place = place + 1
      table.insert(slots[(place - 1) % #slots + 1].places, {
        x = (column - (COLUMNS + 1) / 2) * 135,
        y = ((ROWS + 1) / 2 - row) * 150 - 25,
      })
    end
  end

  local names = {}
  local speaker
  for _, slot in ipairs(slots) do
    local machine, what, screen = NextFromArchive()
    if machine then
      if not screen then speaker = machine end
    else
      machine, what = Fallback(slot)
    end
    Install(slot, machine, what)
    table.insert(names, what)
  end
  Speak(slots, speaker or slots[1].machine)
  Caption("Wall of Screens:\n" .. table.concat(names, "\n"), 8)

  local driftX, driftY = 0, 0
  local untilChange, untilCloseUp = CHANGE_EVERY, FIRST_CLOSE_UP
  local nextSlot = 1
  local closeUp, closeUpLeft
  lastTimer = gbox.GetTimer()
  while true do
    local passed = Pass()

    for _, slot in ipairs(slots) do
      if slot.paint then
        slot.age = slot.age + passed
        slot.untilPaint = slot.untilPaint - passed
        if slot.age >= BOOTED and slot.untilPaint <= 0 then
          slot.untilPaint = PAINT_EVERY
          slot.phase = (slot.phase + 1) % 7
          slot.paint(slot.machine, slot.phase)
        end
      end
    end

    if closeUp then
      closeUpLeft = closeUpLeft - passed
      if closeUpLeft <= 0 then
        closeUp.machine:SetExclusive(false)
        closeUp = nil
      end
    elseif not CaptionShown() then
      untilChange = untilChange - passed
      untilCloseUp = untilCloseUp - passed
      if untilChange <= 0 then
        -- The machines take the next file from the archive in turn.
        untilChange = CHANGE_EVERY
        local slot = slots[nextSlot]
        nextSlot = nextSlot % #slots + 1
        local machine, what, screen = NextFromArchive()
        if machine then
          slot.paint = nil
          Install(slot, machine, what)
          if screen then machine:Mute(true) else Speak(slots, machine) end
          Caption("On the wall now: " .. what, 5)
        end
      elseif untilCloseUp <= 0 then
        untilCloseUp = CLOSE_UP_EVERY
        closeUp = slots[gbox.Random(#slots)]
        closeUpLeft = CLOSE_UP_SECONDS
        Speak(slots, closeUp.machine)
        closeUp.machine:SetExclusive(true)
        Caption("Close-up: " .. closeUp.what, 5)
      end
    end

    -- A slow drift, so the wall is never quite the same.
    driftX = (driftX + passed * 0.05) % TWO_PI
    driftY = (driftY + passed * 0.04) % TWO_PI
    gbox.SetCameraPos(math.sin(driftX) * 120, math.cos(driftY) * 60, -760)
  end
end
