// Telling software renderers from hardware, and the adapter identifier.
#include "platform/display_adapter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

TEST(DisplayAdapter, SoftwareRenderersAreKnownByName) {
  const struct {
    const char* renderer;
    bool software;
  } cases[] = {
      {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
      {"Gallium 0.4 on softpipe", true},
      {"Mesa DRI swrast", true},
      {"Software Rasterizer", true},
      {"Google SwiftShader", true},
      {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0-18-amd64)", false},
      {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
      {"NVIDIA GeForce GTX 1080/PCIe/SSE2", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSoftwareRenderer(c.renderer), c.software) << c.renderer;
}

TEST(DisplayAdapter, TheDeviceDescriptionSaysWhereItDraws) {
  EXPECT_EQ(DeviceDescription("llvmpipe (LLVM 15.0.6, 256 bits)"), "SW (sw vp)");
  EXPECT_EQ(DeviceDescription("Gallium 0.4 on softpipe"), "SW (sw vp)");
  EXPECT_EQ(DeviceDescription("NVIDIA GeForce GTX 1080/PCIe/SSE2"), "HAL (hw vp)");
}

TEST(DisplayAdapter, TheIdentifierIsStableAndTellsAdaptersApart) {
  uint8_t a[16], again[16], b[16], swapped[16];
  AdapterIdentifier("Mesa", "llvmpipe", a);
  AdapterIdentifier("Mesa", "llvmpipe", again);
  AdapterIdentifier("Mesa", "Radeon", b);
  AdapterIdentifier("llvmpipe", "Mesa", swapped);
  EXPECT_EQ(std::memcmp(a, again, 16), 0);
  EXPECT_NE(std::memcmp(a, b, 16), 0);
  EXPECT_NE(std::memcmp(a, swapped, 16), 0);
  const uint8_t zero[16] = {};
  EXPECT_NE(std::memcmp(a, zero, 16), 0) << "all zero would match any adapter";
}

TEST(DisplayAdapter, AStoredModeIsFoundAmongTheDisplaysModes) {
  // SDL's order: largest first, deepest first; one size twice for two refresh rates.
  const std::vector<DisplayModeInfo> modes = {
      {1920, 1080, 32, DISPLAY_FORMAT_X8R8G8B8}, {1024, 768, 32, DISPLAY_FORMAT_X8R8G8B8},
      {1024, 768, 32, DISPLAY_FORMAT_X8R8G8B8},  {1024, 768, 16, DISPLAY_FORMAT_X1R5G5B5},
      {800, 600, 32, DISPLAY_FORMAT_A8R8G8B8},   {640, 480, 32, DISPLAY_FORMAT_X8R8G8B8},
      {640, 480, 16, DISPLAY_FORMAT_R5G6B5},
  };
  const struct {
    const char* what;
    int32_t width, height, format;
    int expected;
  } cases[] = {
      {"no size: the desktop's mode", 0, 0, DISPLAY_FORMAT_R5G6B5, -1},
      {"half a size", 1024, 0, 0, -1},
      {"a size the display lacks", 1280, 1024, DISPLAY_FORMAT_X8R8G8B8, -1},
      {"the stored format", 640, 480, DISPLAY_FORMAT_R5G6B5, 6},
      {"another 16-bit format when the stored one is missing", 1024, 768, DISPLAY_FORMAT_R5G6B5, 3},
      {"a 16-bit format with no 16-bit mode: what there is", 800, 600, DISPLAY_FORMAT_R5G6B5, 4},
      {"a 32-bit format: the first listed", 1024, 768, DISPLAY_FORMAT_A8R8G8B8, 1},
      {"no format: the first listed", 640, 480, 0, 5},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChooseDisplayMode(modes, c.width, c.height, c.format), c.expected) << c.what;
  EXPECT_EQ(ChooseDisplayMode({}, 640, 480, 0), -1) << "no modes at all";
}

// When a display mode cannot be set, the nearest one the display offers is tried next: for a
// 32-bit mode the same size in another format, else the largest with fewer pixels, 32-bit first.
TEST(DisplayAdapter, AFailedModeFallsBackToTheNearestOffered) {
  const std::vector<DisplayModeInfo> modes = {
      {1920, 1080, 32, DISPLAY_FORMAT_X8R8G8B8},  // 0
      {1280, 1024, 32, DISPLAY_FORMAT_X8R8G8B8},  // 1
      {1280, 1024, 16, DISPLAY_FORMAT_R5G6B5},    // 2
      {1280, 960, 16, DISPLAY_FORMAT_R5G6B5},     // 3  same pixels as 4
      {1280, 960, 32, DISPLAY_FORMAT_X8R8G8B8},   // 4
      {1024, 768, 32, DISPLAY_FORMAT_X8R8G8B8},   // 5
      {1024, 768, 32, DISPLAY_FORMAT_X8R8G8B8},   // 6  another refresh rate
      {640, 480, 16, DISPLAY_FORMAT_R5G6B5},      // 7
      {320, 200, 32, DISPLAY_FORMAT_X8R8G8B8},    // 8  too small to use
  };
  const struct {
    const char* what;
    int first;
    DisplayModeInfo wanted;
    std::set<int> taking;  // the modes the display takes
    std::vector<int> tried;
    int used;
  } cases[] = {
      {"the chosen mode works", 1, {}, {1}, {1}, 1},
      {"32-bit: the same size in another format first", 1, {}, {2, 5}, {1, 2}, 2},
      {"then smaller, 32-bit winning a tie, each size once", 1, {}, {7}, {1, 2, 4, 3, 5, 7}, 7},
      {"16-bit: straight to a smaller size", 2, {}, {4}, {2, 4}, 4},
      {"a size the display lacks: the largest below it", -1, {1600, 1200, 32, DISPLAY_FORMAT_X8R8G8B8},
       {5}, {1, 2, 4, 3, 5}, 5},
      {"nothing works: the desktop's is left", 0, {}, {8}, {0, 1, 2, 4, 3, 5, 7}, -1},
  };
  for (const auto& c : cases) {
    std::vector<int> tried;
    const int used = TryDisplayModes(modes, c.first, c.wanted, [&](int index) {
      tried.push_back(index);
      return c.taking.count(index) > 0;
    });
    EXPECT_EQ(used, c.used) << c.what;
    EXPECT_EQ(tried, c.tried) << c.what;
  }
  EXPECT_EQ(NextFallBackMode(modes, modes[7], {7}), -1) << "nothing smaller to use";
}
