// Texel layouts and format negotiation.
#include "platform/gfx_format.h"

#include <cstdlib>
#include <string>

#include "base/log.h"

namespace {

constexpr GfxFormatInfo kFormats[] = {
    // format              bytes  a  as  r  rs  g  gs  b  bs
    {GFX_FMT_X8R8G8B8, 4, 0, 0, 8, 16, 8, 8, 8, 0},
    {GFX_FMT_A8R8G8B8, 4, 8, 24, 8, 16, 8, 8, 8, 0},
    {GFX_FMT_R5G6B5, 2, 0, 0, 5, 11, 6, 5, 5, 0},
    {GFX_FMT_X1R5G5B5, 2, 0, 0, 5, 10, 5, 5, 5, 0},
    {GFX_FMT_A1R5G5B5, 2, 1, 15, 5, 10, 5, 5, 5, 0},
    {GFX_FMT_A4R4G4B4, 2, 4, 12, 4, 8, 4, 4, 4, 0},
    {GFX_FMT_A8, 1, 8, 0, 0, 0, 0, 0, 0, 0},
    {GFX_FMT_R8G8B8, 3, 0, 0, 8, 16, 8, 8, 8, 0},
    {GFX_FMT_R3G3B2, 1, 0, 0, 3, 5, 3, 2, 2, 0},
    {GFX_FMT_A8R3G3B2, 2, 8, 8, 3, 5, 3, 2, 2, 0},
    {GFX_FMT_X4R4G4B4, 2, 0, 0, 4, 8, 4, 4, 4, 0},
};

// In order of preference when two offered formats fit equally well.
constexpr GfxFormat kOffered[] = {GFX_FMT_X8R8G8B8, GFX_FMT_A8R8G8B8, GFX_FMT_R5G6B5,
                                  GFX_FMT_X1R5G5B5, GFX_FMT_A1R5G5B5, GFX_FMT_A4R4G4B4,
                                  GFX_FMT_A8};

uint32_t Expand(uint32_t value, uint32_t bits) {
  if (bits == 0) return 0;
  const uint32_t max = (1u << bits) - 1;
  return (value * 255 + max / 2) / max;
}

}  // namespace

const GfxFormatInfo* GfxFindFormat(GfxFormat format) {
  for (const GfxFormatInfo& info : kFormats)
    if (info.format == format) return &info;
  return nullptr;
}

bool GfxFormatOffered(GfxFormat format) {
  for (GfxFormat offered : kOffered)
    if (offered == format) return true;
  return false;
}

GfxFormat GfxNearestOfferedFormat(GfxFormat requested) {
  if (GfxFormatOffered(requested)) return requested;
  const GfxFormatInfo* want = GfxFindFormat(requested);
  if (!want) return GFX_FMT_A8R8G8B8;
  GfxFormat best = GFX_FMT_UNKNOWN, widest = GFX_FMT_UNKNOWN;
  uint32_t bestBytes = 0, bestWaste = 0, widestBits = 0;
  for (GfxFormat candidate : kOffered) {
    const GfxFormatInfo& have = *GfxFindFormat(candidate);
    const uint32_t useful = (want->aBits ? have.aBits : 0) + (want->rBits ? have.rBits : 0) +
                            (want->gBits ? have.gBits : 0) + (want->bBits ? have.bBits : 0);
    if (useful > widestBits) {
      widestBits = useful;
      widest = candidate;
    }
    if (have.aBits < want->aBits || have.rBits < want->rBits || have.gBits < want->gBits ||
        have.bBits < want->bBits)
      continue;
    const uint32_t waste = have.bytesPerTexel * 8 - useful;
    if (best == GFX_FMT_UNKNOWN || have.bytesPerTexel < bestBytes ||
        (have.bytesPerTexel == bestBytes && waste < bestWaste)) {
      best = candidate;
      bestBytes = have.bytesPerTexel;
      bestWaste = waste;
    }
  }
  return best != GFX_FMT_UNKNOWN ? best : widest;
}

GfxFormat GfxChooseTextureFormat(GfxFormat requested) {
  if (const char* forced = std::getenv("GLIMMERBOX_TEXTURE_FORMAT"); forced && *forced) {
    char* end = nullptr;
    const long value = std::strtol(forced, &end, 10);
    const GfxFormat format = static_cast<GfxFormat>(value);
    if (*end == '\0' && GfxFindFormat(format)) return format;
    static bool warned = false;
    if (!warned) {
      warned = true;
      WriteLog(std::string("GfxDevice: ignoring GLIMMERBOX_TEXTURE_FORMAT=") + forced +
               ", not a known texture format");
    }
  }
  return GfxNearestOfferedFormat(requested);
}

uint32_t GfxPackArgb(const GfxFormatInfo& f, uint32_t argb) {
  auto channel = [](uint32_t value8, uint32_t bits, uint32_t shift) -> uint32_t {
    return bits ? (value8 >> (8 - bits)) << shift : 0;
  };
  return channel(argb >> 24, f.aBits, f.aShift) | channel((argb >> 16) & 0xFF, f.rBits, f.rShift) |
         channel((argb >> 8) & 0xFF, f.gBits, f.gShift) | channel(argb & 0xFF, f.bBits, f.bShift);
}

uint32_t GfxUnpackToArgb(const GfxFormatInfo& f, uint32_t texel) {
  auto channel = [texel](uint32_t bits, uint32_t shift) -> uint32_t {
    return bits ? Expand((texel >> shift) & ((1u << bits) - 1), bits) : 0;
  };
  const uint32_t a = f.aBits ? channel(f.aBits, f.aShift) : 255;
  return a << 24 | channel(f.rBits, f.rShift) << 16 | channel(f.gBits, f.gShift) << 8 |
         channel(f.bBits, f.bShift);
}

uint32_t GfxReadTexel(const uint8_t* p, uint32_t bytes) {
  uint32_t value = 0;
  for (uint32_t i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
  return value;
}

void GfxWriteTexel(uint8_t* p, uint32_t bytes, uint32_t texel) {
  for (uint32_t i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(texel >> (8 * i));
}
