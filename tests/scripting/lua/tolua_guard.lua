-- tolua++'s internals are out of reach: what crashed the program gives an error or nil, the
-- class tables cannot be changed, and a finaliser cannot be planted where the collector would run
-- it outside the watchdog.
-- frames: 2
-- expect: DONE
-- expect-absent: FAIL
Script_Details = { Name = "Guarded classes" }

local function check(ok, what) gbox.Log((ok and "PASS " or "FAIL ") .. what) end

function Script_Start()
  local m = CSpeccy48:new()
  local loop = function() while true do end end
  local attempts = {
    { "cast to an unknown type", function() return tolua.cast(m, "NoSuchType") end },
    { "a class's collector", function() return CTV.__gc(42) end },
    { "a class's index event", function() return CTV.__index(CTV) end },
    { "an object's collector", function() return m.__gc(42) end },
    { "the metatable's collector", function() return getmetatable(m).__gc end },
    { "the object table", function() return CSpeccy48.tolua_ubox.x end },
    { "inherit", function() return tolua.inherit(m, {}) end },
    { "a collector on the metatable", function() rawset(getmetatable(m), "__gc", loop) end },
    { "a collector on a class", function() CSpeccy48.__gc = loop end },
    { "a new method on a class", function() CTV.Explode = loop end },
  }
  for _, attempt in ipairs(attempts) do
    local ok = pcall(attempt[2])
    check(not ok, attempt[1] .. " refused")
  end
  rawset(CSpeccy48, "__gc", loop)  -- only the class's table of methods, not an object's metatable
  m.__gc = loop                     -- only the object's own fields
  check(getmetatable(m) == false and getmetatable(CTV) == false, "metatables hidden")
  check(m.__gc == nil and m.__index == nil and m.tolua_ubox == nil and CTV.__gc == nil, "internals hidden")
  check(tolua.type(m) == "CSpeccy48" and tolua.type(4) == "number" and tolua.cast == nil, "tolua.type alone")
  check(m:Peek(0x4000) >= 0 and m:GetModel() == SPECTRUM_48 and CSpeccy.IsPaused(m) == false, "methods work")
  check(pcall(function() return m + 1 end) == false and (m == m) and m ~= CSpeccy48:new(), "operators")
  local c = m:Clone(0, 0, 0)
  check(c.Peek == nil and tolua.type(c) == "CTV", "a clone is a television")
  m = nil
  collectgarbage()
  collectgarbage()
  gbox.Sleep(0)
  gbox.Log("DONE")
end
