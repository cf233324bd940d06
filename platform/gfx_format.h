// Texel layouts of the device's pixel formats, the choice of the nearest format the device offers
// (as D3DX chooses when a requested format is unavailable), and packing colours into texels.
#pragma once

#include <cstdint>

#include "platform/gfx.h"

struct GfxFormatInfo {
  GfxFormat format;
  uint32_t bytesPerTexel;
  // Bit count and lowest bit of each channel within the texel; a count of 0 means absent.
  uint8_t aBits, aShift, rBits, rShift, gBits, gShift, bBits, bShift;
};

// Null for a format the layer does not know.
const GfxFormatInfo* GfxFindFormat(GfxFormat format);

// The formats the device offers for textures: the 32-bit and 16-bit ones and A8, as a typical
// display card of the period did; 24-bit and 3-3-2 texels are not offered.
bool GfxFormatOffered(GfxFormat format);

// The offered format nearest to `requested`: the smallest texel that holds every requested
// channel with at least its bits, wasting the fewest bits; an unknown request gets A8R8G8B8.
GfxFormat GfxNearestOfferedFormat(GfxFormat requested);

// What the device creates for `requested`: GLIMMERBOX_TEXTURE_FORMAT=<number> forces any known
// format (for tests); otherwise the nearest offered one.
GfxFormat GfxChooseTextureFormat(GfxFormat requested);

// Packs an ARGB colour (8 bits per channel) into a texel of `info`'s format, keeping the high bits.
uint32_t GfxPackArgb(const GfxFormatInfo& info, uint32_t argb);
// Expands a texel to ARGB; a format without alpha reads as opaque.
uint32_t GfxUnpackToArgb(const GfxFormatInfo& info, uint32_t texel);

// Reads or writes one texel of 1 to 4 bytes, little-endian.
uint32_t GfxReadTexel(const uint8_t* p, uint32_t bytes);
void GfxWriteTexel(uint8_t* p, uint32_t bytes, uint32_t texel);
