// Matrix helpers for the device's row-vector, left-handed convention, each computing what the
// published definition of the matching D3DX function computes (v' = v * M; +z into the screen).
#pragma once

#include "platform/gfx.h"

GfxMatrix GfxMatrixIdentity();
GfxMatrix GfxMatrixTranslation(float x, float y, float z);
GfxMatrix GfxMatrixRotationX(float angle);
GfxMatrix GfxMatrixRotationY(float angle);
GfxMatrix GfxMatrixRotationZ(float angle);
// a * b: a point is transformed by a, then by b.
GfxMatrix GfxMatrixMultiply(const GfxMatrix& a, const GfxMatrix& b);
GfxMatrix GfxMatrixLookAtLH(const float eye[3], const float at[3], const float up[3]);
// Vertical field of view in radians; depth maps near..far to 0..1.
GfxMatrix GfxMatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar);
GfxMatrix GfxMatrixOrthoLH(float width, float height, float zNear, float zFar);
