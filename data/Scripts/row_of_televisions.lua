-- Row of Televisions: four Spectrums side by side, each showing a program or a screen from the
-- snapshot archive on a machine of its own model. Every so often one of them is switched over to
-- the next file, and now and then the camera glides up to one until it fills the display. Without
-- an archive that loads the family stands there instead, a 16K, a 48K, a 128K and a +2, booting
-- and idling, their screens washed with slowly changing colours, one now and then switched off
-- and on again.

Script_Details = {
  Name = "Row of Televisions",
  Author = "Glimmerbox",
  Version = "1.1",
  Description = "Four Spectrums side by side showing programs from the snapshot archive, one "
    .. "after another; the 16K, 48K, 128K and +2 booting and idling when the archive is empty.",
}

local SPACING = 140            -- between the televisions' centres
local CHANGE_EVERY = 15        -- seconds between two televisions taking a new file
local FIRST_CLOSE_UP, CLOSE_UP_EVERY = 25, 40
local GLIDE_SECONDS, CLOSE_UP_SECONDS = 3, 6
local BOOTED = 4               -- seconds BASIC needs before its screen can be washed
local WASH_EVERY = 2           -- seconds between two washes of a booted screen
local CAPTION_X, CAPTION_Y = 20, 70  -- clear of the SmartPlay line that the first list shows
local TWO_PI = 2 * math.pi

local MODELS = { "16K Spectrum", "48K Spectrum", "128K Spectrum", "Spectrum +2" }
local ORDINALS = { "first", "second", "third", "fourth" }

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
      gbox.Log("Row of Televisions: " .. what)
      return machine, what, IsScreen(file)
    end
  end
  return nil
end

-- The family member for a place in the row when the archive gives it nothing.
local function FamilyMember(index)
  local models = { SPECTRUM_16, SPECTRUM_48, SPECTRUM_128, SPECTRUM_PLUS2 }
  local model = models[index]
  local machine = index <= 2 and CSpeccy48:new() or CSpeccy128:new()
  machine:SetVariant(model)
  machine:Reset()
  return machine, model
end

-- Once BASIC is up, the upper 22 rows of colour cells take one bright paper colour after another;
-- the editor's two rows at the bottom stay as they are.
local function Wash(machine, colour)
  local attribute = 64 + colour * 8 + (colour < 4 and 7 or 0)
  for cell = 0x5800, 0x5800 + 22 * 32 - 1 do machine:Poke(cell, attribute) end
end

-- Puts a machine in a television's place; the one there before goes.
local function Install(slot, machine, what)
  if slot.machine then slot.machine:delete() end
  slot.machine, slot.what = machine, what
  machine:SetWorldPos(slot.x, 0, 0)
  machine:SetWorldRot(0, slot.turn, 0)
end

-- One machine is heard, the others are muted (a machine frozen by a close-up must not go on
-- sounding its last frame).
local function Speak(slots, speaker)
  for _, slot in ipairs(slots) do slot.machine:Mute(slot.machine ~= speaker) end
end

-- Slow at both ends, quick in the middle: 0 to 1 as s goes from 0 to 1.
local function Ease(s)
  return s * s * (3 - 2 * s)
end

local function Mix(a, b, s)
  return a + (b - a) * s
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
  Background(10, 12, 30)
  gbox.SetCameraPos(0, 30, -540)
  gbox.SetCameraLookAt(0, 5, 0)

  local slots = {}
  local lines = { "Row of Televisions, from left to right:" }
  local speaker
  for i = 1, 4 do
    local x = (i - 2.5) * SPACING
    local slot = { index = i, x = x, turn = x / 1200, age = 0 }
    slots[i] = slot
    local machine, what, screen = NextFromArchive()
    if machine then
      if not screen then speaker = machine end
    else
      machine, slot.family = FamilyMember(i)
      what = "the " .. MODELS[i] .. ", starting up"
    end
    Install(slot, machine, what)
    table.insert(lines, what)
  end
  Speak(slots, speaker or slots[2].machine)
  Caption(table.concat(lines, "\n"), 8)

  local swayX, swayY = 0, 0
  local untilChange, untilCloseUp, untilWash = CHANGE_EVERY, FIRST_CLOSE_UP, WASH_EVERY
  local nextChange, nextWash = 1, 1
  -- The camera's close-up: nil, or the television and how far the glide has gone.
  local closeUp, glide, phase
  lastTimer = gbox.GetTimer()
  while true do
    local passed = Pass()
    for _, slot in ipairs(slots) do slot.age = slot.age + passed end

    -- Every few seconds one booted family member changes colour.
    untilWash = untilWash - passed
    if untilWash <= 0 then
      untilWash = WASH_EVERY
      local slot = slots[nextWash]
      nextWash = nextWash % #slots + 1
      if slot.family and slot.age >= BOOTED then Wash(slot.machine, gbox.Random(7)) end
    end

    if closeUp then
      glide = glide + passed
      if phase == "in" and glide >= GLIDE_SECONDS then
        phase, glide = "close", 0
        Speak(slots, closeUp.machine)
        closeUp.machine:SetExclusive(true)
        Caption("Close-up: " .. closeUp.what, CLOSE_UP_SECONDS)
      elseif phase == "close" and glide >= CLOSE_UP_SECONDS then
        phase, glide = "out", 0
        closeUp.machine:SetExclusive(false)
      elseif phase == "out" and glide >= GLIDE_SECONDS then
        closeUp = nil
      end
    elseif not CaptionShown() then
      untilChange = untilChange - passed
      untilCloseUp = untilCloseUp - passed
      if untilChange <= 0 then
        -- The televisions take the next file in turn.
        untilChange = CHANGE_EVERY
        local slot = slots[nextChange]
        nextChange = nextChange % #slots + 1
        local machine, what, screen = NextFromArchive()
        if machine then
          slot.family = nil
          Install(slot, machine, what)
          if screen then machine:Mute(true) else Speak(slots, machine) end
          Caption("The " .. ORDINALS[slot.index] .. " television: " .. what, 6)
        elseif slot.family then
          slot.machine:SetVariant(slot.family)
          slot.machine:Reset()
          slot.age = 0
          Caption("Switching the " .. MODELS[slot.index] .. " off and on again", 6)
        end
      elseif untilCloseUp <= 0 then
        untilCloseUp = CLOSE_UP_EVERY
        closeUp, glide, phase = slots[gbox.Random(#slots)], 0, "in"
      end
    end

    -- The camera sways slowly from side to side, and for a close-up glides to the front of one
    -- television.
    swayX = (swayX + passed * 0.15) % TWO_PI
    swayY = (swayY + passed * 0.07) % TWO_PI
    local eyeX, eyeY, eyeZ = math.sin(swayX) * 60, 30 + math.sin(swayY) * 20, -540
    local atX, atY = 0, 5
    if closeUp then
      local near = 1
      if phase == "in" then near = Ease(glide / GLIDE_SECONDS) end
      if phase == "out" then near = 1 - Ease(math.min(glide / GLIDE_SECONDS, 1)) end
      -- A television turned by t about the y axis faces (-sin t, -cos t).
      local frontX = closeUp.x - math.sin(closeUp.turn) * 180
      local frontZ = -math.cos(closeUp.turn) * 180
      eyeX, eyeY, eyeZ = Mix(eyeX, frontX, near), Mix(eyeY, 8, near), Mix(eyeZ, frontZ, near)
      atX, atY = Mix(atX, closeUp.x, near), Mix(atY, 2, near)
    end
    gbox.SetCameraPos(eyeX, eyeY, eyeZ)
    gbox.SetCameraLookAt(atX, atY, 0)
  end
end
