// Telling software renderers from hardware, and the adapter identifier.
#include "platform/display_adapter.h"

#include <gtest/gtest.h>

#include <cstring>

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
