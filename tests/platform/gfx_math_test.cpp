#include "platform/gfx_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

void ExpectMatrix(const GfxMatrix& got, const float (&want)[4][4], float tolerance = 1e-4f) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(got.m[r][c], want[r][c], tolerance) << r << "," << c;
}

// v * m for a point.
void Transform(const GfxMatrix& m, const float in[3], float out[3]) {
  float w = m.m[3][3];
  for (int c = 0; c < 3; ++c) out[c] = in[0] * m.m[0][c] + in[1] * m.m[1][c] + in[2] * m.m[2][c] + m.m[3][c];
  w += in[0] * m.m[0][3] + in[1] * m.m[1][3] + in[2] * m.m[2][3];
  for (int c = 0; c < 3; ++c) out[c] /= w;
}

}  // namespace

// Values worked out by hand from the published D3DX definitions.
TEST(GfxMath, LookAtLHFromTheDefaultCamera) {
  const float eye[3] = {0, 0, -300}, at[3] = {0, 0, 0}, up[3] = {0, 1, 0};
  ExpectMatrix(GfxMatrixLookAtLH(eye, at, up),
               {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 300, 1}});
}

TEST(GfxMath, LookAtLHFromAboveAndToTheRight) {
  const float eye[3] = {10, 20, -30}, at[3] = {0, 0, 0}, up[3] = {0, 1, 0};
  ExpectMatrix(GfxMatrixLookAtLH(eye, at, up), {{0.948683f, -0.169031f, -0.267261f, 0},
                                                {0, 0.845154f, -0.534522f, 0},
                                                {0.316228f, 0.507093f, 0.801784f, 0},
                                                {0, 0, 37.416574f, 1}});
}

TEST(GfxMath, PerspectiveFovLHOfTheSceneView) {
  const float ys = 1 / std::tan(std::numbers::pi_v<float> / 8);
  ExpectMatrix(GfxMatrixPerspectiveFovLH(std::numbers::pi_v<float> / 4, 1.5f, 1, 8000),
               {{ys / 1.5f, 0, 0, 0},
                {0, ys, 0, 0},
                {0, 0, 8000.0f / 7999, 1},
                {0, 0, -8000.0f / 7999, 0}});
  // The near plane maps to depth 0 and the far plane to 1.
  const GfxMatrix p = GfxMatrixPerspectiveFovLH(1.0f, 1.0f, 2, 100);
  float out[3];
  const float nearPoint[3] = {0, 0, 2}, farPoint[3] = {0, 0, 100};
  Transform(p, nearPoint, out);
  EXPECT_NEAR(out[2], 0, 1e-6);
  Transform(p, farPoint, out);
  EXPECT_NEAR(out[2], 1, 1e-6);
}

TEST(GfxMath, OrthoLH) {
  ExpectMatrix(GfxMatrixOrthoLH(400, 300, 0, 1),
               {{0.005f, 0, 0, 0}, {0, 2.0f / 300, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}});
  ExpectMatrix(GfxMatrixOrthoLH(2, 2, 1, 3), {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0.5f, 0}, {0, 0, -0.5f, 1}});
}

TEST(GfxMath, RotationsAndTranslationInRowVectorForm) {
  const float s = std::sin(0.5f), c = std::cos(0.5f);
  ExpectMatrix(GfxMatrixRotationX(0.5f), {{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}});
  ExpectMatrix(GfxMatrixRotationY(0.5f), {{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}});
  ExpectMatrix(GfxMatrixRotationZ(0.5f), {{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}});
  ExpectMatrix(GfxMatrixTranslation(1, 2, 3), {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 2, 3, 1}});
}

TEST(GfxMath, AProductAppliesItsLeftMatrixFirst) {
  // Turned a quarter about z, then moved: (1, 0, 0) -> (0, 1, 0) -> (10, 1, 0).
  const float half = std::numbers::pi_v<float> / 2;
  const GfxMatrix m = GfxMatrixMultiply(GfxMatrixRotationZ(half), GfxMatrixTranslation(10, 0, 0));
  const float in[3] = {1, 0, 0};
  float out[3];
  Transform(m, in, out);
  EXPECT_NEAR(out[0], 10, 1e-5);
  EXPECT_NEAR(out[1], 1, 1e-5);
  EXPECT_NEAR(out[2], 0, 1e-5);
  ExpectMatrix(GfxMatrixMultiply(GfxMatrixIdentity(), GfxMatrixTranslation(1, 2, 3)),
               {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 2, 3, 1}});
}
