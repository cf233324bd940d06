// The Spectrum's display memory layout, shared by every model: 6144 bytes of bitmap in the
// interleaved line order, then 768 attribute bytes, one per 8 x 8 character cell; and the
// display line buffer, a machine's picture as it captured it during the frame.
#pragma once

#include <cstdint>
#include <random>

// The display line buffer: per display line, its 32 bitmap bytes (bit 7 leftmost) and then the
// 32 attribute bytes of its character row as they were when the line was captured.
constexpr int DISPLAY_LINES = 192;
constexpr int DISPLAY_LINE_BYTES = 64;
constexpr int DISPLAY_LINE_BUFFER_SIZE = DISPLAY_LINES * DISPLAY_LINE_BYTES;

// The border buffer: the border as the beam drew it, BORDER_LINES lines from BORDER_TOP lines above
// the first display line, each BORDER_CELLS cells of 8 pixels from BORDER_LEFT pixels left of the
// display area. The ULA changes the border colour only at an 8-pixel (4 T-state) boundary, so a
// cell holds one colour, 0-7. Cells over the display area hold the border behind it.
constexpr int BORDER_TOP = 32;
constexpr int BORDER_LEFT = 32;
constexpr int BORDER_LINES = DISPLAY_LINES + 2 * BORDER_TOP;
constexpr int BORDER_CELL_PIXELS = 8;
constexpr int BORDER_CELLS = (256 + 2 * BORDER_LEFT) / BORDER_CELL_PIXELS;
constexpr int BORDER_BUFFER_SIZE = BORDER_LINES * BORDER_CELLS;

constexpr uint32_t SCREEN_IMAGE_SIZE = 6912;
constexpr uint32_t ATTRIBUTE_OFFSET = 0x1800;

// Offset of display line n (0 = top) from the start of the screen.
constexpr uint32_t DisplayLineOffset(int line) {
  return ((line & 0xC0) * 32) + ((line & 7) * 256) + (((line >> 3) & 7) * 32);
}

// Offset of the attribute row that display line n shows.
constexpr uint32_t AttributeOffset(int line) { return ATTRIBUTE_OFFSET + (line >> 3) * 32; }

// The bytes a display line is captured from.
struct DisplayLineSource {
  const uint8_t* bitmap;
  const uint8_t* attributes;
};

// Fills RAM word by word, in address order, from the generator.
inline void FillRandom(uint8_t* ram, uint32_t size, std::mt19937& random) {
  for (uint32_t i = 0; i + 4 <= size; i += 4) {
    const uint32_t word = random();
    ram[i] = static_cast<uint8_t>(word);
    ram[i + 1] = static_cast<uint8_t>(word >> 8);
    ram[i + 2] = static_cast<uint8_t>(word >> 16);
    ram[i + 3] = static_cast<uint8_t>(word >> 24);
  }
}
