// Picture conversion with one table lookup per pixel: the index is the attribute byte plus the
// pixel bit moved to bit 8, so ink, paper, BRIGHT and FLASH cost no per-pixel arithmetic.
#include "presentation/picture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/error_box.h"
#include "base/log.h"

namespace {

constexpr uint32_t TABLE_ENTRIES = 512;
constexpr uint32_t LOCK_FLAGS = GFX_LOCK_NOSYSLOCK | GFX_LOCK_NO_DIRTY_UPDATE;

// Both tables in one block: table 0 for FLASH phase 0, then table 1.
void* g_tables = nullptr;
int32_t g_tableBits = 0;  // texel width the tables were built for
bool g_rebuild = true;

bool Succeeded(GfxResult result) { return result >= 0; }

uint32_t Component(uint32_t mask, int32_t percent) {
  return static_cast<uint32_t>(static_cast<int64_t>(mask) * percent / 100) & mask;
}

template <typename T>
void FillTables(const PictureState& state) {
  T* entry = static_cast<T*>(g_tables);
  for (uint32_t phase = 0; phase < 2; ++phase) {
    for (uint32_t i = 0; i < TABLE_ENTRIES; ++i) {
      const int32_t percent = (i & 0x40) ? 90 : 75;  // BRIGHT
      const uint32_t red = Component(state.redMask, percent);
      const uint32_t green = Component(state.greenMask, percent);
      const uint32_t blue = Component(state.blueMask, percent);
      // In phase 1 a FLASH attribute swaps ink and paper.
      const bool ink = ((i >> 8) & 1) != (((i >> 7) & 1) & phase);
      const uint32_t colour = ink ? (i & 7) : ((i >> 3) & 7);  // bit 0 blue, 1 red, 2 green
      uint32_t value = 0;
      if (colour & 1) value |= blue;
      if (colour & 2) value |= red;
      if (colour & 4) value |= green;
      *entry++ = static_cast<T>(value);
    }
  }
}

// `rows` points at the display area's first texel.
template <typename T>
void ConvertLines(uint8_t* rows, int32_t pitch, const T* table, const uint8_t* lines) {
  for (int n = 0; n < DISPLAY_LINES; ++n) {
    T* out = reinterpret_cast<T*>(rows + static_cast<std::ptrdiff_t>(n) * pitch);
    const uint8_t* line = lines + n * DISPLAY_LINE_BYTES;
    for (int column = 0; column < 32; ++column) {
      const uint32_t bitmap = line[column];
      const T* paper = table + line[32 + column];  // ink entries sit 256 further on
      out[0] = paper[(bitmap << 1) & 0x100];
      out[1] = paper[(bitmap << 2) & 0x100];
      out[2] = paper[(bitmap << 3) & 0x100];
      out[3] = paper[(bitmap << 4) & 0x100];
      out[4] = paper[(bitmap << 5) & 0x100];
      out[5] = paper[(bitmap << 6) & 0x100];
      out[6] = paper[(bitmap << 7) & 0x100];
      out[7] = paper[(bitmap << 8) & 0x100];
      out += 8;
    }
  }
}

// The border cells as paper without BRIGHT (table entry colour × 8); `rows` points at texel 0, 0.
// The display rows get only their cells left and right of the picture.
template <typename T>
void ConvertBorder(uint8_t* rows, int32_t pitch, const T* table, const uint8_t* border) {
  constexpr int LEFT_CELLS = BORDER_LEFT / BORDER_CELL_PIXELS;
  for (int line = 0; line < BORDER_LINES; ++line) {
    T* out = reinterpret_cast<T*>(rows + static_cast<std::ptrdiff_t>(line) * pitch);
    const uint8_t* cells = border + line * BORDER_CELLS;
    const bool display = line >= PICTURE_TOP && line < PICTURE_TOP + DISPLAY_LINES;
    for (int c = 0; c < BORDER_CELLS; ++c) {
      if (display && c == LEFT_CELLS) c = BORDER_CELLS - LEFT_CELLS;
      const T texel = table[(cells[c] & 7) << 3];
      T* cell = out + c * BORDER_CELL_PIXELS;
      for (int x = 0; x < BORDER_CELL_PIXELS; ++x) cell[x] = texel;
    }
  }
}

template <typename T>
void Convert(uint8_t* texels, int32_t pitch, const void* tables, const PictureFrame& frame, bool border) {
  const T* table = static_cast<const T*>(tables) + (frame.flashPhase ? TABLE_ENTRIES : 0);
  if (border) ConvertBorder(texels, pitch, table, frame.border);
  const std::ptrdiff_t offset = PICTURE_TOP * static_cast<std::ptrdiff_t>(pitch) + PICTURE_LEFT * sizeof(T);
  uint8_t* picture = texels + (border ? offset : 0);
  ConvertLines(picture, pitch, table, frame.lines);
}

}  // namespace

PixelFormat LookUpPixelFormat(GfxFormat format) {
  switch (format) {
    case GFX_FMT_A8R8G8B8:
    case GFX_FMT_X8R8G8B8:
      return {32, 0xFF0000, 0x00FF00, 0x0000FF};
    case GFX_FMT_R5G6B5:
      return {16, 0xF800, 0x07E0, 0x001F};
    case GFX_FMT_X1R5G5B5:
    case GFX_FMT_A1R5G5B5:
      return {16, 0x7C00, 0x03E0, 0x001F};
    case GFX_FMT_A4R4G4B4:
    case GFX_FMT_X4R4G4B4:
      return {16, 0x0F00, 0x00F0, 0x000F};
    case GFX_FMT_R3G3B2:
      return {8, 0xE0, 0x1C, 0x03};
    case GFX_FMT_A8R3G3B2:
      return {16, 0xE0, 0x1C, 0x03};
    default:
      return {0, 0, 0, 0};
  }
}

void RestorePictureTextures(PictureState& state, GfxDevice* device, const std::string& screenImagePath,
                            GfxTexture*& staging, GfxTexture*& screen) {
  if (screenImagePath.empty() || !device) return;
  const std::string path = screenImagePath;

  // A restore without a release in between must not leak the previous pair.
  ReleasePictureTextures(staging, screen);
  state = PictureState{};
  g_rebuild = true;
  WriteLog("Creating (restoring) Speccy screen texture");

  GfxResult result = device->CreateTexture(PICTURE_TEXTURE_WIDTH, PICTURE_TEXTURE_HEIGHT, 1, 0,
                                           GFX_FMT_R3G3B2, GFX_POOL_SYSTEMMEM, &staging);
  if (!Succeeded(result) || !staging) {
    staging = nullptr;
    ErrorBox("Couldn't\tcreate the Speccy screen texture", Succeeded(result) ? GFX_E_FAIL : result);
    return;
  }

  staging->GetLevelDesc(0, &state.surfaceDesc);
  char line[160];
  std::snprintf(line, sizeof line, "Texture width %d, height\t%d,\tformat %d in pool %d created OK",
                static_cast<int>(state.surfaceDesc.width), static_cast<int>(state.surfaceDesc.height),
                static_cast<int>(state.surfaceDesc.format), static_cast<int>(state.surfaceDesc.pool));
  WriteLog(line);

  const PixelFormat format = LookUpPixelFormat(state.surfaceDesc.format);
  state.bitsPerPixel = format.bitsPerPixel;
  state.redMask = format.redMask;
  state.greenMask = format.greenMask;
  state.blueMask = format.blueMask;
  if (state.bitsPerPixel == 0) {
    ErrorBoxWithoutCode("Unknown texture format\tfor\tTV display texture");
    return;
  }

  // The image is cropped or padded to the texture's size: the staging copy must match it.
  result = device->CreateTextureFromFile(path, PICTURE_TEXTURE_WIDTH, PICTURE_TEXTURE_HEIGHT, 1, 0,
                                         GFX_FMT_R3G3B2, GFX_POOL_DEFAULT, &screen);
  if (!Succeeded(result) || !screen) {
    screen = nullptr;
    ErrorBox("CSpeccy::RestoreScreenTexture couldn't create texture from file: " + path,
             Succeeded(result) ? GFX_E_FAIL : result);
  } else {
    WriteLog("Created texture from " + path + " OK");
  }
  WriteLog("Speccy screen texture created OK");
}

void ReleasePictureTextures(GfxTexture*& staging, GfxTexture*& screen) {
  delete staging;
  staging = nullptr;
  delete screen;
  screen = nullptr;
}

void BuildColourTables(const PictureState& state) {
  FreeColourTables();
  const int32_t bits = state.bitsPerPixel;
  if (bits != 8 && bits != 16 && bits != 32) return;  // the flag stays set
  // malloc gives storage in which the texel-sized entries may live (implicit object creation).
  g_tables = std::malloc(2 * TABLE_ENTRIES * static_cast<size_t>(bits / 8));
  if (!g_tables) return;
  if (bits == 8)
    FillTables<uint8_t>(state);
  else if (bits == 16)
    FillTables<uint16_t>(state);
  else
    FillTables<uint32_t>(state);
  g_tableBits = bits;
  g_rebuild = false;
}

void FreeColourTables() {
  std::free(g_tables);
  g_tables = nullptr;
  g_tableBits = 0;
}

bool ColourTablesNeedRebuild() { return g_rebuild; }
void RequestColourTableRebuild() { g_rebuild = true; }

uint32_t ColourTableEntry(int32_t phase, uint32_t index) {
  if (!g_tables || index >= TABLE_ENTRIES) return 0;
  const size_t at = (phase ? TABLE_ENTRIES : 0) + index;
  switch (g_tableBits) {
    case 8: return static_cast<const uint8_t*>(g_tables)[at];
    case 16: return static_cast<const uint16_t*>(g_tables)[at];
    case 32: return static_cast<const uint32_t*>(g_tables)[at];
    default: return 0;
  }
}

void ConvertPicture(PictureState& state, GfxDevice* device, GfxTexture* staging, GfxTexture* screen,
                    const PictureFrame& frame) {
  const int32_t bits = state.bitsPerPixel;
  if (!staging || !frame.lines || !g_tables || bits != g_tableBits) return;
  if (state.surfaceDesc.width < static_cast<uint32_t>(PICTURE_TEXTURE_WIDTH) ||
      state.surfaceDesc.height < static_cast<uint32_t>(PICTURE_TEXTURE_HEIGHT))
    return;

  // The border is drawn when it changed in the frame or is another colour than the one shown.
  const bool border = frame.border && (frame.uniformBorder < 0 || frame.uniformBorder != state.shownBorder);
  const GfxRect whole{0, 0, PICTURE_TEXTURE_WIDTH, PICTURE_TEXTURE_HEIGHT};
  const GfxRect display{PICTURE_LEFT, PICTURE_TOP, PICTURE_LEFT + 256, PICTURE_TOP + DISPLAY_LINES};
  const GfxRect rect = border ? whole : display;
  GfxLockedRect locked{};
  if (!Succeeded(staging->LockRect(0, &locked, &rect, LOCK_FLAGS))) return;
  if (locked.bits && locked.pitch >= (rect.right - rect.left) * bits / 8) {
    uint8_t* texels = static_cast<uint8_t*>(locked.bits);
    if (bits == 8)
      Convert<uint8_t>(texels, locked.pitch, g_tables, frame, border);
    else if (bits == 16)
      Convert<uint16_t>(texels, locked.pitch, g_tables, frame, border);
    else
      Convert<uint32_t>(texels, locked.pitch, g_tables, frame, border);
    if (border) state.shownBorder = frame.uniformBorder;
  }
  staging->UnlockRect(0);
  staging->AddDirtyRect(&rect);
  // Without a screen texture the television shows its own screen material instead.
  if (screen && device) device->UpdateTexture(staging, screen);
}

bool RenderPicture(PictureState& state, GfxDevice* device, GfxTexture* staging, GfxTexture* screen,
                   const PictureFrame& frame, bool& pictureChanged) {
  // Tables built for another texel width (a machine on another device) would be read past
  // their end: rebuild them for this machine instead.
  const bool otherWidth = g_tables && state.bitsPerPixel > 0 && state.bitsPerPixel != g_tableBits;
  if (g_rebuild || otherWidth) {
    BuildColourTables(state);
    state.shownBorder = -1;  // the border's texels were made with the old tables
  }
  if (!g_tables) return false;
  if (pictureChanged) {
    ConvertPicture(state, device, staging, screen, frame);
    pictureChanged = false;
  }
  return true;
}
