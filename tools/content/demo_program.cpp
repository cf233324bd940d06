// What the demo programs share: their memory image, the interrupt set-up, and the way into a
// machine.
#include "tools/content/demo_program.h"

#include <algorithm>
#include <cstring>

#include "emulation/display.h"
#include "emulation/machine.h"
#include "emulation/machine128.h"
#include "emulation/z80.h"
#include "tools/content/z80_assembler.h"

uint8_t& DemoProgram::At(uint16_t address) {
  if (format == DemoFormat::ROM) return memory[address & 0x3FFF];
  if (!is128K) return memory[static_cast<uint16_t>(address - 0x4000)];
  // 0x4000 is bank 5 and 0x8000 bank 2 on every 128K machine; 0xC000 is the paged bank.
  const int bank = address < 0x8000 ? 5 : address < 0xC000 ? 2 : (paging & 7);
  return memory[bank * 16384 + (address & 0x3FFF)];
}

void DemoProgram::Put(uint16_t address, const std::vector<uint8_t>& bytes) {
  for (size_t k = 0; k < bytes.size(); ++k) At(static_cast<uint16_t>(address + k)) = bytes[k];
}

void DemoProgram::Place(CZ80Assembler& code) {
  if (!code.Finish()) {
    for (const std::string& error : code.Errors()) errors.push_back(file + ": " + error);
    return;
  }
  Put(code.Origin(), code.Bytes());
  codeRanges.emplace_back(code.Origin(),
                          static_cast<uint16_t>(code.Origin() + code.Bytes().size() - 1));
  if (format == DemoFormat::ROM) return;
  const uint16_t isr = code.AddressOf("isr");
  if (isr == 0) {
    errors.push_back(file + ": no interrupt routine");
    return;
  }
  At(INTERRUPT_JUMP) = 0xC3;  // JP isr
  At(INTERRUPT_JUMP + 1) = static_cast<uint8_t>(isr);
  At(INTERRUPT_JUMP + 2) = static_cast<uint8_t>(isr >> 8);
  codeRanges.emplace_back(INTERRUPT_JUMP, INTERRUPT_JUMP + 2);
}

DemoProgram NewRamProgram(const std::string& file, DemoFormat format, bool is128K,
                          const std::string& description) {
  DemoProgram program;
  program.file = file;
  program.description = description;
  program.format = format;
  program.is128K = is128K;
  program.memory.assign(is128K ? 8 * 16384 : 49152, 0);
  // Bank 7 at 0xC000 so that both screens can be drawn; the screen shown is bank 5.
  program.paging = is128K ? 0x07 : 0;
  // With IM 2 the bus byte picks the vector; 0xFF on a Spectrum, but any byte must work.
  for (int k = 0; k <= 256; ++k) program.At(static_cast<uint16_t>(VECTOR_TABLE + k)) = 0xBF;
  return program;
}

void EmitInterruptSetup(CZ80Assembler& a) {
  using enum R8;
  using enum R16;
  a.DI();
  a.LD(SP, STACK_TOP);
  a.LD(A, VECTOR_TABLE >> 8);
  a.LD_I_A();
  a.IM(2);
}

std::vector<uint8_t> LineAddressTable() {
  std::vector<uint8_t> table;
  for (int line = 0; line < 192; ++line) {
    const uint32_t address = 0x4000 + DisplayLineOffset(line);
    table.push_back(static_cast<uint8_t>(address));
    table.push_back(static_cast<uint8_t>(address >> 8));
  }
  return table;
}

std::vector<DemoProgram> DemoPrograms() {
  return {MarqueeProgram(), PlasmaProgram(), StarfieldProgram(), BouncingBallsProgram(),
          ROMDemoProgram()};
}

void PokeProgram(CSpeccy& machine, const DemoProgram& program) {
  machine.Reset();
  if (program.format == DemoFormat::ROM) {
    machine.SetVariant(1);  // a ROM image runs as a 48K machine
    uint8_t* rom = machine.CustomROM();
    std::memcpy(rom, program.memory.data(), std::min<size_t>(program.memory.size(), 16384));
    machine.MapROM(rom);
    return;  // the reset left the processor at 0x0000
  }
  if (program.is128K) {
    auto& machine128 = static_cast<CSpeccy128&>(machine);
    machine.MakeContextCurrent();
    machine.PortWrite(0x7FFD, program.paging);
    machine.SaveContext();
    for (int bank = 0; bank < 8; ++bank)
      std::memcpy(machine128.Bank(bank), &program.memory[bank * 16384], 16384);
  } else {
    machine.SetVariant(1);
    for (uint32_t address = 0x4000; address <= 0xFFFF; ++address)
      *machine.MemoryPointer(static_cast<uint16_t>(address)) = program.memory[address - 0x4000];
  }
  machine.MakeContextCurrent();
  Z80SetRegister(REG_PC, program.pc);
  Z80SetRegister(REG_SP, program.sp);
  Z80SetRegister(REG_IR, static_cast<uint16_t>(program.i << 8));
  Z80SetRegister(REG_IM, program.im);
  Z80SetRegister(REG_IFF1, program.iff);
  Z80SetRegister(REG_IFF2, program.iff);
  Z80SetRegister(REG_HALT, 0);
  machine.SaveContext();
  machine.SetPortFE(static_cast<uint8_t>((machine.PortFE() & ~7) | (program.border & 7)));
}
