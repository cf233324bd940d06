-- Snapshot Gallery: one program after another from the snapshot archive, chosen by SmartPlay,
-- each on its own television in front with its name beneath. With an empty archive the
-- televisions boot their ROMs and a caption tells where snapshots go.

Script_Details = {
  Name = "Snapshot Gallery",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "Programs from the snapshot archive, one after another; booting machines when the "
    .. "archive is empty.",
}

local SHOW_SECONDS = 25

-- Loads the next program from the archive that loads: into a 128K machine, which takes the 48K
-- programs too, and into a 48K machine when a 128K one is refused. Returns the machine and the
-- file's name, or nil.
local function NextProgram()
  local count = gbox.BuildArchiveList()
  for _ = 1, math.min(count, 5) do
    local file = gbox.SelectFileFromArchive()
    if not file then return nil end
    local name = string.match(file, "([^/\\]+)$") or file
    local machine = CSpeccy128:new()
    if machine:LoadSnapshot(file) == gbox.Error.None then return machine, name end
    machine:delete()
    machine = CSpeccy48:new()
    if machine:LoadSnapshot(file) == gbox.Error.None then return machine, name end
    machine:delete()
  end
  return nil
end

local function BootingPair()
  local a = CSpeccy48:new()
  local b = CSpeccy128:new()
  a:SetWorldPos(-75, 0, 0)
  a:SetWorldRot(0, -0.15, 0)
  b:SetWorldPos(75, 0, 0)
  b:SetWorldRot(0, 0.15, 0)
  b:Mute(true)
  return { a, b }
end

function Script_Start()
  gbox.SetBackgroundColour(0, 0, 0)
  gbox.SetCameraPos(0, 10, -300)
  gbox.SetCameraLookAt(0, 0, 0)

  local shown = {}
  while true do
    for _, machine in ipairs(shown) do machine:delete() end
    local machine, name = NextProgram()
    if machine then
      machine:SetWorldPos(0, 0, 0)
      shown = { machine }
      gbox.Text(20, 20, name, SHOW_SECONDS)
    else
      shown = BootingPair()
      gbox.Text(20, 20, "The snapshot archive is empty.", SHOW_SECONDS)
      gbox.Text(20, 40, "Put .z80, .sna, .szx, .rzx, .scr or .rom files in "
        .. gbox.GetSnapshotsFolder(), SHOW_SECONDS)
    end
    -- A slow turn of the camera around the front of the television.
    -- Time is counted in the steps the script sleeps, so it follows the saver's own clock.
    local STEP = 0.05
    for t = 0, SHOW_SECONDS, STEP do
      gbox.SetCameraPos(math.sin(t * 0.2) * 80, 10, -300 + math.sin(t * 0.1) * 40)
      gbox.Sleep(STEP)
    end
  end
end
