// z80_bench: speed of the Z80 core against z80ex on the same workloads, in one run.
//   1. the first T-states of ZEXDOC through equivalent CP/M shims;
//   2. a game-like mix on a Spectrum-like 48K map (ROM 0x0000-0x3FFF, RAM above), run frame by
//      frame with an IM 1 interrupt and one run per display line, as the machines do.
// Prints every figure, and last: "z80: <ours> MHz, z80ex: <theirs> MHz, ratio <ours/theirs>".
// z80ex is GPL: it is linked here and in tests only, never into the program.
#include <z80ex/z80ex.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "emulation/z80.h"
#include "tools/cpm_shim.h"

namespace {

#ifndef GLIMMERBOX_SHARED_DIR
#define GLIMMERBOX_SHARED_DIR "../shared"
#endif

constexpr uint64_t kZexTStates = 3000000000ull;
constexpr int kGameFrames = 20000;
constexpr uint32_t kFrameLength = 69888, kFirstLine = 14336, kLineLength = 224;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

struct Figure {
  uint64_t tstates = 0;
  double seconds = 0;
  double Mhz() const { return seconds > 0 ? tstates / seconds / 1e6 : 0; }
};

void Print(const char* workload, const char* core, const Figure& figure) {
  std::printf("%-22s %-6s %12llu T-states %8.3f s %9.1f MHz\n", workload, core,
              static_cast<unsigned long long>(figure.tstates), figure.seconds, figure.Mhz());
}

// ---- z80ex side --------------------------------------------------------------------------------

struct Z80exMachine {
  uint8_t memory[0x10000] = {};
  bool romProtected = false;  // writes below 0x4000 are lost
  std::string output;
  uint32_t portSum = 0;
};

Z80EX_BYTE ExRead(Z80EX_CONTEXT*, Z80EX_WORD address, int, void* user) {
  return static_cast<Z80exMachine*>(user)->memory[address];
}
void ExWrite(Z80EX_CONTEXT*, Z80EX_WORD address, Z80EX_BYTE value, void* user) {
  auto* m = static_cast<Z80exMachine*>(user);
  if (m->romProtected && address < 0x4000) return;
  m->memory[address] = value;
}
Z80EX_BYTE ExPortRead(Z80EX_CONTEXT*, Z80EX_WORD, void*) { return 0xFF; }
void ExPortWrite(Z80EX_CONTEXT*, Z80EX_WORD port, Z80EX_BYTE value, void* user) {
  auto* m = static_cast<Z80exMachine*>(user);
  if (m->romProtected) {
    m->portSum += value;
  } else if ((port & 0xFF) == 0) {
    m->output += static_cast<char>(value);
  }
}
Z80EX_BYTE ExIntRead(Z80EX_CONTEXT*, void*) { return 0xFF; }

Z80EX_CONTEXT* CreateZ80ex(Z80exMachine* m) {
  Z80EX_CONTEXT* cpu =
      z80ex_create(ExRead, m, ExWrite, m, ExPortRead, m, ExPortWrite, m, ExIntRead, m);
  z80ex_reset(cpu);
  return cpu;
}

// ---- workload 1: ZEXDOC ------------------------------------------------------------------------

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !bytes->empty();
}

Figure ZexOurs(const std::vector<uint8_t>& program, std::string* output) {
  CCpmShim shim;
  shim.Load(program);
  const auto start = Clock::now();
  shim.Run(kZexTStates);
  Figure figure{shim.TStates(), Seconds(start)};
  *output = shim.Output();
  return figure;
}

Figure ZexTheirs(const std::vector<uint8_t>& program, std::string* output) {
  // The same memory image as the CP/M shim: the BDOS routine prints through OUT (0),A.
  static const uint8_t bdos[] = {0x79, 0xFE, 0x02, 0x20, 0x04, 0x7B, 0xD3, 0x00, 0xC9, 0xFE, 0x09,
                                 0xC0, 0x1A, 0xFE, 0x24, 0xC8, 0xD3, 0x00, 0x13, 0x18, 0xF7};
  auto m = std::make_unique<Z80exMachine>();
  std::copy(program.begin(), program.end(), m->memory + 0x0100);
  m->memory[0x0000] = 0x76;
  m->memory[0x0005] = 0xC3;
  m->memory[0x0006] = CCpmShim::kBdos & 0xFF;
  m->memory[0x0007] = CCpmShim::kBdos >> 8;
  std::memcpy(m->memory + CCpmShim::kBdos, bdos, sizeof bdos);
  Z80EX_CONTEXT* cpu = CreateZ80ex(m.get());
  z80ex_set_reg(cpu, regPC, 0x0100);
  z80ex_set_reg(cpu, regSP, CCpmShim::kBdos);
  const auto start = Clock::now();
  uint64_t tstates = 0;
  while (tstates < kZexTStates) tstates += z80ex_step(cpu);
  Figure figure{tstates, Seconds(start)};
  z80ex_destroy(cpu);
  *output = m->output;
  return figure;
}

// ---- workload 2: game-like mix -----------------------------------------------------------------

// Main loop at 0x8000: an attribute-sized LDIR, a table of 32 "sprites" walked with IX (indexed
// loads, ADD/ADC, INC/DEC (IX+d), BIT, CALL/RET), a ROM routine, a write to ROM, the border port,
// a shift-and-add multiply, a CPIR search and a PUSH/POP burst.
const uint8_t kGameMain[] = {
    0xF3, 0x31, 0x00, 0xFF, 0xED, 0x56, 0xFB,                    // DI; LD SP,FF00; IM 1; EI
    0x21, 0x00, 0xC0, 0x11, 0x00, 0x58, 0x01, 0x00, 0x01,        // loop: LD HL,C000; DE,5800; BC,0100
    0xED, 0xB0,                                                  // LDIR
    0xDD, 0x21, 0x00, 0x90, 0x06, 0x20,                          // LD IX,9000; LD B,32
    0xDD, 0x7E, 0x00, 0xDD, 0x86, 0x02, 0xDD, 0x77, 0x00,        // s1: A=(IX+0)+(IX+2) -> (IX+0)
    0xDD, 0x7E, 0x01, 0xDD, 0x8E, 0x03, 0xDD, 0x77, 0x01,        //     A=(IX+1)+(IX+3)+c -> (IX+1)
    0xDD, 0x34, 0x04, 0xDD, 0xCB, 0x04, 0x46, 0x28, 0x03,        //     INC (IX+4); BIT 0,(IX+4); JR Z
    0xDD, 0x35, 0x05,                                            //     DEC (IX+5)
    0xCD, 0x00, 0x88,                                            // skip: CALL 8800
    0x11, 0x08, 0x00, 0xDD, 0x19, 0x10, 0xD8,                    //     LD DE,8; ADD IX,DE; DJNZ s1
    0x21, 0x00, 0x01, 0xCD, 0x00, 0x10,                          // LD HL,0100; CALL 1000 (ROM)
    0x32, 0x00, 0x01, 0x32, 0x02, 0xA0,                          // LD (0100),A (ROM); LD (A002),A
    0x3A, 0x00, 0xA0, 0xE6, 0x07, 0xD3, 0xFE,                    // LD A,(A000); AND 7; OUT (FE),A
    0x21, 0x00, 0x00, 0x11, 0x37, 0x00, 0x3E, 0x5A, 0x06, 0x08,  // HL=0; DE=37; A=5A; B=8
    0xCB, 0x3F, 0x30, 0x01, 0x19, 0xEB, 0x29, 0xEB, 0x10, 0xF6,  // mul: SRL A; JR NC; ADD HL,DE...
    0x22, 0x04, 0xA0,                                            // LD (A004),HL
    0x21, 0x00, 0xC0, 0x01, 0x00, 0x02, 0x3E, 0x55, 0xED, 0xB1,  // CPIR for 55 in C000..C1FF
    0x22, 0x06, 0xA0,                                            // LD (A006),HL
    0xC5, 0xD5, 0xE5, 0xDD, 0xE5, 0xDD, 0xE1, 0xE1, 0xD1, 0xC1,  // PUSH/POP
    0xC3, 0x07, 0x80,                                            // JP loop
};
// At 0x8800: fold A into a running sum.
const uint8_t kGameSub[] = {0x2A, 0x08, 0xA0, 0x85, 0x6F, 0x8C, 0x67, 0x22, 0x08, 0xA0, 0xC9};
// ROM 0x0038: IM 1 handler counting frames at A000.
const uint8_t kRomInterrupt[] = {0xF5, 0xE5, 0x2A, 0x00, 0xA0, 0x23, 0x22, 0x00,
                                 0xA0, 0xE1, 0xF1, 0xFB, 0xED, 0x4D};
// ROM 0x1000: mix 256 bytes from (HL) into A.
const uint8_t kRomSum[] = {0xAF, 0x06, 0x00, 0x86, 0x23, 0xAE, 0x10, 0xFB, 0xC9};

void BuildGameImage(uint8_t* memory) {
  uint32_t seed = 12345;
  for (int a = 0; a < 0x10000; ++a) {
    seed = seed * 1103515245 + 12345;
    memory[a] = static_cast<uint8_t>(seed >> 16);
  }
  std::memcpy(memory + 0x0038, kRomInterrupt, sizeof kRomInterrupt);
  std::memcpy(memory + 0x1000, kRomSum, sizeof kRomSum);
  std::memcpy(memory + 0x8000, kGameMain, sizeof kGameMain);
  std::memcpy(memory + 0x8800, kGameSub, sizeof kGameSub);
}

uint32_t MemorySum(const uint8_t* memory) {
  uint32_t sum = 0;
  for (int a = 0x4000; a < 0x10000; ++a) sum = sum * 31 + memory[a];
  return sum;
}

uint32_t ourPortSum = 0;
void OurPortWrite(uint16_t, uint8_t value) { ourPortSum += value; }

// Frame structure of the machines: interrupt, a run to the first display line, one run per
// line, then the rest of the frame; overshoot carries into the next frame.
Figure GameOurs(uint32_t* memorySum) {
  std::vector<uint8_t> rom(0x4000), ram(0xC000);
  {
    std::vector<uint8_t> image(0x10000);
    BuildGameImage(image.data());
    std::copy(image.begin(), image.begin() + 0x4000, rom.begin());
    std::copy(image.begin() + 0x4000, image.end(), ram.begin());
  }
  std::vector<uint8_t> context(Z80ContextSize(), 0);
  Z80LoadContext(context.data());
  Z80InitMemoryMaps();
  Z80MapFetch(0x0000, 0x3FFF, rom.data());
  Z80MapRead(0x0000, 0x3FFF, rom.data());
  Z80MapFetch(0x4000, 0xFFFF, ram.data());
  Z80AddReadRange(0x4000, 0xFFFF, ram.data());
  Z80AddWriteRange(0x4000, 0xFFFF, ram.data());
  Z80CloseRangeLists();
  Z80Reset();
  Z80SetRegister(REG_PC, 0x8000);
  Z80SetPortWriteHandler(OurPortWrite);

  const auto start = Clock::now();
  uint64_t total = 0;
  int32_t carry = 0;
  for (int frame = 0; frame < kGameFrames; ++frame) {
    uint32_t executed = 0;
    auto runFor = [&](int64_t t) {
      if (t > 0) executed += Z80Execute(static_cast<uint32_t>(t));
    };
    Z80SetFetchCounter(0x7FFFFFFF);
    Z80Interrupt(0xFF);
    Z80ClearInterrupt();
    runFor(carry + static_cast<int64_t>(kFirstLine));
    for (int line = 0; line < 192; ++line) runFor(kLineLength);
    runFor(static_cast<int64_t>(kFrameLength) - executed);
    carry = static_cast<int32_t>(kFrameLength) - static_cast<int32_t>(executed);
    total += executed;
  }
  Figure figure{total, Seconds(start)};
  Z80SaveContext(context.data());
  std::vector<uint8_t> whole(0x10000);
  std::copy(ram.begin(), ram.end(), whole.begin() + 0x4000);
  *memorySum = MemorySum(whole.data());
  return figure;
}

Figure GameTheirs(uint32_t* memorySum, uint32_t* portSum) {
  auto m = std::make_unique<Z80exMachine>();
  BuildGameImage(m->memory);
  m->romProtected = true;
  Z80EX_CONTEXT* cpu = CreateZ80ex(m.get());
  z80ex_set_reg(cpu, regPC, 0x8000);
  z80ex_set_reg(cpu, regIX, 0xFFFF);
  z80ex_set_reg(cpu, regIY, 0xFFFF);
  z80ex_set_reg(cpu, regAF, 0x0040);
  z80ex_set_reg(cpu, regBC, 0);
  z80ex_set_reg(cpu, regDE, 0);
  z80ex_set_reg(cpu, regHL, 0);
  z80ex_set_reg(cpu, regSP, 0);

  const auto start = Clock::now();
  uint64_t total = 0;
  int64_t carry = 0;
  for (int frame = 0; frame < kGameFrames; ++frame) {
    uint64_t executed = z80ex_int(cpu);  // 0 when interrupts are off: the interrupt is lost
    auto runTo = [&](int64_t t) {
      const uint64_t target = executed + (t > 0 ? t : 0);
      // Whole instructions only (z80ex steps prefixes one at a time), and like our core, a run
      // never ends between EI and the instruction after it.
      for (;;) {
        while (executed < target || z80ex_last_op_type(cpu) != 0) executed += z80ex_step(cpu);
        if (!z80ex_get_reg(cpu, regIFF1) || z80ex_int_possible(cpu)) break;
        executed += z80ex_step(cpu);
      }
    };
    runTo(carry + kFirstLine);
    for (int line = 0; line < 192; ++line) runTo(kLineLength);
    runTo(static_cast<int64_t>(kFrameLength) - static_cast<int64_t>(executed));
    carry = static_cast<int64_t>(kFrameLength) - static_cast<int64_t>(executed);
    total += executed;
  }
  Figure figure{total, Seconds(start)};
  z80ex_destroy(cpu);
  *memorySum = MemorySum(m->memory);
  *portSum = m->portSum;
  return figure;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string zexPath =
      argc > 1 ? argv[1] : std::string(GLIMMERBOX_SHARED_DIR) + "/testdata/z80/zexdoc.com";
  Figure ours, theirs;

  std::vector<uint8_t> zexdoc;
  if (ReadFile(zexPath, &zexdoc)) {
    std::string ourText, theirText;
    const Figure a = ZexOurs(zexdoc, &ourText);
    const Figure b = ZexTheirs(zexdoc, &theirText);
    Print("zexdoc (first part)", "z80", a);
    Print("zexdoc (first part)", "z80ex", b);
    const size_t common = std::min(ourText.size(), theirText.size());
    std::printf("zexdoc output so far: %zu and %zu bytes, %s\n", ourText.size(), theirText.size(),
                ourText.compare(0, common, theirText, 0, common) == 0 ? "same text" : "DIFFERENT");
    ours.tstates += a.tstates, ours.seconds += a.seconds;
    theirs.tstates += b.tstates, theirs.seconds += b.seconds;
  } else {
    std::printf("zexdoc: %s not found, workload skipped\n", zexPath.c_str());
  }

  uint32_t ourSum = 0, theirSum = 0, theirPorts = 0;
  const Figure a = GameOurs(&ourSum);
  const Figure b = GameTheirs(&theirSum, &theirPorts);
  Print("game mix (48K map)", "z80", a);
  Print("game mix (48K map)", "z80ex", b);
  std::printf("game mix final memory %08x and %08x, border port sum %u and %u: %s\n", ourSum,
              theirSum, ourPortSum, theirPorts,
              ourSum == theirSum && ourPortSum == theirPorts ? "same" : "DIFFERENT");
  ours.tstates += a.tstates, ours.seconds += a.seconds;
  theirs.tstates += b.tstates, theirs.seconds += b.seconds;

  std::printf("z80: %.1f MHz, z80ex: %.1f MHz, ratio %.2f\n", ours.Mhz(), theirs.Mhz(),
              theirs.Mhz() > 0 ? ours.Mhz() / theirs.Mhz() : 0.0);
  return 0;
}
