// The picture conversion: a machine's display line buffer and border buffer (emulation/display.h),
// captured during the frame, become its television's 320 x 256 screen texture through two shared
// colour tables (FLASH phase 0 and 1) built for whatever pixel format the device gave. The display
// area fills texels 32-287 of rows 32-223; the border the rest. A frame whose border kept the
// colour already in the texture converts and uploads the display area alone.
//
// Usage, as a machine's television does it (the textures are the CTV members):
//   RestoreScreenTexture:  RestorePictureTextures(picture, device, screenImagePath, stagingTexture_,
//                                                 screenTexture_);
//   ReleaseScreenTexture:  ReleasePictureTextures(stagingTexture_, screenTexture_);
//   Render:                if (RenderPicture(picture, device, stagingTexture_, screenTexture_,
//                                            frame, pictureChanged)) CTV::Render();
//   DeleteDeviceResources: FreeColourTables();
#pragma once

#include <cstdint>
#include <string>

#include "emulation/display.h"
#include "platform/gfx.h"

// What a pixel format means to the conversion; bitsPerPixel 0 when it cannot be used.
struct PixelFormat {
  int32_t bitsPerPixel;
  uint32_t redMask, greenMask, blueMask;
};
PixelFormat LookUpPixelFormat(GfxFormat format);

// The screen texture's layout.
constexpr int32_t PICTURE_TEXTURE_WIDTH = 256 + 2 * BORDER_LEFT;
constexpr int32_t PICTURE_TEXTURE_HEIGHT = BORDER_LINES;
constexpr int32_t PICTURE_LEFT = BORDER_LEFT;  // the display area's first texel column
constexpr int32_t PICTURE_TOP = BORDER_TOP;    // and row
// What shows of it on a television: 24 border lines above and below the picture, so that the
// 320 x 240 texels fill a 4:3 screen with square pixels.
constexpr int32_t VISIBLE_TOP = 8;
constexpr int32_t VISIBLE_HEIGHT = 240;

// The machine's own part of the picture state (besides its two textures and the flags).
struct PictureState {
  GfxSurfaceDesc surfaceDesc{};
  int32_t bitsPerPixel = 0;
  uint32_t redMask = 0, greenMask = 0, blueMask = 0;
  int32_t shownBorder = -1;  // the one colour of the border in the staging texture, -1 if mixed
};

// What a machine's frame gives the picture.
struct PictureFrame {
  const uint8_t* lines = nullptr;   // the display line buffer
  const uint8_t* border = nullptr;  // the border buffer; null: the border texels stay as they are
  int32_t uniformBorder = -1;       // the border's one colour, -1 when it changed in the frame
  int32_t flashPhase = 0;
};

// Creates the staging and screen textures on `device` from the screen image file and flags the
// shared tables for rebuilding. Does nothing without a screen image path or a device. Failures
// are reported in error boxes; the machine runs on without a picture.
void RestorePictureTextures(PictureState& state, GfxDevice* device, const std::string& screenImagePath,
                            GfxTexture*& staging, GfxTexture*& screen);
void ReleasePictureTextures(GfxTexture*& staging, GfxTexture*& screen);

// Builds the shared tables if flagged, converts a changed picture (clearing `pictureChanged`)
// and copies it into the screen texture. False when there are no tables: draw nothing.
bool RenderPicture(PictureState& state, GfxDevice* device, GfxTexture* staging, GfxTexture* screen,
                   const PictureFrame& frame, bool& pictureChanged);

// Writes the 192 lines into the staging texture with the table of the frame's FLASH phase, and
// the border when it is not the one colour already there, and uploads what changed to `screen`
// on `device`. Needs tables of the state's texel width.
void ConvertPicture(PictureState& state, GfxDevice* device, GfxTexture* staging, GfxTexture* screen,
                    const PictureFrame& frame);

// The shared colour tables.
void BuildColourTables(const PictureState& state);
void FreeColourTables();
bool ColourTablesNeedRebuild();
void RequestColourTableRebuild();
// Entry `index` (attribute + 256 × pixel bit) of the table of `phase`; 0 without tables.
uint32_t ColourTableEntry(int32_t phase, uint32_t index);
