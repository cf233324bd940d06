// The bundled demo programs: Z80 code of our own that runs without any ROM routine (IM 2 with
// its own vector table, or a ROM image of our own with IM 1), as memory images with the
// processor state they start from. The same images are written to the snapshot files and poked
// into machines by the tests and the preview, so what is checked is what ships.
//
// Memory layout of the RAM programs (all in the banks a 128K machine never pages out):
//   0x8000        code, then tables (page-aligned ones on their own pages)
//   0xBE00-0xBF00 the IM 2 vector table, 257 bytes of 0xBF (any bus byte lands on 0xBFBF)
//   0xBDFF down   the stack (SP starts at 0xBE00)
//   0xBFBF        JP to the interrupt routine
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CSpeccy;
class CZ80Assembler;

// How a program is written to the archive.
enum class DemoFormat { SNA, Z80_V1, Z80_V3, ROM };

struct DemoProgram {
  std::string file;         // name in the Snapshots folder
  std::string description;  // one line for the README
  DemoFormat format = DemoFormat::SNA;
  bool is128K = false;
  // 48K: the 49152 bytes of 0x4000-0xFFFF. 128K: eight banks of 16384 bytes, bank 0 first.
  // ROM image: the 16384 bytes of the ROM (RAM is left as the machine has it).
  std::vector<uint8_t> memory;
  uint16_t pc = 0x8000, sp = 0xBE00;
  uint8_t i = 0xBE, im = 2;
  bool iff = false;
  uint8_t border = 0;
  uint8_t paging = 0;  // port 0x7FFD, 128K only
  // Address ranges (first, last) where the processor may be found between frames.
  std::vector<std::pair<uint16_t, uint16_t>> codeRanges;
  // Assembler errors; a program with errors must not be written.
  std::vector<std::string> errors;

  // The byte at a Z80 address as the program sees it (0x4000 and above; 128K through `paging`).
  uint8_t& At(uint16_t address);
  void Put(uint16_t address, const std::vector<uint8_t>& bytes);
  // Copies the assembled code to its origin, notes its range and any errors.
  void Place(CZ80Assembler& code);
};

constexpr uint16_t STACK_TOP = 0xBE00;
constexpr uint16_t VECTOR_TABLE = 0xBE00;
constexpr uint16_t INTERRUPT_JUMP = 0xBFBF;

// A fresh 48K or 128K program: RAM zeroed, the vector table and the jump to `isr` in place.
DemoProgram NewRamProgram(const std::string& file, DemoFormat format, bool is128K,
                          const std::string& description);
// The start every RAM program shares: DI, SP, I and IM 2. The program enables interrupts.
void EmitInterruptSetup(CZ80Assembler& a);
// Screen address of display line n (0x4000-based), as a table of 192 little-endian words.
std::vector<uint8_t> LineAddressTable();

DemoProgram MarqueeProgram();
// The text the marquee scrolls, over and over.
const char* MarqueeText();
DemoProgram PlasmaProgram();
DemoProgram StarfieldProgram();
DemoProgram BouncingBallsProgram();
DemoProgram ROMDemoProgram();

std::vector<DemoProgram> DemoPrograms();

// Puts the program into a machine as its snapshot would: memory, paging, registers, border.
// A 128K program needs a CSpeccy128; a RAM program for 48K runs on either class (a 128K machine
// is switched to its 48K mode first, as a snapshot reader does).
void PokeProgram(CSpeccy& machine, const DemoProgram& program);
