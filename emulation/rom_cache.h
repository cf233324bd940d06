// The ROM images of the Roms folder, each read at most once per run and shared by every
// machine that maps it. Machines never change or free a cached image.
//
// Usage, as a machine does it:
//   uint8_t* rom = ROMOrBlank(ROM_48, App().romCache);   // never null: maps safely at 0x0000
//   at application end: ReleaseROMCache(App().romCache);
#pragma once

#include <cstdint>

constexpr uint32_t ROM_SIZE = 16384;

enum {
  ROM_48 = 8,           // "48.rom": 16K and 48K machines, 128K machines in 48K mode
  ROM_128_0 = 9,        // "128-0.rom"
  ROM_128_1 = 10,       // "128-1.rom"
  ROM_PLUS2_0 = 11,     // "plus2-0.rom"
  ROM_PLUS2_1 = 12,     // "plus2-1.rom"
  ROM_ID_COUNT = 13     // ids 0-7 have no image
};

// The cached 16384-byte image of ROM `id`, loading it on first use from the Roms folder;
// null when the id has no file or the file is missing or unusable (a failed load is tried
// again on the next request). `cache` holds ROM_ID_COUNT entries.
uint8_t* ROMCache(int32_t id, uint8_t** cache);

// ROMCache, or when that has no image a shared 16K block of 0xFF (what a Z80 reads from an
// empty bus), logging once per id that the ROM is missing. The block is never written:
// ROM pages have no write mapping.
uint8_t* ROMOrBlank(int32_t id, uint8_t** cache);

// The shared block of 0xFF bytes.
uint8_t* BlankROM();

// Frees every loaded image and sets its entry to null; the missing-ROM notices start afresh.
void ReleaseROMCache(uint8_t** cache);
