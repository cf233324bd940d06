-- Peek and Poke: reads and writes a 48K Spectrum's memory. Once BASIC is up, the script paints a
-- chequerboard into the colour cells, makes every other square FLASH, and shows the ROM's frame
-- counter (the system variable FRAMES) in a caption once a second.

Script_Details = {
  Name = "Peek and Poke",
  Author = "Glimmerbox",
  Version = "1.0",
  Description = "A 48K Spectrum's colour cells and frame counter, through Peek, Poke and bit.",
}

local ATTRIBUTES = 0x5800    -- 32 x 24 colour cells: FLASH, BRIGHT, paper (3 bits), ink (3 bits)
local FLASH_BIT = 7
local FRAMES = 23672         -- three bytes, low byte first, counted up fifty times a second
local BLUE, YELLOW, WHITE = 1, 6, 7

-- A colour cell's byte: paper in bits 3 to 5, ink in bits 0 to 2.
local function Attribute(paper, ink)
  return bit.bor(bit.shiftl(paper, 3), ink)
end

local function Frames(spectrum)
  return bit.bor(spectrum:Peek(FRAMES), bit.shiftl(spectrum:Peek(FRAMES + 1), 8),
    bit.shiftl(spectrum:Peek(FRAMES + 2), 16))
end

function Script_Start()
  local spectrum = CSpeccy48:new()
  gbox.SetCameraPos(0, 0, -250)
  gbox.SetCameraLookAt(-11, 2, 0)  -- the middle of the screen, left of the set's middle

  gbox.Sleep(3)  -- time for the ROM to test its memory and clear the screen

  -- The top 22 rows (the bottom two are BASIC's): squares of two cells by two, yellow ones and
  -- flashing ones, which swap their blue paper and white ink every 16 frames.
  for row = 0, 21 do
    for column = 0, 31 do
      local square = (math.floor(row / 2) + math.floor(column / 2)) % 2
      local cell = square == 0 and bit.set(Attribute(BLUE, WHITE), FLASH_BIT)
        or Attribute(YELLOW, BLUE)
      spectrum:Poke(ATTRIBUTES + row * 32 + column, cell)
    end
  end
  local first = spectrum:Peek(ATTRIBUTES)
  local paper = bit.shiftr(bit.band(first, 0x38), 3)
  gbox.Log("Peek and Poke: first cell " .. first .. ", paper " .. paper
    .. ", flashing: " .. tostring(bit.test(first, FLASH_BIT)))

  while true do
    gbox.Text(20, 70, "FRAMES = " .. Frames(spectrum), 1)
    gbox.Sleep(1)
  end
end
