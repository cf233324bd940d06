// Reading a PNG file back as ARGB pixels, top row first, for tests that look at screenshots.
#pragma once

#include <SDL.h>
#include <SDL_image.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct Picture {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(uint32_t x, uint32_t y) const { return pixels[y * width + x]; }
};

inline bool LoadPng(const std::string& path, Picture* picture) {
  SDL_Surface* loaded = IMG_Load(path.c_str());
  if (!loaded) return false;
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(loaded);
  if (!argb) return false;
  picture->width = static_cast<uint32_t>(argb->w);
  picture->height = static_cast<uint32_t>(argb->h);
  picture->pixels.resize(static_cast<size_t>(argb->w) * argb->h);
  for (int y = 0; y < argb->h; ++y)
    std::memcpy(picture->pixels.data() + static_cast<size_t>(y) * argb->w,
                static_cast<const uint8_t*>(argb->pixels) + static_cast<size_t>(y) * argb->pitch,
                static_cast<size_t>(argb->w) * 4);
  SDL_FreeSurface(argb);
  return true;
}
