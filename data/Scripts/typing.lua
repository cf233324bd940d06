-- Typing: an invisible typist enters a short BASIC program into a 48K Spectrum through its
-- keyboard, key by key, then types RUN. The program paints seven coloured bars, changing the
-- border and beeping for each. The script knows two ways of entering BASIC: the original ROM's
-- keyword keys (in K mode P gives PRINT, symbols come with SYMBOL SHIFT) and OpenSE BASIC's,
-- where keywords are typed letter by letter; it reads the ROM to tell which is in. When the
-- program has run, the script reads the colour cells and the border to see that it did, and after
-- a pause switches the machine off and on and types it again.

Script_Details = {
  Name = "Typing",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "An invisible typist enters a short BASIC program into a 48K Spectrum, key by "
    .. "key, and runs it.",
  Webpage = "https://glimmerbox.example/scripts",
  Email = "shows@glimmerbox.example",
}

-- The program, as it is typed on a machine where keywords are spelt out. Outside the quotes,
-- upper-case words are keywords and lower-case letters are variables.
local PROGRAM = {
  "10 FOR n=1 TO 7",
  '20 BORDER n: PRINT PAPER n; BRIGHT 1;"  Typed by Glimmerbox  ": BEEP .1,n*2',
  "30 NEXT n",
  "RUN",
}
local BARS = 7  -- what a run leaves: bar n on screen row n - 1 with paper n, and border 7

-- How long a key is held and then left, in the ROM's frames: it looks at the keyboard once a
-- frame, and takes the same key again only once it has been up for five frames.
local HOLD_FRAMES, GAP_FRAMES, REPEAT_GAP_FRAMES = 3, 3, 6
local FRAMES = 23672             -- the ROM's frame counter (system variable FRAMES), low byte
-- The ROM sets bit 5 of FLAGS when it has seen a new key and clears it when the editor has
-- taken it; a key pressed while the last one waits (the ROM busy with an entered line) would be
-- lost, so the typist waits.
local FLAGS, KEY_WAITING = 23611, 5
-- After ENTER the ROM takes the line from the edit line (the system variable E_LINE points to
-- it; an empty one holds only its end mark), lists the program and only then reads keys again:
-- keys pressed before that are lost. The typist waits for the edit line to empty and a little
-- more.
local E_LINE, END_MARK, ENTER_PAUSE_FRAMES = 23641, 0x0D, 25
local ATTRIBUTES = 0x5800
local COPYRIGHT, SINCLAIR = 0x1540, "Sinclair"  -- in the original ROM's start-up message
local BOOT_SECONDS = 2.5         -- the ROM tests the memory and clears the screen first
local RUN_SECONDS = 6            -- for the program to paint its bars and beep
local REST_SECONDS = 15          -- the finished picture stays this long before the next go
local CAPTION_X, CAPTION_Y = 20, 70

-- Characters that need SYMBOL SHIFT, by the key that carries them.
local SYMBOLS = {
  ["="] = "L", [";"] = "O", ['"'] = "P", [":"] = "Z", [","] = "N", ["."] = "M", ["*"] = "B",
  ["+"] = "K", ["-"] = "J", ["/"] = "V", ["("] = "8", [")"] = "9", ["<"] = "R", [">"] = "T",
  ["!"] = "1", ["?"] = "C",
}

-- The original ROM's keywords: the key chords that give each. At the start of a statement the
-- cursor is in K mode and a letter key gives its keyword; other keywords are SYMBOL SHIFT
-- chords, or come in E mode (CAPS SHIFT and SYMBOL SHIFT together, then the key).
local E_MODE = { "CAPS SHIFT", "SYMBOL SHIFT" }
local KEYWORDS = {
  FOR = { { "F" } }, NEXT = { { "N" } }, BORDER = { { "B" } }, PRINT = { { "P" } },
  RUN = { { "R" } }, TO = { { "SYMBOL SHIFT", "F" } },
  PAPER = { E_MODE, { "SYMBOL SHIFT", "C" } }, BRIGHT = { E_MODE, { "SYMBOL SHIFT", "B" } },
  BEEP = { E_MODE, { "SYMBOL SHIFT", "Z" } },
}

-- The chord that types one character: capitals with CAPS SHIFT when `capitals` is set.
local function CharacterChord(c, capitals)
  if c == " " then return { "SPACE" } end
  if SYMBOLS[c] then return { "SYMBOL SHIFT", SYMBOLS[c] } end
  if capitals and c:match("%u") then return { "CAPS SHIFT", c } end
  return { c:upper() }
end

-- The chords of one line. With keyword keys, every keyword is its chords and spaces outside the
-- quotes are left to the ROM, which puts its own round keywords. Spelt out, every character is
-- typed, in lower case outside the quotes (where letter case does not matter), as it stands
-- inside them.
local function LineChords(line, keywordKeys)
  local chords = {}
  local quoted = false
  local i = 1
  while i <= #line do
    local c = line:sub(i, i)
    local word = not quoted and keywordKeys and line:match("^%u+", i)
    if word and KEYWORDS[word] then
      for _, chord in ipairs(KEYWORDS[word]) do chords[#chords + 1] = chord end
      i = i + #word
    else
      if c == '"' then quoted = not quoted end
      if quoted or c ~= " " or not keywordKeys then chords[#chords + 1] = CharacterChord(c, quoted) end
      i = i + 1
    end
  end
  chords[#chords + 1] = { "ENTER" }
  return chords
end

local spectrum

local function Background(r, g, b)
  gbox.SetBackgroundColour(b, g, r)
end

-- Whether the ROM is the original one, which takes keywords by their keys.
local function TakesKeywordKeys()
  local text = {}
  for i = 0, #SINCLAIR - 1 do text[#text + 1] = string.char(spectrum:Peek(COPYRIGHT + i)) end
  return table.concat(text) == SINCLAIR
end

-- Waits, a frame at a time, until `done()` is true, or for `frames` frames at most.
local function WaitUntil(done, frames)
  for _ = 1, frames do
    if done() then return end
    gbox.Sleep(0)
  end
end

-- Waits until the ROM has counted `frames` more frames (at most ten times that many displayed
-- frames, should it stop counting).
local function WaitFrames(frames)
  local first = spectrum:Peek(FRAMES)
  gbox.Sleep(0)
  WaitUntil(function() return (spectrum:Peek(FRAMES) - first) % 256 >= frames end, 10 * frames)
end

local function EditorIsIdle()
  return not bit.test(spectrum:Peek(FLAGS), KEY_WAITING)
end

local function EditLineIsEmpty()
  return spectrum:Peek(spectrum:Peek(E_LINE) + 256 * spectrum:Peek(E_LINE + 1)) == END_MARK
end

local function Press(chord, nextChord)
  WaitUntil(EditorIsIdle, 100)
  for _, key in ipairs(chord) do spectrum:KeyDown(key) end
  WaitFrames(HOLD_FRAMES)
  spectrum:ReleaseKeys()
  local again = nextChord and nextChord[#nextChord] == chord[#chord]
  WaitFrames(again and REPEAT_GAP_FRAMES or GAP_FRAMES)
  if chord[1] == "ENTER" then
    WaitUntil(EditLineIsEmpty, 250)
    WaitFrames(ENTER_PAUSE_FRAMES)
  end
end

local function TypeLine(line, keywordKeys)
  local chords = LineChords(line, keywordKeys)
  for i, chord in ipairs(chords) do Press(chord, chords[i + 1]) end
end

-- Whether the program has run: its bars in the colour cells and its last border.
local function ProgramRan()
  for n = 1, BARS do
    local paper = bit.shiftr(bit.band(spectrum:Peek(ATTRIBUTES + (n - 1) * 32), 0x38), 3)
    if paper ~= n then return false end
  end
  return spectrum:GetBorder() == BARS
end

function Script_Start()
  Background(16, 16, 24)
  gbox.SetCameraPos(-11, 12, -165)
  gbox.SetCameraLookAt(-11, 2, 0)  -- the middle of the screen
  spectrum = CSpeccy48:new()

  while true do
    gbox.Sleep(BOOT_SECONDS)
    WaitFrames(10)
    local keywordKeys = TakesKeywordKeys()
    local how = keywordKeys and "keywords by their keys" or "keywords spelt out"
    gbox.Text(CAPTION_X, CAPTION_Y, "Typing a BASIC program (" .. how .. ")", 8)
    for _, line in ipairs(PROGRAM) do TypeLine(line, keywordKeys) end

    gbox.Sleep(RUN_SECONDS)
    if ProgramRan() then
      gbox.Log("Typing: the program ran (" .. how .. ")")
      gbox.Text(CAPTION_X, CAPTION_Y, "... and it ran.", 5)
    else
      gbox.Log("Typing: the program did not run (" .. how .. ")")
    end
    gbox.Sleep(REST_SECONDS)
    spectrum:Reset()
  end
end
