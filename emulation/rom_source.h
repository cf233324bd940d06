// Where a machine's ROM images come from. The program reads them from its Roms folder once per
// run (CRomCache); a test or a tool may hand images over from memory (CRomImages).
//
//   CRomImages roms;  roms.Set(ROM_48, bytesOf48Rom);   // a short image is filled with 0xFF
//   setup.roms = &roms;                                  // see machine_setup.h
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

constexpr uint32_t ROM_SIZE = 16384;

enum {
  ROM_48 = 8,           // "48.rom": 16K and 48K machines, 128K machines in 48K mode
  ROM_128_0 = 9,        // "128-0.rom"
  ROM_128_1 = 10,       // "128-1.rom"
  ROM_PLUS2_0 = 11,     // "plus2-0.rom"
  ROM_PLUS2_1 = 12,     // "plus2-1.rom"
  ROM_ID_COUNT = 13     // ids 0-7 have no image
};

// Where notices go, one line a call; empty: nowhere.
using LogSink = std::function<void(const std::string& line)>;

// A shared 16K block of 0xFF (what a Z80 reads from an empty bus). It is never written: ROM
// pages have no write mapping.
uint8_t* BlankROM();

class CRomSource {
 public:
  virtual ~CRomSource() = default;
  // The 16K image of ROM `id`, never null: without one the blank block stands in, which the
  // source may report to `log`. The image outlives every machine that maps it.
  virtual uint8_t* RomImage(int32_t id, const LogSink& log) = 0;
};

// Images held in memory.
class CRomImages : public CRomSource {
 public:
  // Keeps the first 16K of `image` as ROM `id`, a shorter one filled up with 0xFF.
  void Set(int32_t id, const std::vector<uint8_t>& image);
  uint8_t* RomImage(int32_t id, const LogSink& log) override;

 private:
  std::unique_ptr<uint8_t[]> images_[ROM_ID_COUNT];
};
