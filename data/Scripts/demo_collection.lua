-- Demo Collection: every kind of file the saver reads, on a wall of twelve televisions, one
-- file of our own demo content on each: .z80 (version 1 and 3, 48K and 128K), .sna, .szx
-- (stored and compressed, 48K and 128K), an input recording (.rzx), a screen (.scr), a ROM image
-- (.rom) and a zip. The camera visits the sets one by one, a caption names the file and its
-- kind, and only the set in view is heard. A file that is missing or does not load leaves its
-- machine starting up, and the caption says so.

Script_Details = {
  Name = "Demo Collection",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "Twelve televisions, each showing one of the bundled demo files, one of every "
    .. "kind the saver reads; the camera visits them one by one.",
  Webpage = "https://glimmerbox.example/scripts",
  Email = "shows@glimmerbox.example",
}

-- Row by row from the top left; big = a 128K machine.
local FILES = {
  { file = "plasma.z80", kind = ".z80 version 1, 48K" },
  { file = "starfield.z80", kind = ".z80 version 3, 48K" },
  { file = "bouncing_balls.z80", kind = ".z80 version 3, 128K", big = true },
  { file = "marquee.sna", kind = ".sna, 48K" },
  { file = "scroller.szx", kind = ".szx, 48K, pages stored" },
  { file = "beat_box.szx", kind = ".szx, 48K, pages compressed" },
  { file = "ay_music.szx", kind = ".szx, 128K, pages compressed", big = true },
  { file = "slideshow.szx", kind = ".szx, 128K, pages stored", big = true },
  { file = "sketch_pad.rzx", kind = ".rzx, an input recording" },
  { file = "test_card.scr", kind = ".scr, a screen" },
  { file = "glimmer.rom", kind = ".rom, a ROM image of our own" },
  { file = "demo_pack.zip", kind = ".zip, holding a .sna" },
}
local COLUMNS, ROWS = 4, 3
local STEP_X, STEP_Y = 135, 150  -- between the sets' centres
local WHOLE_Z = -760             -- the camera's distance to see the whole wall
local VISIT_Z = -240             -- and to look at one set
local OVERVIEW_SECONDS = 6       -- the whole wall first, and between the rounds of visits
local VISIT_SECONDS, GLIDE_SECONDS = 7, 2
local CAPTION_X, CAPTION_Y = 20, 70  -- clear of the SmartPlay line that the first list shows

local function Place(index)
  local column, row = (index - 1) % COLUMNS, math.floor((index - 1) / COLUMNS)
  return (column - (COLUMNS - 1) / 2) * STEP_X, ((ROWS - 1) / 2 - row) * STEP_Y
end

local function Load(set)
  local ours = gbox.GetSnapshotsFolder() .. "/" .. set.file
  local result = set.machine:LoadSnapshot(ours)
  local copy = gbox.FindFileInArchive(set.file)
  if result ~= gbox.Error.None and copy and copy ~= ours then
    result = set.machine:LoadSnapshot(copy)
  end
  if result ~= gbox.Error.None then
    gbox.Log("Demo Collection: " .. set.file .. ": " .. gbox.ErrorText(result))
    set.machine:Reset()
    set.kind = set.kind .. " (" .. gbox.ErrorText(result) .. ")"
  end
end

-- Only the set in view is heard; none when the whole wall is.
local function Listen(sets, heard)
  for _, set in ipairs(sets) do set.machine:Mute(set ~= heard) end
end

local function Smooth(s)
  s = math.max(0, math.min(s, 1))
  return (1 - math.cos(s * math.pi)) / 2
end

-- Moves the camera from where it is to (x, y, z) in GLIDE_SECONDS.
local eye = { x = 0, y = 0, z = WHOLE_Z }
local function Glide(x, y, z)
  local from = { x = eye.x, y = eye.y, z = eye.z }
  local start = gbox.GetTimer()
  repeat
    local s = Smooth((gbox.GetTimer() - start) / GLIDE_SECONDS)
    eye.x, eye.y, eye.z = from.x + (x - from.x) * s, from.y + (y - from.y) * s,
      from.z + (z - from.z) * s
    gbox.SetCameraPos(eye.x, eye.y, eye.z)
    gbox.SetCameraLookAt(eye.x, eye.y, 0)
    gbox.Sleep(0)
  until s >= 1
end

function Script_Start()
  gbox.SetBackgroundColour(24, 16, 16)  -- blue, green, red: a dark slate
  gbox.SetCameraPos(eye.x, eye.y, eye.z)
  gbox.SetCameraLookAt(0, 0, 0)
  local sets = {}
  for index, entry in ipairs(FILES) do
    local set = { file = entry.file, kind = entry.kind }
    set.machine = entry.big and CSpeccy128:new() or CSpeccy48:new()
    set.x, set.y = Place(index)
    set.machine:SetWorldPos(set.x, set.y, 0)
    Load(set)
    sets[index] = set
  end
  Listen(sets, nil)
  gbox.Text(CAPTION_X, CAPTION_Y, "Demo Collection\none file of every kind the saver reads",
    OVERVIEW_SECONDS)

  while true do
    gbox.Sleep(OVERVIEW_SECONDS)
    for index, set in ipairs(sets) do
      Glide(set.x, set.y, VISIT_Z)
      Listen(sets, set)
      gbox.Text(CAPTION_X, CAPTION_Y, string.format("%d of %d: %s\n%s", index, #sets, set.file,
        set.kind), VISIT_SECONDS)
      gbox.Sleep(VISIT_SECONDS)
    end
    Listen(sets, nil)
    Glide(0, 0, WHOLE_Z)
  end
end
