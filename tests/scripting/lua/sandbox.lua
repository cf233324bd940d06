-- The libraries a script sees: no io, os, package or debug.
-- frames: 1
-- expect: DONE
Script_Details = { Name = "Libraries" }

local function check(ok, what) gbox.Log((ok and "PASS " or "FAIL ") .. what) end

function Script_Start()
  check(io == nil and os == nil and package == nil and debug == nil and require == nil, "no io, os, package, debug")
  check(type(coroutine.resume) == "function" and type(string.format) == "function", "coroutine and string")
  check(type(table.insert) == "function" and type(math.floor) == "function", "table and math")
  check(newproxy == nil and _G._G == _G and _VERSION == "Lua 5.1", "base library")
  check(type(bit.band) == "function" and type(gbox.Error) == "table", "bit and gbox")
  check(SPECTRUM_16 == 0 and SPECTRUM_PLUS2 == 3 and SPECTRUM_UNKNOWN == 4, "model constants")
  check(HARDWARE_KEMPSTON == 0 and HARDWARE_FULLER == 1 and HARDWARE_TOTAL == 2, "hardware constants")
  local count = 0
  for _ in pairs(gbox) do count = count + 1 end
  check(count == 20, "nineteen functions and Error")
  gbox.Log("DONE")
end
