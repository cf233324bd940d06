// Reading an X window dump (what `xwd -root` writes) as ARGB pixels, for tests that look at a
// whole X screen: 24- and 32-bit TrueColor Z pixmaps, the only kind Xvfb gives at depth 24.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/png.h"
#include "tests/support/temp_dir.h"

inline bool LoadXwd(const std::string& path, Picture* picture) {
  const std::string bytes = ReadWholeFile(path);
  // The header is 25 big-endian 32-bit fields, then the window name.
  const auto field = [&](size_t index) -> uint32_t {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + index * 4;
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
  };
  if (bytes.size() < 100) return false;
  const uint32_t headerSize = field(0), version = field(1), format = field(2);
  const uint32_t width = field(4), height = field(5), byteOrder = field(7);
  const uint32_t bitsPerPixel = field(11), bytesPerLine = field(12);
  const uint32_t redMask = field(14), greenMask = field(15), blueMask = field(16);
  const uint32_t colours = field(19);
  if (version != 7 || format != 2 || (bitsPerPixel != 32 && bitsPerPixel != 24)) return false;
  const size_t start = size_t{headerSize} + size_t{colours} * 12;
  if (bytesPerLine < width * (bitsPerPixel / 8) ||
      bytes.size() < start + size_t{bytesPerLine} * height)
    return false;
  const auto channel = [](uint32_t pixel, uint32_t mask) -> uint32_t {
    if (!mask) return 0;
    uint32_t shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    return ((pixel & mask) >> shift) & 0xFF;
  };
  picture->width = width;
  picture->height = height;
  picture->pixels.assign(size_t{width} * height, 0);
  const uint32_t step = bitsPerPixel / 8;
  for (uint32_t y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint8_t*>(bytes.data()) + start + size_t{y} * bytesPerLine;
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = row + x * step;
      uint32_t pixel = 0;
      for (uint32_t b = 0; b < step; ++b)
        pixel |= uint32_t{p[b]} << (byteOrder == 0 ? 8 * b : 8 * (step - 1 - b));  // 0: LSB first
      picture->pixels[size_t{y} * width + x] = 0xFF000000u | (channel(pixel, redMask) << 16) |
                                               (channel(pixel, greenMask) << 8) |
                                               channel(pixel, blueMask);
    }
  }
  return true;
}

// Writes a picture as PNG, for a person to look at what a test saw.
inline bool SavePng(const Picture& picture, const std::string& path) {
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint32_t*>(picture.pixels.data()), static_cast<int>(picture.width),
      static_cast<int>(picture.height), 32, static_cast<int>(picture.width * 4),
      SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return false;
  const bool ok = IMG_SavePNG(surface, path.c_str()) == 0;
  SDL_FreeSurface(surface);
  return ok;
}
