-- Ring of Clones: twelve televisions stand in a ring, like the hours on a clock face, all facing
-- the middle, where the camera slowly turns round to look at one after another; now and then it
-- rises for a look down across the ring. Every set shows the same machine: one Spectrum, kept out
-- of sight, and twelve clones of its screen. Every so often the machine gives way to the next
-- program from the snapshot archive, and the new picture runs round the ring, set by set. When
-- the archive has nothing that loads, a 48K Spectrum wears its rainbow stripes instead.

Script_Details = {
  Name = "Ring of Clones",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "Twelve televisions in a ring round the camera, all clones of one Spectrum "
    .. "showing programs from the snapshot archive; each new program runs round the ring.",
  Webpage = "https://glimmerbox.example/scripts",
  Email = "shows@glimmerbox.example",
}

local PLACES = 12             -- televisions round the ring
local RADIUS = 300            -- from the middle to each television; wide enough for their corners
local EYE_Y, LOOK_Y = 25, 25  -- the camera looks out level with the tops of the screens
local TURN_SECONDS = 72       -- for the camera to turn once round
local RISE_EVERY = 45         -- seconds between two looks from above
local RISE_SECONDS, HIGH_SECONDS = 7, 8  -- going up (and down again), and staying up
local RISE_HEIGHT = 300       -- the camera's height when it looks down across the ring
local CHANGE_EVERY = 20       -- seconds between two programs
local WAVE_STEP = 0.3         -- seconds between two sets taking the new program
local DROP, DROP_SECONDS = 40, 0.6  -- a set with the new program drops into its place from above
local ARCHIVE_TRIES = 4       -- files that do not load passed over, at most, each time
local CAPTION_X, CAPTION_Y = 20, 70  -- clear of the SmartPlay line that the first list shows
local CAPTION_SECONDS = 8
local TWO_PI = 2 * math.pi

-- The colour cells of the picture: 32 columns by 24 rows from 5800h, one byte each (FLASH,
-- BRIGHT, paper colour in bits 3 to 5, ink in bits 0 to 2). BASIC keeps the bottom two rows.
local ATTRIBUTES = 0x5800
local COLUMNS, ROWS = 32, 22
local BLACK, BLUE, RED, MAGENTA, GREEN, CYAN, YELLOW, WHITE = 0, 1, 2, 3, 4, 5, 6, 7
local BRIGHT = 0x40
local BOOTED = 3              -- seconds the ROM needs to clear the screen after switch-on
local PAINT_EVERY = 1         -- seconds between two coats of paint (BASIC may scroll it away)

local MODELS = { "16K Spectrum", "48K Spectrum", "128K Spectrum", "Spectrum +2" }

-- The background colour takes its components in the order blue, green, red.
local function Background(r, g, b)
  gbox.SetBackgroundColour(b, g, r)
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
  if is128 and not IsScreen(file) then
    return machine
  end
  machine:delete()
  machine = CSpeccy48:new()
  if machine:LoadSnapshot(file) == gbox.Error.None then return machine end
  machine:delete()
  return nil
end

-- The next file from the archive that loads, on its machine, and what to call it; nil when the
-- archive has none.
local function NextFromArchive()
  local count = gbox.BuildArchiveList()
  for _ = 1, math.min(count, ARCHIVE_TRIES) do
    local file = gbox.SelectFileFromArchive()
    if not file then return nil end
    local machine = MachineFor(file)
    if machine then
      local name = BaseName(file)
      local what = IsScreen(name) and name .. ", a screen"
        or name .. " on a " .. (MODELS[machine:GetModel() + 1] or "Spectrum")
      gbox.Log("Ring of Clones: " .. what)
      return machine, what
    end
  end
  return nil
end

-- The rainbow stripes of the Spectrum's case, red, yellow, green and cyan, two cells wide each,
-- running up to the right across the lower right of a black picture.
local STRIPES = { RED, YELLOW, GREEN, CYAN }
local FIRST_DIAGONAL = 32     -- column + row of the cells where the red stripe begins
local function PaintStripes(machine)
  for row = 0, ROWS - 1 do
    for column = 0, COLUMNS - 1 do
      local stripe = STRIPES[math.floor((column + row - FIRST_DIAGONAL) / 2) + 1]
      local paper = stripe and BRIGHT + stripe * 8 or BLACK
      machine:Poke(ATTRIBUTES + row * COLUMNS + column, paper + WHITE)
    end
  end
end

-- Slow at both ends, quick in the middle: 0 to 1 as s goes from 0 to 1.
local function Ease(s)
  return s * s * (3 - 2 * s)
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

-- The places round the ring. A television turned by t about the y axis faces (-sin t, -cos t),
-- so one at (sin t, cos t) times the radius, turned by t, faces the middle.
local places = {}
for k = 0, PLACES - 1 do
  local angle = TWO_PI * k / PLACES
  places[k + 1] = { angle = angle, x = math.sin(angle) * RADIUS, z = math.cos(angle) * RADIUS }
end

-- Puts a clone of the machine in a place, where the clone there before (of the old machine) goes.
local function Switch(place, machine)
  if place.clone then place.clone:delete() end
  place.clone = machine:Clone(place.x, DROP, place.z)
  place.clone:SetWorldRot(0, place.angle, 0)
  place.dropping = 0
end

function Script_Start()
  Background(4, 10, 22)  -- midnight blue

  local machine, what = NextFromArchive()
  local painted = not machine
  if painted then
    machine = CSpeccy48:new()
    local why = gbox.BuildArchiveList() == 0 and "the snapshot archive is empty"
      or "nothing in the snapshot archive loads"
    what = "a 48K Spectrum in its rainbow stripes\n(" .. why .. ")"
  end
  -- The machine itself stays out of sight; it runs all the same, and its clones show it.
  machine:Show(false)
  for _, place in ipairs(places) do Switch(place, machine) end
  local caption = "Ring of Clones\n" .. what .. "\non twelve televisions, all clones of one machine"
  gbox.Text(CAPTION_X, CAPTION_Y, caption, CAPTION_SECONDS)

  local heading = 0           -- where the camera looks, as an angle round the ring
  local age, untilPaint = 0, 0
  local untilChange, untilRise = CHANGE_EVERY, RISE_EVERY
  local rising                -- seconds into a look from above, or nil
  local old                   -- the machine giving way to a new one
  local wave, untilStep       -- the places the new machine has still to take, in order
  lastTimer = gbox.GetTimer()
  while true do
    local passed = Pass()

    -- A machine without a program keeps its stripes on, once its ROM has cleared the screen.
    if painted then
      age = age + passed
      untilPaint = untilPaint - passed
      if age >= BOOTED and untilPaint <= 0 then
        untilPaint = PAINT_EVERY
        PaintStripes(machine)
      end
    end

    -- The next program: a new machine, out of sight, heard from now on; its picture takes the
    -- ring set by set, from the one in view onwards.
    untilChange = untilChange - passed
    if untilChange <= 0 and not wave then
      untilChange = CHANGE_EVERY
      local newcomer, itsName = NextFromArchive()
      if newcomer then
        newcomer:Show(false)
        machine:Mute(true)
        old, machine, painted = machine, newcomer, false
        wave, untilStep = {}, 0
        local first = math.floor(heading / TWO_PI * PLACES + 0.5)
        for k = 0, PLACES - 1 do table.insert(wave, places[(first + k) % PLACES + 1]) end
        gbox.Text(CAPTION_X, CAPTION_Y, "Now on every screen:\n" .. itsName, CAPTION_SECONDS)
      end
    end
    if wave then
      untilStep = untilStep - passed
      if untilStep <= 0 then
        untilStep = WAVE_STEP
        Switch(table.remove(wave, 1), machine)
        if #wave == 0 then
          old:delete()  -- its clones are all gone already
          old, wave = nil, nil
        end
      end
    end

    -- New sets settle into their places.
    for _, place in ipairs(places) do
      if place.dropping then
        place.dropping = place.dropping + passed
        local s = math.min(place.dropping / DROP_SECONDS, 1)
        place.clone:SetWorldPos(place.x, DROP * (1 - Ease(s)), place.z)
        if s >= 1 then place.dropping = nil end
      end
    end

    -- The camera turns round in the middle; now and then it rises to look down across the ring.
    heading = (heading + passed * TWO_PI / TURN_SECONDS) % TWO_PI
    local height = EYE_Y
    if rising then
      rising = rising + passed
      local up = math.min(rising, RISE_SECONDS, 2 * RISE_SECONDS + HIGH_SECONDS - rising)
      height = EYE_Y + (RISE_HEIGHT - EYE_Y) * Ease(math.max(up, 0) / RISE_SECONDS)
      if rising >= 2 * RISE_SECONDS + HIGH_SECONDS then rising = nil end
    else
      untilRise = untilRise - passed
      if untilRise <= 0 then untilRise, rising = RISE_EVERY, 0 end
    end
    gbox.SetCameraPos(0, height, 0)
    gbox.SetCameraLookAt(math.sin(heading) * RADIUS, LOOK_Y, math.cos(heading) * RADIUS)
  end
end
