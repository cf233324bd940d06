// Everything a machine takes from outside, handed over once at construction. Nothing else in
// the emulation reaches beyond it, so a machine runs alone:
//
//   uint8_t keys[8] = {};                       // half-rows; a set bit is a held key
//   CRomImages roms;  roms.Set(ROM_48, image);
//   MachineSetup setup;
//   setup.roms = &roms;
//   setup.keyMatrix = keys;
//   CMachine48 machine(std::move(setup));
//   machine.Throttle(false);
//   machine.UpdateFrame(0.02f);                 // one frame; then DisplayLineBuffer(), SampleBlock()
#pragma once

#include <cstdint>
#include <memory>
#include <random>

#include "emulation/rom_source.h"
#include "emulation/sound_stream.h"

struct MachineSetup {
  CRomSource* roms = nullptr;           // null: every ROM page reads 0xFF
  const uint8_t* keyMatrix = nullptr;   // 8 half-rows, read on every keyboard port read; null: no key
  std::unique_ptr<CSoundStream> sound;  // the machine's own; null: silent
  bool beeper = false;                  // synthesise the beeper into the sample block
  bool ay = false;                      // a 128K machine has its AY chip
  std::mt19937* random = nullptr;       // power-on RAM fill; null: a generator of its own
  LogSink log;                          // notices (a ROM standing in blank); empty: none
};
