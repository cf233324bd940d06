// The picture conversion: a machine's display line buffer (emulation/display.h), captured line
// by line during the frame, becomes texture rows 32-223 of its television's screen texture
// through two shared colour tables (FLASH phase 0 and 1) built for whatever pixel format the
// device gave.
//
// Usage, as a machine's television does it (the textures are the CTV members):
//   RestoreScreenTexture:  RestorePictureTextures(picture, device, screenImagePath, stagingTexture_,
//                                                 screenTexture_);
//   ReleaseScreenTexture:  ReleasePictureTextures(stagingTexture_, screenTexture_);
//   Render:                if (RenderPicture(picture, device, stagingTexture_, screenTexture_,
//                                            lineBuffer, flashPhase, pictureChanged)) CTV::Render();
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

// The machine's own part of the picture state (besides its two textures and the flags).
struct PictureState {
  GfxSurfaceDesc surfaceDesc{};
  int32_t bitsPerPixel = 0;
  uint32_t redMask = 0, greenMask = 0, blueMask = 0;
};

// Creates the staging and screen textures on `device` from the screen image file and flags the
// shared tables for rebuilding. Does nothing without a screen image path or a device. Failures
// are reported in error boxes; the machine runs on without a picture.
void RestorePictureTextures(PictureState& state, GfxDevice* device, const std::string& screenImagePath,
                            GfxTexture*& staging, GfxTexture*& screen);
void ReleasePictureTextures(GfxTexture*& staging, GfxTexture*& screen);

// Builds the shared tables if flagged, converts a changed picture (clearing `pictureChanged`)
// and copies it into the screen texture. False when there are no tables: draw nothing.
bool RenderPicture(const PictureState& state, GfxDevice* device, GfxTexture* staging, GfxTexture* screen,
                   const uint8_t* lineBuffer, int32_t flashPhase, bool& pictureChanged);

// Writes the 192 lines into the staging texture with the table of `flashPhase` and uploads
// them to `screen` on `device`. Needs tables of the state's texel width.
void ConvertPicture(const PictureState& state, GfxDevice* device, GfxTexture* staging, GfxTexture* screen,
                    const uint8_t* lineBuffer, int32_t flashPhase);

// The shared colour tables.
void BuildColourTables(const PictureState& state);
void FreeColourTables();
bool ColourTablesNeedRebuild();
void RequestColourTableRebuild();
// Entry `index` (attribute + 256 × pixel bit) of the table of `phase`; 0 without tables.
uint32_t ColourTableEntry(int32_t phase, uint32_t index);
