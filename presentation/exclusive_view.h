// The exclusive view: one machine's picture filling the display. The whole 256 x 256 screen
// texture is drawn on a quad of 256 x 256 units through an orthographic projection scaled so that
// all 256 columns and the 192 picture rows (texture rows 32-223) show, with the largest scale that
// keeps the picture's shape; the background colour shows beside it on wide displays, more texture
// rows above and below it on narrow ones.
//
//   SetUpExclusiveView(device, &quad);          // when the view mode becomes exclusive
//   DrawExclusiveView(device, quad, machine->ScreenTexture());   // each frame, in the scene
#pragma once

#include <cstdint>

#include "platform/gfx.h"

// Position, diffuse colour, one texture coordinate pair: 24 bytes.
struct ExclusiveVertex {
  float x, y, z;
  uint32_t diffuse;
  float u, v;
};
static_assert(sizeof(ExclusiveVertex) == 24);

constexpr uint32_t EXCLUSIVE_FVF = GFX_FVF_XYZ | GFX_FVF_DIFFUSE | GFX_FVF_TEX1;
extern const ExclusiveVertex EXCLUSIVE_QUAD[4];

// Pixels per picture pixel for a w x h display.
float ExclusiveViewScale(uint32_t width, uint32_t height);

// Projection, identity world and view, no lighting; creates the quad if `quad` holds none.
GfxResult SetUpExclusiveView(GfxDevice* device, GfxVertexBuffer** quad);

// Draws the quad with `texture` on stage 0.
GfxResult DrawExclusiveView(GfxDevice* device, GfxVertexBuffer* quad, GfxTexture* texture);
