-- Fly-by: the camera flies on and on along an avenue of televisions that curves round into a
-- great ring. Four machines show programs and screens from the snapshot archive, each repeated by
-- clones along the avenue; every few seconds one of them takes the next file, and now and then
-- one fills the display for a close look. Without an archive that loads, two 48K machines show
-- colour bars and a rainbow and two 128K machines their BASIC.

Script_Details = {
  Name = "Fly-by",
  Author = "Glimmerbox",
  Version = "1.1",
  Description = "The camera flies round a ring-shaped avenue of televisions: four Spectrums and "
    .. "their clones showing programs from the snapshot archive.",
}

local RADIUS = 800        -- of the camera's path down the middle of the avenue
local HALF_WIDTH = 150    -- from the middle of the avenue to either row of televisions
local PAIRS = 16          -- pairs of televisions round the ring
local SPEED = 110         -- units per second along the ring
local LOOK_AHEAD = 0.45   -- radians along the ring to the point the camera looks at
local TURN_IN = 0.6       -- radians the televisions turn from the oncoming camera to the aisle
local CHANGE_EVERY = 12   -- seconds between two machines taking a new file
local CLOSE_UP_EVERY, CLOSE_UP_SECONDS = 35, 5
local BOOTED = 3          -- seconds BASIC needs before its screen can be painted
local PAINT_EVERY = 0.1   -- seconds between two repaints of a painted screen
local ATTRIBUTES = 0x5800 -- 32 x 24 colour cells; the bottom two rows belong to the editor
local TWO_PI = 2 * math.pi
local CAPTION_X, CAPTION_Y = 20, 70  -- clear of the SmartPlay line that the first list shows

local MODELS = { "16K Spectrum", "48K Spectrum", "128K Spectrum", "Spectrum +2" }

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
      gbox.Log("Fly-by: " .. what)
      return machine, what, IsScreen(file)
    end
  end
  return nil
end

-- What a slot shows when the archive gives it nothing: 48K machines with colour bars and a
-- rainbow, and a 128K and a +2 with their BASIC.
local function Fallback(slot)
  local kind = (slot.index - 1) % 4 + 1
  local machine
  if kind == 1 or kind == 3 then
    machine = CSpeccy48:new()
    slot.paint = kind == 1 and ColourBars or Rainbow
  else
    machine = CSpeccy128:new()
    if kind == 4 then
      machine:SetVariant(SPECTRUM_PLUS2)
      machine:Reset()
    end
    slot.paint = nil
  end
  slot.age, slot.phase, slot.untilPaint = 0, 0, 0
  local shows = { " with colour bars", " with its BASIC", " with a rainbow", " with its BASIC" }
  return machine, MODELS[machine:GetModel() + 1] .. shows[kind]
end

-- Puts a machine in a slot's places, the machine itself at the first and clones at the rest; the
-- slot's previous machine goes, and its clones with it.
local function Install(slot, machine, what)
  if slot.machine then slot.machine:delete() end
  slot.machine, slot.what = machine, what
  for i, place in ipairs(slot.places) do
    local tv = machine
    if i == 1 then
      machine:SetWorldPos(place.x, 0, place.z)
    else
      tv = machine:Clone(place.x, 0, place.z)
    end
    tv:SetWorldRot(0, place.turn, 0)
  end
end

-- One machine is heard, the others are muted (a machine frozen by a close-up must not go on
-- sounding its last frame).
local function Speak(slots, speaker)
  for _, slot in ipairs(slots) do slot.machine:Mute(slot.machine ~= speaker) end
end

-- A place on the ring at angle a and radius r, its television turned towards the oncoming camera
-- and a little towards the aisle.
local function Place(a, r)
  local aisle = r < RADIUS and 1 or -1
  local fx = math.sin(a) * math.cos(TURN_IN) + aisle * math.cos(a) * math.sin(TURN_IN)
  local fz = -math.cos(a) * math.cos(TURN_IN) + aisle * math.sin(a) * math.sin(TURN_IN)
  -- A television turned by t about the y axis faces (-sin t, -cos t).
  return { x = r * math.cos(a), z = r * math.sin(a), turn = math.atan2(-fx, -fz) }
end

local function JoinLines(lines)
  return table.concat(lines, "\n")
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
  -- A night-blue sky; the components go in the order blue, green, red.
  gbox.SetBackgroundColour(24, 6, 4)

  local slots = {}
  for i = 1, 4 do slots[i] = { index = i, places = {} } end
  for k = 0, PAIRS - 1 do
    local a = TWO_PI * k / PAIRS
    table.insert(slots[k % 4 + 1].places, Place(a, RADIUS - HALF_WIDTH))
    table.insert(slots[(k + 2) % 4 + 1].places, Place(a, RADIUS + HALF_WIDTH))
  end

  local lines = { "Fly-by" }
  local speaker
  for _, slot in ipairs(slots) do
    local machine, what, screen = NextFromArchive()
    if machine then
      if not screen then speaker = machine end
    else
      machine, what = Fallback(slot)
    end
    Install(slot, machine, what)
    table.insert(lines, what)
  end
  Speak(slots, speaker or slots[1].machine)
  Caption(JoinLines(lines), 8)

  local angle = -0.3  -- the camera starts just before the first pair
  local sway, bob = 0, 0
  local untilChange, untilCloseUp = CHANGE_EVERY, CLOSE_UP_EVERY
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
          Caption("Now showing " .. what, 5)
        end
      elseif untilCloseUp <= 0 then
        untilCloseUp = CLOSE_UP_EVERY
        closeUp = slots[gbox.Random(#slots)]
        closeUpLeft = CLOSE_UP_SECONDS
        Speak(slots, closeUp.machine)
        closeUp.machine:SetExclusive(true)
        Caption("Close-up: " .. closeUp.what, CLOSE_UP_SECONDS)
      end
    end

    -- Round and round the ring, swaying a little across the aisle and up and down.
    angle = (angle + passed * SPEED / RADIUS) % TWO_PI
    sway = (sway + passed * 0.23) % TWO_PI
    bob = (bob + passed * 0.17) % TWO_PI
    local r = RADIUS + math.sin(sway) * 35
    gbox.SetCameraPos(r * math.cos(angle), 20 + math.sin(bob) * 20, r * math.sin(angle))
    local ahead = angle + LOOK_AHEAD
    gbox.SetCameraLookAt(RADIUS * math.cos(ahead), 5, RADIUS * math.sin(ahead))
  end
end
