-- A script that yields with coroutine.yield instead of Sleep is never resumed, and stays current.
-- frames: 5
-- play-time: 0
-- expect: before yield
-- expect-driver: Driver: televisions 1
-- expect-absent: after yield
-- expect-absent: Script not responding
Script_Details = { Name = "coroutine.yield" }

function Script_Start()
  CSpeccy48:new()
  gbox.Log("before yield")
  coroutine.yield()
  gbox.Log("after yield")
end
