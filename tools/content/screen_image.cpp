// Drawing, attribute-clash conversion and preview colours for the demo pictures.
#include "tools/content/screen_image.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "emulation/display.h"
#include "tools/content/demo_font.h"

namespace {

constexpr uint8_t BAYER[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

int Distance(uint8_t a, uint8_t b) {
  uint8_t ra[3], rb[3];
  ColourRGB(a, ra);
  ColourRGB(b, rb);
  int sum = 0;
  for (int i = 0; i < 3; ++i) sum += (ra[i] - rb[i]) * (ra[i] - rb[i]);
  return sum;
}

// A glyph scaled three times; corners of diagonal steps are filled in (Scale3x).
void Scale3x(const Glyph& glyph, bool smooth, bool out[24][24]) {
  auto src = [&](int x, int y) {
    return x >= 0 && x < 8 && y >= 0 && y < 8 && (glyph[y] & (0x80 >> x)) != 0;
  };
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool a = src(x - 1, y - 1), b = src(x, y - 1), c = src(x + 1, y - 1);
      const bool d = src(x - 1, y), e = src(x, y), f = src(x + 1, y);
      const bool g = src(x - 1, y + 1), h = src(x, y + 1), i = src(x + 1, y + 1);
      bool o[9] = {e, e, e, e, e, e, e, e, e};
      if (smooth && b != h && d != f) {
        o[0] = d == b ? d : e;
        o[1] = (d == b && e != c) || (b == f && e != a) ? b : e;
        o[2] = b == f ? f : e;
        o[3] = (d == b && e != g) || (d == h && e != a) ? d : e;
        o[5] = (b == f && e != i) || (h == f && e != c) ? f : e;
        o[6] = d == h ? d : e;
        o[7] = (d == h && e != i) || (h == f && e != g) ? h : e;
        o[8] = h == f ? f : e;
      }
      for (int k = 0; k < 9; ++k) out[y * 3 + k / 3][x * 3 + k % 3] = o[k];
    }
  }
}

}  // namespace

void ColourRGB(uint8_t colour, uint8_t rgb[3]) {
  const uint8_t level = (colour & BRIGHT) ? 0xFF : 0xD7;
  rgb[0] = (colour & RED) ? level : 0;
  rgb[1] = (colour & GREEN) ? level : 0;
  rgb[2] = (colour & BLUE) ? level : 0;
}

uint8_t CPicture::At(int x, int y) const {
  if (x < 0 || x >= SCREEN_WIDTH || y < 0 || y >= SCREEN_HEIGHT) return BLACK;
  return pixels_[y * SCREEN_WIDTH + x];
}

void CPicture::Set(int x, int y, uint8_t colour) {
  if (x < 0 || x >= SCREEN_WIDTH || y < 0 || y >= SCREEN_HEIGHT) return;
  pixels_[y * SCREEN_WIDTH + x] = colour & 15;
}

void CPicture::FillRect(int x, int y, int width, int height, uint8_t colour) {
  for (int j = y; j < y + height; ++j)
    for (int i = x; i < x + width; ++i) Set(i, j, colour);
}

void CPicture::Dither(int x, int y, uint8_t a, uint8_t b, int level) {
  Set(x, y, BAYER[y & 3][x & 3] < level ? b : a);
}

void CPicture::Disc(int cx, int cy, int radius, uint8_t colour) {
  for (int y = -radius; y <= radius; ++y)
    for (int x = -radius; x <= radius; ++x)
      if (x * x + y * y <= radius * radius + radius) Set(cx + x, cy + y, colour);
}

void CPicture::Circle(int cx, int cy, int radius, uint8_t colour) {
  // Midpoint circle: one pixel per step in each octant.
  int x = radius, y = 0, error = 1 - radius;
  while (x >= y) {
    for (const auto& [px, py] :
         {std::pair{x, y}, {y, x}, {-y, x}, {-x, y}, {-x, -y}, {-y, -x}, {y, -x}, {x, -y}})
      Set(cx + px, cy + py, colour);
    ++y;
    if (error < 0) {
      error += 2 * y + 1;
    } else {
      --x;
      error += 2 * (y - x) + 1;
    }
  }
}

void CPicture::Line(int x0, int y0, int x1, int y1, uint8_t colour) {
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  for (;;) {
    Set(x0, y0, colour);
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * error;
    if (e2 >= dy) {
      error += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

void CPicture::Text(int x, int y, const std::string& text, uint8_t colour, int scale, bool smooth) {
  for (char ch : text) {
    const Glyph& glyph = GlyphOf(ch);
    if (scale == 3) {
      bool big[24][24];
      Scale3x(glyph, smooth, big);
      for (int j = 0; j < 24; ++j)
        for (int i = 0; i < 24; ++i)
          if (big[j][i]) Set(x + i, y + j, colour);
    } else {
      for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 8; ++column)
          if (glyph[row] & (0x80 >> column))
            FillRect(x + column * scale, y + row * scale, scale, scale, colour);
    }
    x += 8 * scale;
  }
}

std::vector<uint8_t> CPicture::ToScreen(bool blackPaper) const {
  std::vector<uint8_t> screen(SCREEN_IMAGE_SIZE, 0);
  for (int row = 0; row < 24; ++row) {
    for (int column = 0; column < 32; ++column) {
      int count[8] = {}, brightCount = 0, normalCount = 0;
      for (int y = row * 8; y < row * 8 + 8; ++y) {
        for (int x = column * 8; x < column * 8 + 8; ++x) {
          const uint8_t c = At(x, y);
          ++count[c & 7];
          if ((c & 7) != BLACK) ++((c & BRIGHT) ? brightCount : normalCount);
        }
      }
      const bool bright = brightCount > normalCount;
      // The most used colour is paper, the next ink; a tie goes to the lower colour number.
      int paper = 0;
      for (int c = 1; c < 8; ++c)
        if (count[c] > count[paper]) paper = c;
      int ink = paper == 0 ? 1 : 0;
      for (int c = 0; c < 8; ++c)
        if (c != paper && count[c] > count[ink]) ink = c;
      if (count[ink] == 0) ink = paper == WHITE ? BLACK : WHITE;  // a plain cell
      if (blackPaper && ink == BLACK) std::swap(ink, paper);

      const uint8_t brightBit = bright ? BRIGHT : 0;
      for (int y = row * 8; y < row * 8 + 8; ++y) {
        uint8_t bits = 0;
        for (int x = column * 8; x < column * 8 + 8; ++x) {
          const uint8_t c = (At(x, y) & 7) | brightBit;
          const bool isInk =
              (c & 7) == ink ||
              ((c & 7) != paper && Distance(c, ink | brightBit) < Distance(c, paper | brightBit));
          if (isInk) bits |= static_cast<uint8_t>(0x80 >> (x & 7));
        }
        screen[DisplayLineOffset(y) + column] = bits;
      }
      screen[ATTRIBUTE_OFFSET + row * 32 + column] = static_cast<uint8_t>(
          (flash_[row * 32 + column] ? 0x80 : 0) | (bright ? 0x40 : 0) | paper << 3 | ink);
    }
  }
  return screen;
}

CellAttribute AttributeAt(const std::vector<uint8_t>& screen, int column, int row) {
  const uint8_t a = screen[ATTRIBUTE_OFFSET + row * 32 + column];
  return {static_cast<uint8_t>(a & 7), static_cast<uint8_t>((a >> 3) & 7), (a & 0x40) != 0,
          (a & 0x80) != 0};
}

bool InkAt(const std::vector<uint8_t>& screen, int x, int y) {
  return (screen[DisplayLineOffset(y) + x / 8] & (0x80 >> (x & 7))) != 0;
}

std::vector<uint8_t> ScreenToLines(const std::vector<uint8_t>& screen) {
  std::vector<uint8_t> lines(192 * 64);
  for (int n = 0; n < 192; ++n) {
    std::copy_n(&screen[DisplayLineOffset(n)], 32, &lines[n * 64]);
    std::copy_n(&screen[AttributeOffset(n)], 32, &lines[n * 64 + 32]);
  }
  return lines;
}

std::vector<uint8_t> LinesToRGB(const uint8_t* lines, int flashPhase) {
  std::vector<uint8_t> rgb(SCREEN_WIDTH * SCREEN_HEIGHT * 3);
  for (int y = 0; y < SCREEN_HEIGHT; ++y) {
    for (int x = 0; x < SCREEN_WIDTH; ++x) {
      const uint8_t attribute = lines[y * 64 + 32 + x / 8];
      bool ink = (lines[y * 64 + x / 8] & (0x80 >> (x & 7))) != 0;
      if ((attribute & 0x80) && flashPhase) ink = !ink;
      const uint8_t bright = (attribute & 0x40) ? BRIGHT : 0;
      const uint8_t colour = (ink ? attribute & 7 : (attribute >> 3) & 7) | bright;
      ColourRGB(colour, &rgb[(y * SCREEN_WIDTH + x) * 3]);
    }
  }
  return rgb;
}
