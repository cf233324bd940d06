// The ROM images of the Roms folder, each read at most once per run and shared by every machine
// that maps it. Machines never change or free a cached image, so the cache outlives them.
//
//   CRomCache roms(folders.roms);
//   setup.roms = &roms;             // machines call roms.RomImage(id, log): never null
#pragma once

#include <cstdint>
#include <string>

#include "emulation/rom_source.h"

class CRomCache : public CRomSource {
 public:
  explicit CRomCache(std::string folder = {}) : folder_(std::move(folder)) {}
  ~CRomCache() override;
  CRomCache(const CRomCache&) = delete;
  CRomCache& operator=(const CRomCache&) = delete;

  // The folder the files are read from (known once the settings are read).
  void SetFolder(std::string folder) { folder_ = std::move(folder); }

  // The cached 16384-byte image of ROM `id`, loading it on first use; null when the id has no
  // file or the file is missing or unusable (a failed load is tried again on the next request).
  // A file of the wrong size or that cannot be read is reported to `log`.
  uint8_t* ROMCache(int32_t id, const LogSink& log = {});

  // ROMCache, or when that has no image the blank block, reporting to `log` once per id that
  // the ROM is missing.
  uint8_t* RomImage(int32_t id, const LogSink& log) override;

  // Frees every loaded image; the missing-ROM notices start afresh.
  void Release();

 private:
  std::string folder_;
  uint8_t* images_[ROM_ID_COUNT] = {};
  bool missingLogged_[ROM_ID_COUNT] = {};
};
