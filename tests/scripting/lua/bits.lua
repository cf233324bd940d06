-- The bit library as scripts see it: results are single-precision script numbers (the full
-- table of cases is in the C++ tests).
-- frames: 1
-- expect: DONE
Script_Details = { Name = "Bits" }

local function check(ok, what) gbox.Log((ok and "PASS " or "FAIL ") .. what) end

function Script_Start()
  check(bit.band(-1, 255) == 255, "band(-1, 255)")
  check(bit.bnot(0) == 4294967296, "bnot(0) rounds to 4294967296")
  check(bit.shiftr(-1, 28) == 15 and bit.shiftl(1, 32) == 1, "logical shifts, counts of five bits")
  check(bit.test(5, 2) == true and bit.test(5, 1) == false, "test")
  check(bit.set(0, 7) == 128 and bit.reset(255, 0) == 254, "set and reset")
  check(bit.band("12", 10) == 8, "numeric strings")
  local ok, message = pcall(bit.band, "x", 1)
  check(not ok and string.find(message, "bad argument #1", 1, true) ~= nil, "a word raises the argument error")
  gbox.Log("DONE")
end
