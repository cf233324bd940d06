// Pictures for the demo content: drawn at full colour (one of the 15 Spectrum colours per pixel)
// and then turned into a 6912-byte Spectrum screen, one ink and one paper per 8 x 8 cell.
// Also the way back, from a machine's display line buffer to RGB, for previews.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Colour numbers: 0-7 black, blue, red, magenta, green, cyan, yellow, white; +8 BRIGHT.
enum SpectrumColour : uint8_t { BLACK, BLUE, RED, MAGENTA, GREEN, CYAN, YELLOW, WHITE, BRIGHT = 8 };

constexpr int SCREEN_WIDTH = 256;
constexpr int SCREEN_HEIGHT = 192;

struct CellAttribute {
  uint8_t ink, paper;  // 0-7
  bool bright, flash;
};

class CPicture {
 public:
  CPicture() : pixels_(SCREEN_WIDTH * SCREEN_HEIGHT, BLACK), flash_(768, false) {}

  uint8_t At(int x, int y) const;
  // Pixels outside the screen are ignored.
  void Set(int x, int y, uint8_t colour);
  void FillRect(int x, int y, int width, int height, uint8_t colour);
  // Ordered (4 x 4 Bayer) mix of two colours: `level` 0 is all `a`, 16 all `b`.
  void Dither(int x, int y, uint8_t a, uint8_t b, int level);
  void Disc(int cx, int cy, int radius, uint8_t colour);
  void Circle(int cx, int cy, int radius, uint8_t colour);
  void Line(int x0, int y0, int x1, int y1, uint8_t colour);
  // Text in the demo font; each font pixel becomes scale x scale pixels. With `smooth` (scale 3
  // only) diagonal steps are rounded off (the Scale3x rule).
  void Text(int x, int y, const std::string& text, uint8_t colour, int scale = 1,
            bool smooth = false);
  // Marks a character cell (column 0-31, row 0-23) as FLASH.
  void Flash(int column, int row) { flash_[row * 32 + column] = true; }

  // The screen: per cell the two most used colours (BRIGHT decided by the cell's majority),
  // the rarer one as ink, every other pixel given to the nearer of the two. With `blackPaper`
  // black is always paper, for programs that recolour cells by their ink.
  std::vector<uint8_t> ToScreen(bool blackPaper = false) const;

 private:
  std::vector<uint8_t> pixels_;
  std::vector<bool> flash_;
};

// A screen's attribute for a cell.
CellAttribute AttributeAt(const std::vector<uint8_t>& screen, int column, int row);
// Whether pixel (x, y) of a screen is ink.
bool InkAt(const std::vector<uint8_t>& screen, int x, int y);

// The display line buffer layout of a screen (192 lines of 32 bitmap and 32 attribute bytes).
std::vector<uint8_t> ScreenToLines(const std::vector<uint8_t>& screen);
// 24-bit RGB, 256 x 192, of a display line buffer; FLASH cells swap ink and paper in phase 1.
std::vector<uint8_t> LinesToRGB(const uint8_t* lines, int flashPhase);
// RGB of one colour number.
void ColourRGB(uint8_t colour, uint8_t rgb[3]);
