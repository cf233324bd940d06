// What the display settings dialog knows of the one display adapter: its name, whether it renders
// in hardware, the display modes of its monitor and an identifier that tells it from another
// adapter in the stored settings. Plain data: the dialog window fills it (platform/dialog_window.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Direct3D's numbers for the display formats, as the "Format" setting stores them.
enum DisplayFormat : int32_t {
  DISPLAY_FORMAT_R8G8B8 = 20,
  DISPLAY_FORMAT_A8R8G8B8 = 21,
  DISPLAY_FORMAT_X8R8G8B8 = 22,
  DISPLAY_FORMAT_R5G6B5 = 23,
  DISPLAY_FORMAT_X1R5G5B5 = 24,
  DISPLAY_FORMAT_A1R5G5B5 = 25,
};

struct DisplayModeInfo {
  int32_t width = 0, height = 0, bitsPerPixel = 0;
  int32_t format = 0;  // a DisplayFormat
};

struct DisplayAdapterInfo {
  std::string name;         // the renderer and the video driver, e.g. "llvmpipe (...) on x11"
  std::string monitorName;  // caption of the help box
  bool hardware = false;    // renders in hardware (not llvmpipe, softpipe, ...)
  bool software = false;    // a software renderer can stand in when hardware is off or missing
  uint8_t id[16] = {};
  std::vector<DisplayModeInfo> modes;  // at least 640 x 400, largest first, no repeats
};

// Whether an OpenGL renderer string names a software rasteriser.
bool IsSoftwareRenderer(const std::string& renderer);

// A render unit's device in Direct3D's words: "SW (sw vp)" for a software rasteriser, where
// vertices are processed on the CPU too, else "HAL (hw vp)".
std::string DeviceDescription(const std::string& renderer);

// A stable 16-byte identifier of an adapter from its vendor and renderer strings.
void AdapterIdentifier(const std::string& vendor, const std::string& renderer, uint8_t id[16]);

// R5G6B5, X1R5G5B5 or A1R5G5B5.
bool IsSixteenBitFormat(int32_t format);

// Which of `modes` a stored full-screen mode asks for: one of exactly that width and height, of
// the stored format when listed, else (for a 16-bit format) any 16-bit one, else the first listed.
// -1 when no mode has that size, or the size is 0 (the desktop's own mode).
int ChooseDisplayMode(const std::vector<DisplayModeInfo>& modes, int32_t width, int32_t height,
                      int32_t format);

// The mode to try when `failed` could not be set: among the usable `modes` (a format, at least
// 640 x 400) not in `tried` (indexes), a 32-bit mode gives way to the same size in another
// format, and otherwise to the largest mode with fewer pixels, a 32-bit one first among equals.
// -1 when none is left.
int NextFallBackMode(const std::vector<DisplayModeInfo>& modes, const DisplayModeInfo& failed,
                     const std::vector<int>& tried);

// Tries the mode at `first` (-1: the wanted mode is not among `modes`), then each fall-back from
// it (or from `wanted`) in turn, until `tryMode` takes one: that one's index, or -1 when none did.
int TryDisplayModes(const std::vector<DisplayModeInfo>& modes, int first,
                    const DisplayModeInfo& wanted, const std::function<bool(int index)>& tryMode);
