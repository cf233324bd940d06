-- A metatable on _G that raises errors does not reach the host, which reads and clears
-- Script_Details and Script_Start directly, in details mode and in run mode.
-- catalogue: yes
-- frames: 2
-- expect: Added script to list: globals_metatable.lua (Guarded globals 2)
-- expect: PASS ran with a guarded _G
-- expect: Script loaded OK: 
-- expect-absent: Lua error
Script_Details = { Name = "Guarded globals", Version = 2 }

function Script_Start()
  local log = gbox.Log
  log("PASS ran with a guarded _G")
end

setmetatable(_G, {
  __index = function(_, key) error("no global " .. tostring(key)) end,
  __newindex = function(_, key) error("read-only global " .. tostring(key)) end,
})
