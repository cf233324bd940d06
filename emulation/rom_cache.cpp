// Loading and sharing of the 16K ROM images, with the log lines that tell the user which file
// was too short, too long or unreadable.
#include "emulation/rom_cache.h"

#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "base/log.h"
#include "shell/app_state.h"

namespace {

const char* const ROM_FILES[ROM_ID_COUNT] = {nullptr,     nullptr,     nullptr,      nullptr,
                                             nullptr,     nullptr,     nullptr,      nullptr,
                                             "48.rom",    "128-0.rom", "128-1.rom",  "plus2-0.rom",
                                             "plus2-1.rom"};

bool g_missingLogged[ROM_ID_COUNT] = {};

void LogWithPath(const char* message, const std::string& path) {
  WriteLog(message);
  WriteLog(path);
}

bool ValidId(int32_t id) { return id >= 0 && id < ROM_ID_COUNT; }

// "%s/%s" of the Roms folder and the file name, without a length limit.
std::string RomPath(int32_t id) { return App().folders.roms + "/" + ROM_FILES[id]; }

}  // namespace

uint8_t* ROMCache(int32_t id, uint8_t** cache) {
  if (!ValidId(id)) return nullptr;
  if (cache[id]) return cache[id];
  if (!ROM_FILES[id]) return nullptr;

  const std::string path = RomPath(id);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return nullptr;

  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) {
    std::fclose(file);
    return nullptr;
  }
  if (size > ROM_SIZE) {
    LogWithPath("ROMCache: Warning - ROM larger than expected. Will only read the first 16K of:", path);
  } else if (size < ROM_SIZE) {
    LogWithPath("ROMCache: Warning - ROM unexpected file size. Not loading:", path);
    std::fclose(file);
    return nullptr;
  }

  cache[id] = new (std::nothrow) uint8_t[ROM_SIZE];
  if (!cache[id]) {
    LogWithPath("ROMCache: Error - out of memory loading ROM:", path);
    std::fclose(file);
    return nullptr;
  }
  if (std::fread(cache[id], 1, ROM_SIZE, file) != ROM_SIZE) {
    LogWithPath("ROMCache: Warning - unable to read ROM:", path);
    delete[] cache[id];
    cache[id] = nullptr;
    std::fclose(file);
    return nullptr;
  }
  std::fclose(file);
  return cache[id];
}

uint8_t* BlankROM() {
  static uint8_t* const blank = [] {
    static uint8_t block[ROM_SIZE];
    for (uint8_t& byte : block) byte = 0xFF;
    return block;
  }();
  return blank;
}

uint8_t* ROMOrBlank(int32_t id, uint8_t** cache) {
  if (uint8_t* rom = ROMCache(id, cache)) return rom;
  if (ValidId(id) && !g_missingLogged[id]) {
    g_missingLogged[id] = true;
    LogWithPath("ROMCache: Warning - ROM not available, the machine runs without it:",
                ROM_FILES[id] ? RomPath(id) : std::string("(no ROM file for id ") + std::to_string(id) + ")");
  }
  return BlankROM();
}

void ReleaseROMCache(uint8_t** cache) {
  for (int32_t id = 0; id < ROM_ID_COUNT; ++id) {
    delete[] cache[id];
    cache[id] = nullptr;
    g_missingLogged[id] = false;
  }
}
