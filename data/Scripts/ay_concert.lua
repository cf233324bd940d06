-- AY Concert: a 128K Spectrum plays music on its AY sound chip while the camera walks slowly round
-- it. The set stands back to back with a clone of itself, so that there is a screen to watch from
-- every side. The programme is our own AY pieces (ay_music.szx, then bouncing_balls.z80) from the
-- Snapshots folder or the snapshot archive; without them, a 128K program from the archive takes
-- the stage, and without one of those the 128K starts up silent and a caption says what is
-- missing. Now and then a caption tells a little about the chip. The music is heard when
-- "Emulate AY" is on in the settings.

Script_Details = {
  Name = "AY Concert",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "A 128K Spectrum plays AY music while the camera slowly walks round it; a few "
    .. "words about the AY-3-8912 sound chip on the way.",
  Webpage = "https://glimmerbox.example/scripts",
  Email = "shows@glimmerbox.example",
}

-- The programme, in playing order: files and what they are (a caption line each).
local PIECES = {
  { file = "ay_music.szx", about = "melody, chords, bass and drums, with volume meters" },
  { file = "bouncing_balls.z80", about = "bouncing balls to AY music and drums" },
}
local PIECE_SECONDS = 150     -- before the next piece, when there is more than one

-- The television model is 120 units wide and 76 deep, centred on its origin, screen towards -z.
local HALF_DEPTH = 38         -- so two sets back to back stand 38 units either side of the middle
local LOOK_AT_Y = 2           -- the height of the screen's centre
local ORBIT_RADIUS = 300      -- from the middle of the pair to the camera
local ORBIT_BREATH = 30       -- the radius swells and shrinks by this much
local ORBIT_SECONDS = 90      -- one slow walk round
local LINGER = 0.4            -- how much the walk slows in front of a screen (0 none, 0.5 stops)
local EYE_HEIGHT, EYE_RISE = 35, 45  -- the camera looks on from a little above, rising and falling
local BREATH_SECONDS, RISE_SECONDS = 48, 70  -- for the distance and the height to come round again

local FACTS = {
  "The AY-3-8912: three square-wave tone channels,\na noise generator and an envelope shaper.",
  "On the 128K the AY runs at 1.7734 MHz,\nhalf the Z80's 3.5469 MHz.",
  "A program picks an AY register with an OUT to port FFFDh\n"
    .. "and writes it with an OUT to port BFFDh.",
  "Each channel has sixteen volume steps, or follows the envelope:\n"
    .. "drums are often noise shaped by the envelope.",
}
local FIRST_FACT, FACT_EVERY, FACT_SECONDS = 25, 35, 8
local TITLE_SECONDS = 9
local CAPTION_X, CAPTION_Y = 20, 70  -- clear of the SmartPlay line that the first list shows
local ARCHIVE_TRIES = 6       -- archive files looked at for a 128K program, at most
local TWO_PI = 2 * math.pi

-- The background colour takes its components in the order blue, green, red.
local function Background(r, g, b)
  gbox.SetBackgroundColour(b, g, r)
end

local function BaseName(path)
  return string.match(path, "([^/\\]+)$") or path
end

-- Loads one of our pieces into the machine: from the program's own Snapshots folder, or from
-- anywhere in the snapshot archive (the user's archive folder may hold a copy). False when it is
-- in neither place or does not load.
local function Play(machine, piece)
  local ours = gbox.GetSnapshotsFolder() .. "/" .. piece.file
  local loaded = machine:LoadSnapshot(ours) == gbox.Error.None
  if not loaded then
    local copy = gbox.FindFileInArchive(piece.file)
    loaded = copy ~= nil and copy ~= ours and machine:LoadSnapshot(copy) == gbox.Error.None
  end
  if loaded then
    gbox.Log("AY Concert: " .. piece.file .. " on a 128K Spectrum")
  else
    gbox.Log("AY Concert: no " .. piece.file .. " that loads, in the Snapshots folder or archive")
  end
  return loaded
end

-- A 128K machine running a 128K program from the archive, or nil. A few files at random places
-- in the list are tried (looking at them leaves SmartPlay's counts alone); screens and ROM images
-- play no music, and a 48K program would put the machine into 48K mode.
local function Any128KProgram()
  local count = gbox.BuildArchiveList()
  for _ = 1, math.min(count, ARCHIVE_TRIES) do
    local file = gbox.SelectFileFromArchive(gbox.Random(count) - 1)
    local kind = file and string.lower(string.match(file, "%.(%w+)$") or "")
    -- A tape says nothing of its model: on a 128K machine it loads as a 128K one would.
    local tape = kind and string.find(" tap tzx pzx csw ", " " .. kind .. " ", 1, true)
    if kind and kind ~= "scr" and kind ~= "rom" and not tape then
      local machine = CSpeccy128:new()
      local model = machine:LoadSnapshot(file) == gbox.Error.None and machine:GetModel()
      if model == SPECTRUM_128 or model == SPECTRUM_PLUS2 or model == SPECTRUM_PENTAGON then
        gbox.Log("AY Concert: " .. BaseName(file) .. " on a 128K Spectrum, from the archive")
        return machine, BaseName(file)
      end
      machine:delete()
    end
  end
  return nil
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
  Background(20, 4, 10)  -- the deep red of a concert hall with the lights down

  -- The programme: those of our pieces that load, in their order.
  local machine = CSpeccy128:new()
  local programme = {}
  for _, piece in ipairs(PIECES) do
    if #programme == 0 then
      if Play(machine, piece) then table.insert(programme, piece) end
    else
      table.insert(programme, piece)  -- tried when its turn comes
    end
  end
  local playing = 1
  local title
  if programme[1] then
    title = "AY Concert\n" .. programme[1].file .. " on a 128K Spectrum:\n" .. programme[1].about
  else
    -- None of ours: a 128K program from the archive, or else the 128K starting up, silent, with a
    -- caption that says what is missing.
    local name
    machine:delete()
    machine, name = Any128KProgram()
    if machine then
      title = "AY Concert\n" .. name .. ",\na 128K program from the snapshot archive"
    else
      machine = CSpeccy128:new()
      title = "AY Concert\nThe music is missing: put ay_music.szx in\n" .. gbox.GetSnapshotsFolder()
    end
  end
  gbox.Text(CAPTION_X, CAPTION_Y, title, TITLE_SECONDS)

  -- The set and, back to back with it, its clone facing the other way (half a turn about y).
  machine:SetWorldPos(0, 0, -HALF_DEPTH)
  local twin = machine:Clone(0, 0, HALF_DEPTH)
  twin:SetWorldRot(0, math.pi, 0)

  local walk, breath, rise = 0, 0, 0
  local untilFact, fact = FIRST_FACT, 1
  local untilNextPiece = PIECE_SECONDS
  lastTimer = gbox.GetTimer()
  while true do
    local passed = Pass()

    untilNextPiece = untilNextPiece - passed
    if untilNextPiece <= 0 and #programme > 1 then
      untilNextPiece = PIECE_SECONDS
      playing = playing % #programme + 1
      local piece = programme[playing]
      if Play(machine, piece) then
        local caption = "Now playing: " .. piece.file .. "\n" .. piece.about
        gbox.Text(CAPTION_X, CAPTION_Y, caption, FACT_SECONDS)
        untilFact = math.max(untilFact, FACT_SECONDS + 5)  -- the facts wait their turn
      else
        -- Gone or broken: it leaves the programme, and the first piece (which played) starts again.
        table.remove(programme, playing)
        playing = 1
        Play(machine, programme[playing])
      end
    end

    untilFact = untilFact - passed
    if untilFact <= 0 then
      untilFact = FACT_EVERY
      gbox.Text(CAPTION_X, CAPTION_Y, FACTS[fact], FACT_SECONDS)
      fact = fact % #FACTS + 1
    end

    -- Round and round from the front, the distance and height changing at their own slow paces.
    -- The walk takes its time in front of each screen (angles 0 and pi) and hurries past the
    -- sides of the cabinets.
    walk = (walk + passed * TWO_PI / ORBIT_SECONDS) % TWO_PI
    breath = (breath + passed * TWO_PI / BREATH_SECONDS) % TWO_PI
    rise = (rise + passed * TWO_PI / RISE_SECONDS) % TWO_PI
    local angle = walk - LINGER * math.sin(2 * walk)
    local radius = ORBIT_RADIUS + math.sin(breath) * ORBIT_BREATH
    gbox.SetCameraPos(math.sin(angle) * radius, EYE_HEIGHT + math.sin(rise) * EYE_RISE,
      -math.cos(angle) * radius)
    gbox.SetCameraLookAt(0, LOOK_AT_Y, 0)
  end
end
