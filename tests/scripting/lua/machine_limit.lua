-- A script cannot make machines without end: past the limit, creating one is a script error.
-- frames: 2
-- expect: cannot create another machine (64 machines at most)
-- expect: No valid scripts available
-- expect-absent: FAIL
Script_Details = { Name = "Machine limit" }

function Script_Start()
  for i = 1, 100 do
    CSpeccy128:new()
    if i > 64 then gbox.Log("FAIL made machine " .. i) end
  end
end
