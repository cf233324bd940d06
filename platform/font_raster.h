// Rasterising the overlay font: the printable ASCII characters drawn white on black,
// antialiased, into one bitmap, packed left to right in rows, with each character's rectangle.
// The overlay font turns the bitmap into its glyph texture.
//
//   FontBitmap bitmap;
//   std::string error;
//   if (RasteriseFont({"Arial", 12, 96, true, false}, 256, 256, &bitmap, &error)) ...
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int FONT_FIRST_CHAR = 32;   // " "
constexpr int FONT_LAST_CHAR = 126;   // "~"
constexpr int FONT_GLYPH_COUNT = FONT_LAST_CHAR - FONT_FIRST_CHAR + 1;

struct FontDescription {
  std::string face;     // "Arial" is drawn with Liberation Sans, its metric twin
  uint32_t points = 12;
  uint32_t dpi = 96;    // pixels per inch; 12 points at 96 dpi make 16-pixel characters
  bool bold = false;
  bool italic = false;
};

// A character's place in the bitmap, as fractions of the bitmap's width and height.
struct GlyphRect {
  float left, top, right, bottom;
};

struct FontBitmap {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first; grey levels of white on black
  std::array<GlyphRect, FONT_GLYPH_COUNT> glyphs{};  // from FONT_FIRST_CHAR on
};

// The font file that stands in for `face` in the given style.
std::string FontFileFor(const std::string& face, bool bold, bool italic);

// Draws characters 32 to 126 into a width x height bitmap. Each character is measured (its
// advance and the font's line height); a character that would not fit before the right edge
// (x + w + 1 > width) starts a new row h + 1 lower, and one blank column separates neighbours.
// Pixels that fall outside the bitmap are dropped. False with a reason when the font cannot be
// opened or drawn.
bool RasteriseFont(const FontDescription& font, uint32_t width, uint32_t height,
                   FontBitmap* bitmap, std::string* error);
