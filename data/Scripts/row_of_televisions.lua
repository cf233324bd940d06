-- Row of Televisions: the Spectrum family side by side, booting and idling, their screens washed
-- with slowly changing colours. Now and then one of them is switched off and on again, or shows a
-- program from the snapshot archive when it has any.

Script_Details = {
  Name = "Row of Televisions",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "A 16K, a 48K, a 128K and a +2 side by side, booting and idling; now and then one "
    .. "of them restarts or shows a program from the snapshot archive.",
}

-- The background colour takes its components in the order blue, green, red.
local function Background(r, g, b)
  gbox.SetBackgroundColour(b, g, r)
end

local FAMILY = {
  { class = CSpeccy48, model = SPECTRUM_16, label = "16K" },
  { class = CSpeccy48, model = SPECTRUM_48, label = "48K" },
  { class = CSpeccy128, model = SPECTRUM_128, label = "128K" },
  { class = CSpeccy128, model = SPECTRUM_PLUS2, label = "+2" },
}

-- A program from the archive, or nil when there is none that loads.
local function LoadFromArchive(machine)
  if gbox.BuildArchiveList() == 0 then return nil end
  local file = gbox.SelectFileFromArchive()
  if not file then return nil end
  if machine:LoadSnapshot(file) == gbox.Error.None then
    return string.match(file, "([^/\\]+)$") or file
  end
  return nil
end

local function Restart(entry)
  entry.machine:SetVariant(entry.model)
  entry.machine:Reset()
end

-- Once BASIC is up, the upper 22 rows of colour cells take one bright paper colour after another;
-- the editor's two rows at the bottom stay as they are.
local function Wash(machine, colour)
  local attribute = 64 + colour * 8 + (colour < 4 and 7 or 0)
  for cell = 0x5800, 0x5800 + 22 * 32 - 1 do machine:Poke(cell, attribute) end
end

function Script_Start()
  Background(10, 12, 30)
  gbox.SetCameraPos(0, 30, -540)
  gbox.SetCameraLookAt(0, 0, 0)

  local row = {}
  for i, member in ipairs(FAMILY) do
    local machine = member.class:new()
    machine:SetVariant(member.model)
    machine:Reset()
    local x = (i - 2.5) * 140
    machine:SetWorldPos(x, 0, 0)
    machine:SetWorldRot(0, x / 1200, 0)
    machine:Mute(true)
    row[i] = { machine = machine, model = member.model, label = member.label, since = 0 }
  end

  gbox.Text(20, 20, "The Spectrum family: 16K, 48K, 128K and +2", 8)
  gbox.Sleep(10)

  -- Time is counted in the steps the script sleeps, so it follows the saver's own clock.
  local STEP = 0.05
  local t = 0
  local nextChange = 20
  while true do
    -- The camera sways slowly from side to side.
    gbox.SetCameraPos(math.sin(t * 0.15) * 60, 30 + math.sin(t * 0.07) * 20, -540)
    -- Every few seconds one booted machine changes colour.
    local washed = row[math.floor(t / 2) % #row + 1]
    if not washed.program and t - washed.since >= 4 and math.floor(t / 2) ~= washed.lastWash then
      washed.lastWash = math.floor(t / 2)
      Wash(washed.machine, gbox.Random(7))
    end
    if t >= nextChange then
      nextChange = t + 20
      local entry = row[gbox.Random(#row)]
      local shown = LoadFromArchive(entry.machine)
      entry.program = shown
      entry.since = t
      if shown then
        gbox.Text(20, 20, "The " .. entry.label .. " is showing " .. shown, 6)
      else
        Restart(entry)
        gbox.Text(20, 20, "Switching the " .. entry.label .. " off and on again", 6)
      end
    end
    gbox.Sleep(STEP)
    t = t + STEP
  end
end
