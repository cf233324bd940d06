-- The bit library, with results as single-precision script numbers.
-- frames: 1
-- expect: DONE
Script_Details = { Name = "Bits" }

local function check(ok, what) gbox.Log((ok and "PASS " or "FAIL ") .. what) end

function Script_Start()
  check(bit.band(-1, 255) == 255, "band(-1, 255)")
  check(bit.bnot(0) == 4294967296, "bnot(0) rounds to 4294967296")
  check(bit.shiftr(-1, 28) == 15, "shiftr is logical")
  check(bit.shiftl(1, 32) == 1, "shift counts use five bits")
  check(bit.test(5, 2) == true and bit.test(5, 1) == false, "test")
  check(bit.set(0, 7) == 128 and bit.set(0, 33) == 2, "set")
  check(bit.reset(255, 0) == 254, "reset")
  check(bit.bor(5, 3) == 7 and bit.bxor(5, 3) == 6, "bor and bxor")
  check(bit.band("12", 10) == 8, "numeric strings")
  check(bit.band(2^40, -1) == 2147483648, "out of range is -2147483648")
  check(bit.band(-2.9, 255) == 254, "truncation toward zero")
  local ok, message = pcall(bit.band, "x", 1)
  check(not ok and string.find(message, "bad argument #1", 1, true) ~= nil, "a word raises the argument error")
  check(not pcall(bit.bnot), "a missing argument raises")
  gbox.Log("DONE")
end
