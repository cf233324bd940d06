#include "presentation/exclusive_view.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/gfx_math.h"
#include "tests/support/recording_gfx_device.h"

namespace {

// Where a point of the quad lands in normalised device coordinates.
void Project(const GfxMatrix& m, float x, float y, float z, float* ndcX, float* ndcY) {
  const float in[4] = {x, y, z, 1};
  float out[4] = {};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) out[c] += in[r] * m.m[r][c];
  *ndcX = out[0] / out[3];
  *ndcY = out[1] / out[3];
}

}  // namespace

TEST(ExclusiveView, ThePictureFillsTheDisplayWithItsShape) {
  struct Case {
    const char* name;
    uint32_t width, height;
    float scale;
    float halfWidth, halfHeight;  // of the 320 x 240 picture and border shown, in NDC
  };
  const Case cases[] = {
      // Wide: the 240 rows fill the height, the background shows at the sides.
      {"wide 600 x 400", 600, 400, 400.0f / 240, 320 * (400.0f / 240) / 600, 1.0f},
      {"4:3 640 x 480", 640, 480, 2.0f, 1.0f, 1.0f},
      // Narrow: the 320 columns fill the width, the background shows above and below.
      {"narrow 300 x 400", 300, 400, 300.0f / 320, 1.0f, 240 * (300.0f / 320) / 400},
  };
  for (const Case& c : cases) {
    EXPECT_FLOAT_EQ(ExclusiveViewScale(c.width, c.height), c.scale) << c.name;
    RecordingGfxDevice device;
    device.width = c.width;
    device.height = c.height;
    GfxVertexBuffer* quad = nullptr;
    ASSERT_EQ(SetUpExclusiveView(&device, &quad), GFX_OK);
    const GfxMatrix projection = device.transforms[GFX_TS_PROJECTION];
    float x = 0, y = 0;
    Project(projection, 160, 120, 1, &x, &y);  // the top-right corner shown
    EXPECT_NEAR(x, c.halfWidth, 1e-5) << c.name;
    EXPECT_NEAR(y, c.halfHeight, 1e-5) << c.name;
    const GfxMatrix identity = GfxMatrixIdentity();
    EXPECT_EQ(std::memcmp(&device.transforms[GFX_TS_VIEW], &identity, sizeof identity), 0) << c.name;
    EXPECT_EQ(device.states[GFX_RS_LIGHTING], 0u) << c.name;
    delete quad;
  }
}

TEST(ExclusiveView, TheQuadIsMadeOnceAndDrawnAsAFan) {
  RecordingGfxDevice device;
  GfxVertexBuffer* quad = nullptr;
  ASSERT_EQ(SetUpExclusiveView(&device, &quad), GFX_OK);
  ASSERT_EQ(device.buffers.size(), 1u);
  const auto& bytes = device.buffers[0]->bytes;
  ASSERT_EQ(bytes.size(), 96u);
  // Texture rows 8-247 of 256: the picture with 24 border lines above and below it.
  const ExclusiveVertex expected[4] = {
      {-160, 120, 1, 0xFFFFFFFF, 0, 8 / 256.0f},
      {160, 120, 1, 0xFFFFFFFF, 1, 8 / 256.0f},
      {160, -120, 1, 0xFFFFFFFF, 1, 248 / 256.0f},
      {-160, -120, 1, 0xFFFFFFFF, 0, 248 / 256.0f},
  };
  EXPECT_EQ(std::memcmp(bytes.data(), expected, sizeof expected), 0);

  ASSERT_EQ(SetUpExclusiveView(&device, &quad), GFX_OK);
  EXPECT_EQ(device.buffers.size(), 1u) << "an existing quad is kept";

  auto* texture = reinterpret_cast<GfxTexture*>(&device);  // any non-null pointer: only passed on
  ASSERT_EQ(DrawExclusiveView(&device, quad, texture), GFX_OK);
  ASSERT_EQ(device.draws.size(), 1u);
  const auto& draw = device.draws[0];
  EXPECT_EQ(draw.type, GFX_PT_TRIANGLEFAN);
  EXPECT_EQ(draw.start, 0u);
  EXPECT_EQ(draw.count, 2u);
  EXPECT_EQ(draw.texture, texture);
  EXPECT_EQ(draw.stride, 24u);
  EXPECT_EQ(draw.fvf, GFX_FVF_XYZ | GFX_FVF_DIFFUSE | GFX_FVF_TEX1);
  delete quad;
}
