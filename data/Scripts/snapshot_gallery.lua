-- Snapshot Gallery: one program or screen after another from the snapshot archive, chosen by
-- SmartPlay, each on a television of the right model with its name in a caption. The next one
-- slides in as the last slides out, and every other one is shown close up for a while. With
-- nothing in the archive that loads, two televisions boot their ROMs and a caption tells where
-- snapshots go.

Script_Details = {
  Name = "Snapshot Gallery",
  Author = "Glimmerbox",
  Version = "1.1",
  Description = "Programs and screens from the snapshot archive, one after another, each on a "
    .. "Spectrum of its own model; booting machines when the archive is empty.",
}

local SHOW_SECONDS = 20          -- each exhibit, from the end of its slide in
local SLIDE_SECONDS = 2.5        -- the changeover
local SLIDE_DISTANCE = 420       -- far enough to the side to be out of view
local CLOSE_UP_FROM, CLOSE_UP_TO = 8, 13  -- seconds into every other exhibit
local CAPTION_SECONDS = 10
local CAPTION_X, CAPTION_Y = 20, 70       -- clear of the SmartPlay line that the first list shows
local TWO_PI = 2 * math.pi

local MODELS = { "16K Spectrum", "48K Spectrum", "128K Spectrum", "Spectrum +2" }

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

-- The next exhibit: its televisions (each at an offset from the middle) and its caption lines.
-- A few files that do not load are passed over, no more, so that a broken archive costs little.
local function NextExhibit(number)
  local count = gbox.BuildArchiveList()
  for _ = 1, math.min(count, 5) do
    local file = gbox.SelectFileFromArchive()
    if not file then break end
    local machine = MachineFor(file)
    if machine then
      local what = Describe(machine, BaseName(file))
      gbox.Log("Snapshot Gallery: " .. what)
      return {
        tvs = { { tv = machine, x = 0, turn = 0 } },
        machine = machine,
        closeUp = number % 2 == 0,
        lines = { "Snapshot Gallery, exhibit " .. number, what },
      }
    end
  end
  -- Nothing that loads: a 48K and a 128K boot their ROMs.
  local a = CSpeccy48:new()
  local b = CSpeccy128:new()
  local why = count == 0 and "The snapshot archive is empty." or "Nothing in the snapshot archive loads."
  return {
    tvs = { { tv = a, x = -75, turn = -0.15 }, { tv = b, x = 75, turn = 0.15 } },
    machine = a,
    closeUp = false,
    lines = { why, "Put snapshots, tapes, .scr or .rom files in " .. gbox.GetSnapshotsFolder() },
  }
end

local function Place(exhibit, offset)
  for _, entry in ipairs(exhibit.tvs) do
    entry.tv:SetWorldPos(entry.x + offset, 0, 0)
    entry.tv:SetWorldRot(0, entry.turn, 0)
  end
end

-- An exhibit in front is heard through its first television; one leaving is silent.
local function Hear(exhibit, heard)
  for i, entry in ipairs(exhibit.tvs) do entry.tv:Mute(not heard or i > 1) end
end

local function Delete(exhibit)
  for _, entry in ipairs(exhibit.tvs) do entry.tv:delete() end
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

function Script_Start()
  gbox.SetBackgroundColour(0, 0, 0)
  gbox.SetCameraPos(0, 15, -330)
  gbox.SetCameraLookAt(0, 12, 0)

  local number = 1
  local shown = NextExhibit(number)
  Place(shown, 0)
  gbox.Text(CAPTION_X, CAPTION_Y, table.concat(shown.lines, "\n"), CAPTION_SECONDS)
  Hear(shown, true)

  local orbit, rise = 0, 0
  local age = 0
  local leaving, slide = nil, nil
  lastTimer = gbox.GetTimer()
  while true do
    local passed = Pass()

    if slide then
      -- The old exhibit leaves to the left as the new one comes in from the right.
      slide = slide + passed
      local s = Ease(math.min(slide / SLIDE_SECONDS, 1))
      Place(leaving, -s * SLIDE_DISTANCE)
      Place(shown, (1 - s) * SLIDE_DISTANCE)
      if slide >= SLIDE_SECONDS then
        Delete(leaving)
        leaving, slide, age = nil, nil, 0
      end
    else
      age = age + passed
      if shown.closeUp and not shown.machine:IsExclusive() and age >= CLOSE_UP_FROM and age < CLOSE_UP_TO then
        shown.machine:SetExclusive(true)
        gbox.Text(CAPTION_X, CAPTION_Y, "Close-up: " .. shown.lines[2], 3)
      elseif shown.machine:IsExclusive() and age >= CLOSE_UP_TO then
        shown.machine:SetExclusive(false)
      end
      if age >= SHOW_SECONDS then
        number = number + 1
        leaving = shown
        shown = NextExhibit(number)
        Hear(leaving, false)
        Hear(shown, true)
        Place(shown, SLIDE_DISTANCE)
        slide = 0
        gbox.Text(CAPTION_X, CAPTION_Y, table.concat(shown.lines, "\n"), CAPTION_SECONDS)
      end
    end

    -- A slow swing of the camera round the front of the television.
    orbit = (orbit + passed * 0.2) % TWO_PI
    rise = (rise + passed * 0.13) % TWO_PI
    gbox.SetCameraPos(math.sin(orbit) * 80, 15 + math.sin(rise) * 15, -330 + math.cos(orbit) * 25)
  end
end
