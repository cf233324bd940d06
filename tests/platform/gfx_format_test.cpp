#include "platform/gfx_format.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(GfxFormat, AnUnofferedFormatBecomesTheNearestOfferedOne) {
  const struct {
    GfxFormat requested, chosen;
  } cases[] = {
      {GFX_FMT_R3G3B2, GFX_FMT_R5G6B5},      // the screen textures' request
      {GFX_FMT_A8R3G3B2, GFX_FMT_A8R8G8B8},  // keeps all eight alpha bits
      {GFX_FMT_X4R4G4B4, GFX_FMT_R5G6B5},
      {GFX_FMT_R8G8B8, GFX_FMT_X8R8G8B8},
      {GFX_FMT_A4R4G4B4, GFX_FMT_A4R4G4B4},  // offered: unchanged
      {GFX_FMT_X1R5G5B5, GFX_FMT_X1R5G5B5},
      {GFX_FMT_A8, GFX_FMT_A8},
      {GFX_FMT_UNKNOWN, GFX_FMT_A8R8G8B8},
      {static_cast<GfxFormat>(999), GFX_FMT_A8R8G8B8},
  };
  for (const auto& c : cases) EXPECT_EQ(GfxNearestOfferedFormat(c.requested), c.chosen) << c.requested;
}

TEST(GfxFormat, TheEnvironmentCanForceAnyKnownFormat) {
  setenv("GLIMMERBOX_TEXTURE_FORMAT", "27", 1);
  EXPECT_EQ(GfxChooseTextureFormat(GFX_FMT_A8R8G8B8), GFX_FMT_R3G3B2);
  setenv("GLIMMERBOX_TEXTURE_FORMAT", "20", 1);
  EXPECT_EQ(GfxChooseTextureFormat(GFX_FMT_R3G3B2), GFX_FMT_R8G8B8);
  for (const char* ignored : {"", "27x", "999", "-1"}) {
    setenv("GLIMMERBOX_TEXTURE_FORMAT", ignored, 1);
    EXPECT_EQ(GfxChooseTextureFormat(GFX_FMT_R3G3B2), GFX_FMT_R5G6B5) << ignored;
  }
  unsetenv("GLIMMERBOX_TEXTURE_FORMAT");
}

TEST(GfxFormat, PackingKeepsTheHighBitsOfEachChannel) {
  const struct {
    GfxFormat format;
    uint32_t argb, texel;
  } cases[] = {
      {GFX_FMT_A8R8G8B8, 0x80C0E0F0, 0x80C0E0F0},
      {GFX_FMT_X8R8G8B8, 0x80C0E0F0, 0x00C0E0F0},
      {GFX_FMT_R5G6B5, 0xFFFF0000, 0xF800},
      {GFX_FMT_R5G6B5, 0xFF00FF00, 0x07E0},
      {GFX_FMT_X1R5G5B5, 0xFF0000FF, 0x001F},
      {GFX_FMT_A1R5G5B5, 0x80FF0000, 0xFC00},
      {GFX_FMT_A4R4G4B4, 0xF0102030, 0xF123},
      {GFX_FMT_R3G3B2, 0xFFFFFFFF, 0xFF},
      {GFX_FMT_R3G3B2, 0xFF20E0C0, 0x3F},
      {GFX_FMT_A8R3G3B2, 0x7FFF0000, 0x7FE0},
      {GFX_FMT_A8, 0x40FFFFFF, 0x40},
  };
  for (const auto& c : cases) {
    const GfxFormatInfo& info = *GfxFindFormat(c.format);
    EXPECT_EQ(GfxPackArgb(info, c.argb), c.texel) << c.format;
  }
}

TEST(GfxFormat, UnpackingExpandsToFullRangeAndOpaqueWithoutAlpha) {
  for (const GfxFormat f : {GFX_FMT_R5G6B5, GFX_FMT_X1R5G5B5, GFX_FMT_R3G3B2, GFX_FMT_X4R4G4B4,
                            GFX_FMT_R8G8B8, GFX_FMT_X8R8G8B8}) {
    const GfxFormatInfo& info = *GfxFindFormat(f);
    EXPECT_EQ(GfxUnpackToArgb(info, GfxPackArgb(info, 0xFFFFFFFF)), 0xFFFFFFFFu) << f;
    EXPECT_EQ(GfxUnpackToArgb(info, GfxPackArgb(info, 0x00000000)), 0xFF000000u) << f;
  }
  EXPECT_EQ(GfxUnpackToArgb(*GfxFindFormat(GFX_FMT_A4R4G4B4), 0x8F00), 0x88FF0000u);
}
