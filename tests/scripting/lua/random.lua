-- gbox.Random: its ranges, its errors, and single-precision results.
-- frames: 1
-- expect: DONE
Script_Details = { Name = "Random" }

local function check(ok, what) gbox.Log((ok and "PASS " or "FAIL ") .. what) end

local function raises(text, ...)
  local ok, message = pcall(gbox.Random, ...)
  return not ok and string.find(message, text, 1, true) ~= nil
end

function Script_Start()
  check(raises("interval is empty", 0), "Random(0) raises interval is empty")
  check(raises("#1", -3), "Random(-3) names argument 1")
  check(raises("#2", 2, 1), "Random(2, 1) names argument 2")
  check(raises("wrong number of arguments", 1, 2, 3), "three arguments raise")
  check(raises("number expected", "six"), "a non-number raises")
  check(gbox.Random(5, 5) == 5, "Random(5, 5) is 5")
  check(gbox.Random(1) == 1, "Random(1) is 1")
  local inRange = true
  for _ = 1, 500 do
    local r = gbox.Random()
    local die = gbox.Random(6)
    local span = gbox.Random(-5, -3)
    inRange = inRange and r >= 0 and r <= 1
    inRange = inRange and die >= 1 and die <= 6 and die == math.floor(die)
    inRange = inRange and span >= -5 and span <= -3 and span == math.floor(span)
  end
  check(inRange, "results stay in their ranges")
  check(gbox.Random("4") <= 4, "a numeric string counts as a number")
  gbox.Log("DONE")
end
