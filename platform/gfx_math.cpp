// The matrix helpers over GLM. A GLM matrix is column-major for column vectors; its memory is the
// same sixteen floats as the row-vector matrix of the same transform, so values pass by copy and
// a row-vector product a * b is GLM's b * a.
#include "platform/gfx_math.h"

#include <cstring>

#define GLM_FORCE_SILENT_WARNINGS
#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_transform.hpp>
#include <glm/mat4x4.hpp>

namespace {

GfxMatrix FromGlm(const glm::mat4& g) {
  GfxMatrix out;
  std::memcpy(out.m, &g[0][0], sizeof out.m);
  return out;
}

glm::mat4 ToGlm(const GfxMatrix& m) {
  glm::mat4 g;
  std::memcpy(&g[0][0], m.m, sizeof m.m);
  return g;
}

}  // namespace

GfxMatrix GfxMatrixIdentity() { return FromGlm(glm::mat4(1.0f)); }

GfxMatrix GfxMatrixTranslation(float x, float y, float z) {
  return FromGlm(glm::translate(glm::mat4(1.0f), glm::vec3(x, y, z)));
}

GfxMatrix GfxMatrixRotationX(float angle) {
  return FromGlm(glm::rotate(glm::mat4(1.0f), angle, glm::vec3(1, 0, 0)));
}

GfxMatrix GfxMatrixRotationY(float angle) {
  return FromGlm(glm::rotate(glm::mat4(1.0f), angle, glm::vec3(0, 1, 0)));
}

GfxMatrix GfxMatrixRotationZ(float angle) {
  return FromGlm(glm::rotate(glm::mat4(1.0f), angle, glm::vec3(0, 0, 1)));
}

GfxMatrix GfxMatrixMultiply(const GfxMatrix& a, const GfxMatrix& b) {
  return FromGlm(ToGlm(b) * ToGlm(a));
}

GfxMatrix GfxMatrixLookAtLH(const float eye[3], const float at[3], const float up[3]) {
  return FromGlm(glm::lookAtLH(glm::vec3(eye[0], eye[1], eye[2]), glm::vec3(at[0], at[1], at[2]),
                               glm::vec3(up[0], up[1], up[2])));
}

GfxMatrix GfxMatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar) {
  return FromGlm(glm::perspectiveLH_ZO(fovY, aspect, zNear, zFar));
}

GfxMatrix GfxMatrixOrthoLH(float width, float height, float zNear, float zFar) {
  return FromGlm(glm::orthoLH_ZO(-width / 2, width / 2, -height / 2, height / 2, zNear, zFar));
}
