// Shared set-up for machine tests: each test builds its machines from a setup record of its own
// (ROMs from ../shared when present, the fixture's key matrix and random generator, the log), a
// sound stream that keeps every frame when asked for, and a way to run Z80 code on a machine.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/log.h"
#include "emulation/machine.h"
#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "emulation/rom_cache.h"
#include "emulation/sound_stream.h"
#include "emulation/z80.h"

// Keeps every frame a machine hands over, and what was asked of the stream.
class RecordingStream : public CSoundStream {
 public:
  void WriteFrame(const int16_t* samples) override {
    frames.emplace_back(samples, samples + SAMPLES_PER_FRAME);
  }
  void SilenceAndRestart() override { ++restarts; }
  void Stop() override { ++stops; }

  std::vector<std::vector<int16_t>> frames;
  int restarts = 0;
  int stops = 0;
};

// A machine as a script's `new` makes it without a snapshot: its RAM filled at random.
template <class Core>
class PoweredOn : public Core {
 public:
  explicit PoweredOn(MachineSetup setup) : Core(std::move(setup)) { this->RandomizeMemory(); }
};
using Machine48 = PoweredOn<CMachine48>;
using Machine128 = PoweredOn<CMachine128>;

// What a test's machine gets besides the fixture's ROMs, keys and generator.
struct Wiring {
  bool beeper = false;
  bool ay = false;
  RecordingStream** stream = nullptr;  // a recording stream of its own, kept here
};

class MachineTest : public ::testing::Test {
 protected:
  MachineSetup Setup(const Wiring& wiring = {}) {
    MachineSetup setup;
    setup.roms = &roms_;
    setup.keyMatrix = keyMatrix_;
    setup.random = &random_;
    setup.beeper = wiring.beeper;
    setup.ay = wiring.ay;
    setup.log = [](const std::string& line) { WriteLog(line); };
    if (wiring.stream) {
      *wiring.stream = new RecordingStream;
      setup.sound.reset(*wiring.stream);
    }
    return setup;
  }

  static std::string SharedRoms() { return std::string(GLIMMERBOX_SHARED_DIR) + "/roms"; }
  static bool HaveSharedRoms() { return std::filesystem::exists(SharedRoms() + "/48.rom"); }

  // Copies code into the machine's memory (straight, as Poke does) and starts it at `address`
  // with interrupts off.
  static void LoadProgram(CMachine& machine, uint16_t address, const std::vector<uint8_t>& code) {
    for (size_t i = 0; i < code.size(); ++i)
      *machine.MemoryPointer(static_cast<uint16_t>(address + i)) = code[i];
    machine.MakeContextCurrent();
    Z80SetRegister(REG_PC, address);
    Z80SetRegister(REG_SP, 0xFF00);
    Z80SetRegister(REG_IFF1, 0);
    Z80SetRegister(REG_IFF2, 0);
    Z80SetRegister(REG_HALT, 0);
    machine.SaveContext();
  }

  static uint16_t Register(CMachine& machine, int index) {
    machine.MakeContextCurrent();
    const uint16_t value = Z80GetRegister(index);
    machine.SaveContext();
    return value;
  }

  // Runs `frames` frames unthrottled.
  static void RunFrames(CMachine& machine, int frames) {
    machine.Throttle(false);
    for (int i = 0; i < frames; ++i) machine.UpdateFrame(static_cast<float>(i + 1) * 0.02f);
  }

  CRomCache roms_{SharedRoms()};
  uint8_t keyMatrix_[8] = {};
  std::mt19937 random_;
};

// Z80 code that burns exactly `tstates` T-states (at least 18): a counted loop, then NOPs (4)
// and LD A,0 (7) to make up the rest. Uses BC; leaves A at 0.
inline std::vector<uint8_t> Delay(uint32_t tstates) {
  std::vector<uint8_t> code;
  // LD BC,n (10); loop: DEC BC (6) LD A,B (4) OR C (4) JR NZ,loop (12, last 7): 26n + 5.
  if (tstates >= 100) {
    uint32_t n = (tstates - 15 - 17) / 26;
    if (n > 0xFFFF) n = 0xFFFF;
    code = {0x01, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), 0x0B, 0x78, 0xB1, 0x20, 0xFB};
    tstates -= 10 + 26 * n - 5;
  }
  while (tstates % 4 != 0) {
    code.insert(code.end(), {0x3E, 0x00});  // LD A,0
    tstates -= 7;
  }
  code.insert(code.end(), tstates / 4, 0x00);
  return code;
}
