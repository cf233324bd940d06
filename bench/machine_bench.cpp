// How fast a 48K machine emulates whole frames unthrottled: booting its ROM (mostly the ROM's
// idle loop and interrupt handler after the RAM test) and running a busy program (block copies
// over the screen, arithmetic, calls and indexed accesses, with interrupts on). The frame
// driver's 194 runs per frame and the line capture are part of the measured work.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "emulation/machine48.h"
#include "emulation/rom_cache.h"
#include "emulation/z80.h"

namespace {

double FramesPerSecond(CMachine& machine, int frames) {
  machine.Throttle(false);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) machine.UpdateFrame(static_cast<float>(i));
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  return frames / seconds.count();
}

// IM 1 with EI; the main loop copies 6912 bytes over the screen with LDIR, sums a table through
// IX, calls a subroutine that rotates and adds, and loops.
const std::vector<uint8_t> kBusyProgram = {
    0xF3, 0x31, 0x00, 0xFF,                 // 8000 DI; LD SP,0xFF00
    0xED, 0x56, 0xFB,                       // 8004 IM 1; EI
    0x21, 0x00, 0x90,                       // 8007 loop: LD HL,0x9000
    0x11, 0x00, 0x40,                       // 800A LD DE,0x4000
    0x01, 0x00, 0x1B,                       // 800D LD BC,6912
    0xED, 0xB0,                             // 8010 LDIR
    0xDD, 0x21, 0x00, 0xA0,                 // 8012 LD IX,0xA000
    0x06, 0x80, 0xAF,                       // 8016 LD B,128; XOR A
    0xDD, 0x86, 0x05,                       // 8019 sum: ADD A,(IX+5)
    0xDD, 0x23,                             // 801C INC IX
    0xCD, 0x30, 0x80,                       // 801E CALL 0x8030
    0x10, 0xF6,                             // 8021 DJNZ sum
    0x32, 0x00, 0xB0,                       // 8023 LD (0xB000),A
    0x18, 0xDF,                             // 8026 JR loop
    0,    0,    0,    0,    0,    0, 0, 0,  // 8028 padding
    0xCB, 0x07, 0x87, 0x27, 0xC9,           // 8030 RLC A; ADD A,A; DAA; RET
};

}  // namespace

int main() {
  CRomCache roms(std::string(GLIMMERBOX_SHARED_DIR) + "/roms");
  if (!roms.ROMCache(ROM_48)) roms.SetFolder(GLIMMERBOX_SOURCE_DATA "/Roms");
  // As a script's machine: the ROMs, a key matrix with no key held, no sound, RAM filled at
  // random.
  static const uint8_t keys[8] = {};
  const auto setup = [&roms] {
    MachineSetup setup;
    setup.roms = &roms;
    setup.keyMatrix = keys;
    return setup;
  };

  {
    CMachine48 booting(setup());
    booting.RandomizeMemory();
    const double boot = FramesPerSecond(booting, 20000);
    std::printf("48K booting its ROM: %.0f frames/s (%.0f x real time)\n", boot, boot / 50);

    CMachine48 busy(setup());
    busy.RandomizeMemory();
    for (size_t i = 0; i < kBusyProgram.size(); ++i)
      busy.Poke(static_cast<uint16_t>(0x8000 + i), kBusyProgram[i]);
    busy.MakeContextCurrent();
    Z80SetRegister(REG_PC, 0x8000);
    Z80SetRegister(REG_IY, 0x5C3A);  // where the ROM's interrupt handler expects its variables
    busy.SaveContext();
    const double program = FramesPerSecond(busy, 20000);
    std::printf("48K busy program:    %.0f frames/s (%.0f x real time)\n", program, program / 50);
  }
  return 0;
}
