-- A finaliser planted in a machine's metatable ran with the watchdog off and hung the program at
-- the next collection; no route to a metatable that the collector reads is left open.
-- frames: 2
-- expect: DONE
Script_Details = { Name = "No finalisers" }

function Script_Start()
  local m = CSpeccy48:new()
  local loop = function() while true do end end
  pcall(function() rawset(getmetatable(m), "__gc", loop) end)
  pcall(function() CSpeccy48.__gc = loop end)
  pcall(function() rawset(CSpeccy48, "__gc", loop) end)
  pcall(function() m.__gc = loop end)
  m = nil
  collectgarbage()
  collectgarbage()
  gbox.Log("DONE")
end
