-- gbox.ErrorText and gbox.Error.
-- frames: 1
-- expect: DONE
Script_Details = { Name = "ErrorText" }

local function check(ok, what) gbox.Log((ok and "PASS " or "FAIL ") .. what) end

function Script_Start()
  local outside = "ErrorText: Error number out of range (> GX_TOTAL)"
  check(gbox.ErrorText(13) == outside, "ErrorText(13) is out of range")
  check(gbox.ErrorText(-1) == outside, "ErrorText(-1) is out of range")
  check(gbox.ErrorText(2^40) == outside, "a huge code is out of range")
  check(gbox.ErrorText(0) == "No error", "ErrorText(0)")
  check(gbox.ErrorText(4.9) == "Couldn't open file", "ErrorText truncates")
  check(gbox.ErrorText("12") == "Incomplete RZX (missing input data)", "ErrorText of a numeric string")
  check(not pcall(gbox.ErrorText, "x"), "ErrorText of a word raises")
  check(gbox.Error.None == 0 and gbox.Error.BadParam == 1 and gbox.Error.NestedRZX == 11, "gbox.Error keys")
  check(gbox.Error["Incomplete RZX"] == 12, "the key with a space")
  local count = 0
  for key, value in pairs(gbox.Error) do
    count = count + 1
    if gbox.ErrorText(value) == outside then check(false, "code of " .. key) end
  end
  check(count == 13, "thirteen codes")
  gbox.Log("DONE")
end
