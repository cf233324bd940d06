-- Zipped Show: a script that brings its own program. It travels in data/Scripts/zipped_show.zip
-- beside bouncing_balls.z80, and loads it by its bare name, which is looked up in the script's own
-- zip file. The 128K machine stands in the middle of a carousel of its clones, and now and then it
-- fills the display. Written into the zip by tools/make-zipped-show.

Script_Details = {
  Name = "Zipped Show",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "A script in a zip file with its own 128K program, bouncing balls with AY music, "
    .. "on a television in the middle of a carousel of its clones.",
}

local PROGRAM = "bouncing_balls.z80"  -- beside this script in its zip
local CLONES = 6
local CAROUSEL_RADIUS = 300
local CAMERA_DISTANCE = 620
local FIRST_CLOSE_UP, CLOSE_UP_EVERY, CLOSE_UP_SECONDS = 12, 30, 6
local CAPTION_X, CAPTION_Y = 20, 70  -- clear of the SmartPlay line that the first list shows
local TWO_PI = 2 * math.pi

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

-- A television at (x, z) turned to face the point (tx, tz); one turned by t about the y axis
-- faces (-sin t, -cos t).
local function Face(tv, x, z, tx, tz)
  tv:SetWorldRot(0, math.atan2(x - tx, z - tz), 0)
end

function Script_Start()
  -- Deep purple; the components go in the order blue, green, red.
  gbox.SetBackgroundColour(40, 8, 24)

  -- The program is a 128K snapshot, so it needs a 128K machine.
  local machine = CSpeccy128:new()
  local result = machine:LoadSnapshot(PROGRAM)
  if result == gbox.Error.None then
    gbox.Text(CAPTION_X, CAPTION_Y, "Zipped Show\n" .. PROGRAM
      .. " on a 128K Spectrum, from the script's own zip file", 8)
  else
    -- Without its zip (the script copied out on its own) the machine boots its BASIC instead.
    machine:Reset()
    gbox.Log("Zipped Show: " .. PROGRAM .. " did not load (result " .. result .. ")")
    gbox.Text(CAPTION_X, CAPTION_Y, "Zipped Show\n" .. PROGRAM
      .. " is not beside the script, so the 128K shows its BASIC", 8)
  end
  machine:SetWorldPos(0, 0, 0)

  local clones = {}
  for i = 1, CLONES do clones[i] = machine:Clone(0, 0, 0) end

  -- The carousel turns one way, the camera circles slowly the other, and every television keeps
  -- its screen to the camera.
  local turn, orbit, rise = 0, 0, 0
  local function Arrange()
    local eyeX = math.sin(orbit) * CAMERA_DISTANCE
    local eyeZ = -math.cos(orbit) * CAMERA_DISTANCE
    gbox.SetCameraPos(eyeX, 140 + math.sin(rise) * 60, eyeZ)
    gbox.SetCameraLookAt(0, 0, 0)
    Face(machine, 0, 0, eyeX, eyeZ)
    for i, clone in ipairs(clones) do
      local a = turn + TWO_PI * i / CLONES
      local x, z = math.sin(a) * CAROUSEL_RADIUS, math.cos(a) * CAROUSEL_RADIUS
      clone:SetWorldPos(x, -10 + math.sin(a * 2 + rise) * 25, z)
      Face(clone, x, z, eyeX, eyeZ)
    end
  end
  Arrange()

  local untilCloseUp, closeUpLeft = FIRST_CLOSE_UP, nil
  lastTimer = gbox.GetTimer()
  while true do
    local passed = Pass()

    if closeUpLeft then
      closeUpLeft = closeUpLeft - passed
      if closeUpLeft <= 0 then
        closeUpLeft = nil
        machine:SetExclusive(false)
      end
    else
      untilCloseUp = untilCloseUp - passed
      if untilCloseUp <= 0 then
        untilCloseUp, closeUpLeft = CLOSE_UP_EVERY, CLOSE_UP_SECONDS
        machine:SetExclusive(true)
      end
    end

    turn = (turn + passed * 0.25) % TWO_PI
    orbit = (orbit + passed * 0.08) % TWO_PI
    rise = (rise + passed * 0.11) % TWO_PI
    Arrange()
  end
end
