-- Hello, Spectrum: the smallest useful show. A 48K Spectrum is switched on, the camera drifts
-- slowly towards it, and a caption says hello.

Script_Details = {
  Name = "Hello, Spectrum",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "A 48K Spectrum boots while the camera drifts towards it.",
}

local FAR, NEAR = -400, -180  -- where the camera starts and ends, on the z axis before the set
local DRIFT_SECONDS = 20      -- from far to near

function Script_Start()
  -- Without a file name the machine boots from its ROM.
  local spectrum = CSpeccy48:new()
  spectrum:SetWorldPos(0, 0, 0)

  gbox.SetBackgroundColour(40, 0, 0)  -- blue, green, red: a dark blue
  gbox.SetCameraLookAt(0, 0, 0)
  gbox.Text(20, 70, "Hello, Spectrum!", 5)

  local start = gbox.GetTimer()
  while true do
    local s = math.min((gbox.GetTimer() - start) / DRIFT_SECONDS, 1)
    gbox.SetCameraPos(0, 10, FAR + (NEAR - FAR) * s)
    gbox.Sleep(0)  -- back to the saver until the next frame
  end
end
