// Headless rendering for tests: a 600 x 400 off-screen device, and projecting model points to
// back-buffer pixels with the device's own transforms.
#pragma once

#include <cmath>
#include <memory>
#include <string>

#include "platform/gfx.h"
#include "platform/gfx_gl.h"
#include "platform/gfx_math.h"
#include "platform/window.h"

inline std::unique_ptr<GfxWindow> OpenHeadless(uint32_t width = 600, uint32_t height = 400) {
  std::string error;
  GfxWindowOptions options;
  options.mode = GfxWindowMode::Headless;
  options.width = width;
  options.height = height;
  return GfxWindow::Create(options, &error);
}

struct Pixel {
  int x, y;
};

// Where a model-space point lands on the back buffer with the device's current transforms.
inline Pixel Project(GfxDevice* device, float x, float y, float z) {
  GfxMatrix world, view, projection;
  device->GetTransform(GFX_TS_WORLD, &world);
  device->GetTransform(GFX_TS_VIEW, &view);
  device->GetTransform(GFX_TS_PROJECTION, &projection);
  const GfxMatrix all = GfxMatrixMultiply(GfxMatrixMultiply(world, view), projection);
  const float in[4] = {x, y, z, 1};
  float out[4] = {};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) out[c] += in[r] * all.m[r][c];
  uint32_t w = 0, h = 0;
  device->GetBackBufferSize(&w, &h);
  return {static_cast<int>(std::floor((out[0] / out[3] + 1) / 2 * w)),
          static_cast<int>(std::floor((1 - out[1] / out[3]) / 2 * h))};
}

inline uint32_t Red(uint32_t argb) { return (argb >> 16) & 0xFF; }
inline uint32_t Green(uint32_t argb) { return (argb >> 8) & 0xFF; }
inline uint32_t Blue(uint32_t argb) { return argb & 0xFF; }
