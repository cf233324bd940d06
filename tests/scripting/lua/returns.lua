-- A Script_Start that returns leaves its machines running until the play time is up.
-- frames: 5
-- play-time: 0
-- expect: Script loaded OK: 
-- expect-driver: Driver: televisions 2
-- expect-absent: Lua error
Script_Details = { Name = "Returns at once" }

function Script_Start()
  local m = CSpeccy128:new()
  m:Clone(100, 0, 0)
end
