// Loading and sharing of the 16K ROM images, with the notices that tell the user which file
// was too short, too long or unreadable.
#include "emulation/rom_cache.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

namespace {

const char* const ROM_FILES[ROM_ID_COUNT] = {nullptr,     nullptr,     nullptr,      nullptr,
                                             nullptr,     nullptr,     nullptr,      nullptr,
                                             "48.rom",    "128-0.rom", "128-1.rom",  "plus2-0.rom",
                                             "plus2-1.rom"};

void LogWithPath(const LogSink& log, const char* message, const std::string& path) {
  if (!log) return;
  log(message);
  log(path);
}

bool ValidId(int32_t id) { return id >= 0 && id < ROM_ID_COUNT; }

}  // namespace

uint8_t* BlankROM() {
  static uint8_t* const blank = [] {
    static uint8_t block[ROM_SIZE];
    for (uint8_t& byte : block) byte = 0xFF;
    return block;
  }();
  return blank;
}

void CRomImages::Set(int32_t id, const std::vector<uint8_t>& image) {
  if (!ValidId(id)) return;
  images_[id].reset(new uint8_t[ROM_SIZE]);
  std::memset(images_[id].get(), 0xFF, ROM_SIZE);
  std::memcpy(images_[id].get(), image.data(), std::min<size_t>(image.size(), ROM_SIZE));
}

uint8_t* CRomImages::RomImage(int32_t id, const LogSink&) {
  return ValidId(id) && images_[id] ? images_[id].get() : BlankROM();
}

CRomCache::~CRomCache() { Release(); }

uint8_t* CRomCache::ROMCache(int32_t id, const LogSink& log) {
  if (!ValidId(id)) return nullptr;
  if (images_[id]) return images_[id];
  if (!ROM_FILES[id]) return nullptr;

  // "%s/%s" of the Roms folder and the file name, without a length limit.
  const std::string path = folder_ + "/" + ROM_FILES[id];
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return nullptr;

  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) {
    std::fclose(file);
    return nullptr;
  }
  if (size > ROM_SIZE) {
    LogWithPath(log, "ROMCache: Warning - ROM larger than expected. Will only read the first 16K of:", path);
  } else if (size < ROM_SIZE) {
    LogWithPath(log, "ROMCache: Warning - ROM unexpected file size. Not loading:", path);
    std::fclose(file);
    return nullptr;
  }

  uint8_t* image = new (std::nothrow) uint8_t[ROM_SIZE];
  if (!image) {
    LogWithPath(log, "ROMCache: Error - out of memory loading ROM:", path);
    std::fclose(file);
    return nullptr;
  }
  if (std::fread(image, 1, ROM_SIZE, file) != ROM_SIZE) {
    LogWithPath(log, "ROMCache: Warning - unable to read ROM:", path);
    delete[] image;
    std::fclose(file);
    return nullptr;
  }
  std::fclose(file);
  images_[id] = image;
  return image;
}

uint8_t* CRomCache::RomImage(int32_t id, const LogSink& log) {
  if (uint8_t* rom = ROMCache(id, log)) return rom;
  if (ValidId(id) && !missingLogged_[id]) {
    missingLogged_[id] = true;
    LogWithPath(log, "ROMCache: Warning - ROM not available, the machine runs without it:",
                ROM_FILES[id] ? folder_ + "/" + ROM_FILES[id]
                              : std::string("(no ROM file for id ") + std::to_string(id) + ")");
  }
  return BlankROM();
}

void CRomCache::Release() {
  for (int32_t id = 0; id < ROM_ID_COUNT; ++id) {
    delete[] images_[id];
    images_[id] = nullptr;
    missingLogged_[id] = false;
  }
}
