// The exclusive view: one machine's picture filling the display. What a television shows of its
// screen texture (320 x 240 texels: the picture and its border) is drawn on a quad of as many
// units through an orthographic projection with the largest scale that keeps its shape; the
// background colour shows beside it on wide displays, above and below it on narrow ones.
//
//   SetUpExclusiveView(device, &quad);          // when the view mode becomes exclusive
//   DrawExclusiveView(device, quad, machine->ScreenTexture(), look ? &tube : nullptr, noise, clock);
#pragma once

#include <cstdint>

#include "platform/gfx.h"

class CTube;

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

// Draws the quad with `texture` on stage 0, through the tube look when given one (static of
// strength `noise` at `clock` seconds).
GfxResult DrawExclusiveView(GfxDevice* device, GfxVertexBuffer* quad, GfxTexture* texture,
                            CTube* tube = nullptr, float noise = 0, float clock = 0);
