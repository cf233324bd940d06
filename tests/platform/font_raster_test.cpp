#include "platform/font_raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

int Px(float fraction, uint32_t size) { return static_cast<int>(std::lround(fraction * size)); }

}  // namespace

// Characters pack left to right with one blank column between them, and a character that
// would reach the last column starts a new row one line and one blank row lower.
TEST(FontRaster, PacksTheCharactersInRowsAsMeasured) {
  struct Case {
    uint32_t dpi, size;
    int minLine, maxLine;
  } cases[] = {
      {96, 256, 17, 19},  // 12 points = 16 pixels
      {48, 128, 8, 10},   // the half-size atlas of a device with small textures
      {96, 64, 17, 19},   // too small: later rows fall off the bottom and are dropped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dpi << " dpi, " << c.size << " pixels");
    FontBitmap bitmap;
    std::string error;
    ASSERT_TRUE(RasteriseFont({"Arial", 12, c.dpi, true, false}, c.size, c.size, &bitmap, &error))
        << error;
    ASSERT_EQ(bitmap.pixels.size(), size_t{c.size} * c.size);
    const int line = Px(bitmap.glyphs[0].bottom - bitmap.glyphs[0].top, c.size);
    EXPECT_GE(line, c.minLine);
    EXPECT_LE(line, c.maxLine);
    int x = 0, y = 0;
    for (int i = 0; i < FONT_GLYPH_COUNT; ++i) {
      const GlyphRect& g = bitmap.glyphs[i];
      const int w = Px(g.right - g.left, c.size);
      if (x + w + 1 > static_cast<int>(c.size)) {
        x = 0;
        y += line + 1;
      }
      EXPECT_EQ(Px(g.left, c.size), x) << "character " << i + FONT_FIRST_CHAR;
      EXPECT_EQ(Px(g.top, c.size), y) << "character " << i + FONT_FIRST_CHAR;
      EXPECT_EQ(Px(g.bottom - g.top, c.size), line);
      EXPECT_GT(w, 0);
      x += w + 1;
    }
    for (uint32_t p : bitmap.pixels) {
      ASSERT_EQ(p >> 24, 0u);
      ASSERT_TRUE((p & 0xFF) == ((p >> 8) & 0xFF) && (p & 0xFF) == ((p >> 16) & 0xFF))
          << "grey levels only";
    }
  }
}

TEST(FontRaster, GlyphsAreAntialiasedWhiteOnBlack) {
  FontBitmap bitmap;
  std::string error;
  ASSERT_TRUE(RasteriseFont({"Arial", 12, 96, true, false}, 256, 256, &bitmap, &error)) << error;
  // "I" is a solid bar: full white inside. "O" is round: partial grey on its curves.
  auto cell = [&](char c, uint32_t* full, uint32_t* partial) {
    const GlyphRect& g = bitmap.glyphs[static_cast<size_t>(c - FONT_FIRST_CHAR)];
    *full = *partial = 0;
    for (int y = Px(g.top, 256); y < Px(g.bottom, 256); ++y)
      for (int x = Px(g.left, 256); x < Px(g.right, 256); ++x) {
        const uint32_t level = bitmap.pixels[y * 256 + x] & 0xFF;
        *full += level == 0xFF;
        *partial += level != 0 && level != 0xFF;
      }
  };
  uint32_t full = 0, partial = 0;
  cell('I', &full, &partial);
  EXPECT_GE(full, 11u);  // at least one column of its cap height
  cell('O', &full, &partial);
  EXPECT_GE(partial, 8u);
  cell(' ', &full, &partial);
  EXPECT_EQ(full + partial, 0u);
}

TEST(FontRaster, RefusesAnEmptyBitmapOrANoughtPixelFont) {
  FontBitmap bitmap;
  std::string error;
  EXPECT_FALSE(RasteriseFont({"Arial", 12, 96, true, false}, 0, 256, &bitmap, &error));
  EXPECT_FALSE(RasteriseFont({"Arial", 12, 0, true, false}, 256, 256, &bitmap, &error));
  EXPECT_FALSE(error.empty());
}
