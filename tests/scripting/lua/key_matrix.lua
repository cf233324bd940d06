-- Keys a script holds on a machine: their names, and what the ROM's keyboard scan makes of them
-- (the key code it leaves in LAST_K), on the original ROM and on OpenSE BASIC alike.
-- frames: 400
-- play-time: 0
-- expect: DONE
-- expect-absent: FAIL
Script_Details = { Name = "Key matrix" }

local LAST_K, FRAMES = 23560, 23672

local function check(ok, what) if not ok then gbox.Log("FAIL " .. what) end end

local function WaitFrames(m, frames)
  local first = m:Peek(FRAMES)
  for _ = 1, 10 * frames do
    gbox.Sleep(0)
    if (m:Peek(FRAMES) - first) % 256 >= frames then return end
  end
end

function Script_Start()
  local m = CSpeccy48:new()
  for _, case in ipairs({ { "a", true }, { "Enter", true }, { "SYMBOL SHIFT", true }, { "caps", true },
    { "9", true }, { "F1", false }, { "", false }, { "CAPSSHIFT", false } }) do
    check(m:KeyDown(case[1]) == case[2], "KeyDown(" .. case[1] .. ")")
    check(m:KeyUp(case[1]) == case[2], "KeyUp(" .. case[1] .. ")")
  end
  check(m:KeyDown() == false, "KeyDown() without a name")
  gbox.Sleep(3)  -- the ROM starts up

  -- Each chord, held for three frames, reaches the ROM as its key code.
  for _, case in ipairs({ { { "1" }, 49 }, { { "0" }, 48 }, { { "SYMBOL SHIFT", "L" }, 61 },
    { { "space" }, 32 }, { { "ENTER" }, 13 } }) do
    m:Poke(LAST_K, 0)
    for _, key in ipairs(case[1]) do m:KeyDown(key) end
    WaitFrames(m, 3)
    check(m:Peek(LAST_K) == case[2], table.concat(case[1], "+") .. " gives " .. case[2] .. ", not " .. m:Peek(LAST_K))
    m:ReleaseKeys()
    WaitFrames(m, 6)
  end

  -- KeyUp lets one key go; a key that is up is never seen.
  m:KeyDown("2")
  m:KeyDown("3")
  m:KeyUp("2")
  m:KeyUp("3")
  m:Poke(LAST_K, 0)
  WaitFrames(m, 10)
  check(m:Peek(LAST_K) == 0, "released keys are not seen")

  local clone = m:Clone(0, 0, 0)
  check(clone.KeyDown == nil, "a clone has no keys")
  m:delete()
  check(m:KeyDown("A") == false and m:KeyUp("A") == false, "a deleted machine takes no keys")
  m:ReleaseKeys()
  gbox.Log("DONE")
end
