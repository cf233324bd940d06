// The bundled demo programs: Z80 assembly sources of our own (tools/content/asm) assembled by
// pasmo at build time into Intel HEX and a symbol table, read back here as memory images with
// the processor state they start from. The same images are written to the snapshot files and
// poked into machines by the tests and the previews, so what is checked is what ships.
//
// What a source must define (zx_hardware.inc has the rest): `start`, where the processor starts
// (0000h for a ROM), and `code_end`, the end of its instructions. RAM programs keep the stack
// and the IM 2 table of zx_hardware.inc; they start with interrupts off and set up the rest
// themselves, so a snapshot's processor state is little more than PC and SP.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

class CMachine;

// How a program is written to the archive.
enum class DemoFormat { SNA, Z80_V1, Z80_V3, SZX, SZX_STORED, ROM, RZX };

struct DemoProgram {
  std::string file;         // name in the Snapshots folder (or in `zip`)
  std::string source;       // the assembly source, tools/content/asm/<source>.asm
  std::string description;  // one line for the README
  DemoFormat format = DemoFormat::SNA;
  bool is128K = false;
  uint8_t paging = 0;  // port 7FFDh, 128K only: the bank at 0C000h holds 0C000h-0FFFFh
  // 128K RAM banks filled with one of the bundled screens, by file name.
  std::vector<std::pair<int, std::string>> bankScreens;
  bool tape = false;  // pasmo also writes <source>.tap and .tzx with a BASIC loader
  std::string zip;    // written into this zip file instead of on its own
  // RZX: the keys held while it is recorded (letters and digits as on the keys, ' ' for SPACE)
  // and for how many frames.
  std::vector<std::pair<int, std::string>> keyStrokes;

  // From the assembly. 48K: the 49152 bytes of 4000h-0FFFFh. 128K: eight banks of 16384
  // bytes, bank 0 first. ROM image: the 16384 bytes of the ROM.
  std::vector<uint8_t> memory;
  std::map<std::string, uint16_t> symbols;
  uint16_t pc = 0, sp = 0;
  uint8_t i = 0, im = 2;
  bool iff = false;
  uint8_t border = 0;
  // Address ranges (first, last) where the processor may be found between frames.
  std::vector<std::pair<uint16_t, uint16_t>> codeRanges;
  // What went wrong reading the assembly; a program with errors must not be written.
  std::vector<std::string> errors;

  // The byte at a Z80 address as the program sees it (4000h and above; 128K through `paging`).
  uint8_t& At(uint16_t address) { return memory[Index(address)]; }
  uint8_t At(uint16_t address) const { return memory[Index(address)]; }
  size_t Index(uint16_t address) const;
  uint16_t Symbol(const std::string& name) const;
  bool HasSymbol(const std::string& name) const { return symbols.count(name) != 0; }
};

// The bundled programs, read from pasmo's output in `assembled` (<source>.hex, <source>.sym).
std::vector<DemoProgram> DemoPrograms(const std::filesystem::path& assembled);

// Puts the program into a machine as its snapshot would: memory, paging, registers, border.
// A 128K program needs a CMachine128; a RAM program for 48K runs on either class (a 128K machine
// is switched to its 48K mode first, as a snapshot reader does).
void PokeProgram(CMachine& machine, const DemoProgram& program);

// Intel HEX as pasmo writes it: the bytes it defines, by address (-1 where none). False, with
// `error`, on a malformed line or a bad checksum.
bool ReadIntelHex(const std::string& text, std::vector<int>& image, std::string& error);
// pasmo's symbol table: lines of "name EQU 0ABCDH".
std::map<std::string, uint16_t> ReadSymbols(const std::string& text);
