-- Input Replay: a 48K Spectrum plays back an input recording (.rzx): the keys someone pressed,
-- frame by frame, drive the program again exactly as they did then. The bundled recording,
-- sketch_pad.rzx, is a spiral drawn with the keys on our sketch pad program. A caption follows
-- the replay's progress; when it has played to its end it starts again. Without the recording
-- the 48K starts up and the caption says what is missing.

Script_Details = {
  Name = "Input Replay",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "A 48K Spectrum replays an input recording (sketch_pad.rzx, a spiral drawn "
    .. "with the keys), its progress in a caption; then plays it again.",
  Webpage = "https://glimmerbox.example/scripts",
  Email = "shows@glimmerbox.example",
}

local RECORDING = "sketch_pad.rzx"
local PAUSE_AFTER = 4         -- seconds the finished picture stays before the next replay
local CAPTION_X, CAPTION_Y = 20, 70  -- clear of the SmartPlay line that the first list shows
local EYE_Z = -230            -- the camera stands this far before the set, swaying a little
local SWAY_X, SWAY_Y, SWAY_SECONDS = 40, 15, 30
local TWO_PI = 2 * math.pi

-- The recording from the program's own Snapshots folder, or from anywhere in the archive.
local function Recording()
  return gbox.GetSnapshotsFolder() .. "/" .. RECORDING, gbox.FindFileInArchive(RECORDING)
end

-- Starts the replay; false when neither copy loads.
local function Replay(machine)
  local ours, copy = Recording()
  local result = machine:LoadSnapshot(ours)
  if result ~= gbox.Error.None and copy and copy ~= ours then
    result = machine:LoadSnapshot(copy)
  end
  if result ~= gbox.Error.None then
    gbox.Log("Input Replay: " .. RECORDING .. ": " .. gbox.ErrorText(result))
    return false
  end
  gbox.Log("Input Replay: " .. RECORDING .. " recorded by " .. machine:GetSnapshotCreator())
  return true
end

function Script_Start()
  gbox.SetBackgroundColour(30, 12, 6)  -- blue, green, red: a dim blue-grey
  gbox.SetCameraLookAt(0, 0, 0)
  local machine = CSpeccy48:new()
  machine:SetWorldPos(0, 0, 0)

  if not Replay(machine) then
    machine:Reset()
    gbox.Text(CAPTION_X, CAPTION_Y, "Input Replay\nThe recording is missing: put " .. RECORDING
      .. " in\n" .. gbox.GetSnapshotsFolder(), 10)
  end

  local start = gbox.GetTimer()
  local finishedAt
  while true do
    local t = gbox.GetTimer() - start
    gbox.SetCameraPos(math.sin(t * TWO_PI / SWAY_SECONDS) * SWAY_X,
      10 + math.sin(t * TWO_PI / (SWAY_SECONDS * 1.7)) * SWAY_Y, EYE_Z)

    if machine:IsPlayingRZX() then
      -- Between two parts of a recording the progress is unknown (a huge number): 100 then.
      local progress = math.min(machine:GetRZXProgress(), 100)
      gbox.Text(CAPTION_X, CAPTION_Y, string.format("Replaying %s: %d%%\nevery key as it was "
        .. "pressed, frame by frame", RECORDING, progress), 0)
    elseif finishedAt == nil and machine:GetRZXPart() > 0 then
      finishedAt = t
      if machine:RZXCompleted() then
        gbox.Text(CAPTION_X, CAPTION_Y, "Replay complete: 100%", PAUSE_AFTER)
      else
        gbox.Log("Input Replay: the replay of " .. RECORDING .. " stopped before its end")
        gbox.Text(CAPTION_X, CAPTION_Y, "The replay stopped before its end", PAUSE_AFTER)
      end
    elseif finishedAt and t - finishedAt >= PAUSE_AFTER then
      finishedAt = nil
      if not Replay(machine) then finishedAt = t end  -- gone meanwhile: try again later
    end
    gbox.Sleep(0)  -- back to the saver until the next frame
  end
end
