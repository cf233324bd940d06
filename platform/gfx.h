// The graphics device layer: textures in the Spectrum-era pixel formats with lock and update,
// materials, transforms, render states and drawing, over OpenGL. This header carries no OpenGL
// or SDL types, so code above it (the picture conversion, the scene) builds without them.
#pragma once

#include <cstdint>
#include <string>

// Result codes: 0 success, negative failure (the values of the original device's codes).
using GfxResult = int32_t;
constexpr GfxResult GFX_OK = 0;
constexpr GfxResult GFX_E_FAIL = static_cast<int32_t>(0x80004005);
constexpr GfxResult GFX_E_INVALIDCALL = static_cast<int32_t>(0x8876086C);
constexpr GfxResult GFX_E_OUTOFMEMORY = static_cast<int32_t>(0x8007000E);
constexpr GfxResult GFX_E_NOTFOUND = static_cast<int32_t>(0x88760866);

// Pixel formats, numbered as the formats the program was designed around.
enum GfxFormat : int32_t {
  GFX_FMT_UNKNOWN = 0,
  GFX_FMT_R8G8B8 = 20,
  GFX_FMT_A8R8G8B8 = 21,
  GFX_FMT_X8R8G8B8 = 22,
  GFX_FMT_R5G6B5 = 23,
  GFX_FMT_X1R5G5B5 = 24,
  GFX_FMT_A1R5G5B5 = 25,
  GFX_FMT_A4R4G4B4 = 26,
  GFX_FMT_R3G3B2 = 27,
  GFX_FMT_A8 = 28,
  GFX_FMT_A8R3G3B2 = 29,
  GFX_FMT_X4R4G4B4 = 30,
};

enum GfxPool : int32_t { GFX_POOL_DEFAULT = 0, GFX_POOL_MANAGED = 1, GFX_POOL_SYSTEMMEM = 2 };

constexpr uint32_t GFX_LOCK_NOSYSLOCK = 0x800;
constexpr uint32_t GFX_LOCK_NO_DIRTY_UPDATE = 0x8000;
constexpr uint32_t GFX_DEFAULT = 0xFFFFFFFF;  // "the image's own size" / "a full mip chain"

struct GfxRect {
  int32_t left, top, right, bottom;
};

struct GfxLockedRect {
  int32_t pitch;  // bytes from one row to the next
  void* bits;     // first texel of the locked rectangle
};

struct GfxSurfaceDesc {
  GfxFormat format;
  int32_t type;
  uint32_t usage;
  GfxPool pool;
  uint32_t size;
  int32_t multiSampleType;
  uint32_t width, height;
};

// A texture; deleting it releases it.
class GfxTexture {
 public:
  virtual ~GfxTexture() = default;
  virtual GfxResult GetLevelDesc(uint32_t level, GfxSurfaceDesc* desc) = 0;
  virtual GfxResult LockRect(uint32_t level, GfxLockedRect* locked, const GfxRect* rect, uint32_t flags) = 0;
  virtual GfxResult UnlockRect(uint32_t level) = 0;
  virtual GfxResult AddDirtyRect(const GfxRect* rect) = 0;
};

class GfxDevice {
 public:
  virtual ~GfxDevice() = default;
  // Creates a texture; an unavailable format is replaced by the nearest one the device offers.
  virtual GfxResult CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                  GfxFormat format, GfxPool pool, GfxTexture** texture) = 0;
  // Creates a texture from an image file (TGA, PNG, ...); GFX_DEFAULT sizes take the image's own.
  virtual GfxResult CreateTextureFromFile(const std::string& path, uint32_t width, uint32_t height,
                                          uint32_t mipLevels, uint32_t usage, GfxFormat format,
                                          GfxPool pool, GfxTexture** texture) = 0;
  // Copies the dirty rectangles of a system-memory texture into a device texture.
  virtual GfxResult UpdateTexture(GfxTexture* source, GfxTexture* destination) = 0;
};
