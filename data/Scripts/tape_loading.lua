-- Tape Loading: two 48K Spectrums load a program from tape as a person would, the border striped
-- by the signal: each is reset and types LOAD "", one for scroller.tap and one for scroller.tzx.
-- A tape plays fast (fifteen frames to every one shown), so the loading takes a few seconds; then
-- the program runs. Every so often both tapes are rewound and loaded again. Without the tapes the
-- machines start up and the caption says what is missing. (48K machines: a 128K would choose
-- its Tape Loader, which OpenSE BASIC's 128K set does not have.)

Script_Details = {
  Name = "Tape Loading",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "Two 48K Spectrums load a program from tape (scroller.tap and scroller.tzx), "
    .. "the loading stripes in their borders; then it runs.",
  Webpage = "https://glimmerbox.example/scripts",
  Email = "shows@glimmerbox.example",
}

local DECKS = {
  { x = -72, tape = "scroller.tap" },
  { x = 72, tape = "scroller.tzx" },
}
local RELOAD_EVERY = 20       -- seconds between two loads
local CAPTION_SECONDS = 8
local CAPTION_X, CAPTION_Y = 20, 70  -- clear of the SmartPlay line that the first list shows
local NEAR_Z, FAR_Z = -300, -380     -- the camera comes close while the tapes load
local TURN = 0.22             -- the sets turn this much towards the middle

-- Puts the deck's tape in its machine: from the Snapshots folder or the archive.
local function Load(deck)
  local ours = gbox.GetSnapshotsFolder() .. "/" .. deck.tape
  local result = deck.machine:LoadSnapshot(ours)
  local copy = gbox.FindFileInArchive(deck.tape)
  if result ~= gbox.Error.None and copy and copy ~= ours then
    result = deck.machine:LoadSnapshot(copy)
  end
  if result ~= gbox.Error.None then
    gbox.Log("Tape Loading: " .. deck.tape .. ": " .. gbox.ErrorText(result))
  end
  return result == gbox.Error.None
end

local function LoadAll()
  local lines, missing = {}, {}
  for _, deck in ipairs(DECKS) do
    if Load(deck) then
      table.insert(lines, "LOAD \"\" and " .. deck.tape)
    else
      table.insert(missing, deck.tape)
    end
  end
  local caption = "Tape Loading\n" .. table.concat(lines, "\n")
  if #missing > 0 then
    caption = caption .. "\nMissing: " .. table.concat(missing, ", ") .. " in\n"
      .. gbox.GetSnapshotsFolder()
  end
  gbox.Text(CAPTION_X, CAPTION_Y, caption, CAPTION_SECONDS)
end

function Script_Start()
  gbox.SetBackgroundColour(8, 20, 28)  -- blue, green, red: a brown like a tape's
  gbox.SetCameraLookAt(0, 0, 0)
  for _, deck in ipairs(DECKS) do
    deck.machine = CSpeccy48:new()
    deck.machine:SetWorldPos(deck.x, 0, 0)
    deck.machine:SetWorldRot(0, deck.x < 0 and -TURN or TURN, 0)
  end
  LoadAll()

  local loadedAt = gbox.GetTimer()
  while true do
    local since = gbox.GetTimer() - loadedAt
    if since >= RELOAD_EVERY then
      LoadAll()
      loadedAt, since = gbox.GetTimer(), 0
    end
    -- Close while the tapes load, back a little while the programs run.
    local s = math.min(since / (RELOAD_EVERY * 0.5), 1)
    local ease = (1 - math.cos(s * math.pi)) / 2
    gbox.SetCameraPos(0, 15, NEAR_Z + (FAR_Z - NEAR_Z) * ease)
    gbox.Sleep(0)
  end
end
