// SNA snapshots: a 27-byte register header and the 48K RAM image. The program counter is not in
// the header; it sits on the stack, where the snapshot's taker pushed it. The 128K variant
// follows the 48K image with PC, the paging latch and the other RAM banks.
#include <cstring>

#include "base/log.h"
#include "emulation/machine_loader.h"
#include "emulation/z80.h"
#include "formats/little_endian.h"
#include "formats/readers.h"
#include "formats/result_code.h"

namespace {

constexpr uint32_t HEADER_SIZE = 27;
constexpr uint32_t BANK_SIZE = 16384;
constexpr uint32_t IMAGE_SIZE = 3 * BANK_SIZE;
// 128K: banks 5 and 2, the bank paged at 0xC000 (even when that is 5 or 2), PC, the latch and
// the TR-DOS flag, then the other banks in ascending order, skipping 5, 2 and the paged one.
constexpr uint32_t EXTRA_OFFSET = HEADER_SIZE + IMAGE_SIZE;
constexpr uint32_t LATER_BANKS = EXTRA_OFFSET + 4;
constexpr uint32_t SNA128_SIZE = LATER_BANKS + 5 * BANK_SIZE;       // paged bank 0, 1, 3, 4, 6 or 7
constexpr uint32_t SNA128_LONG_SIZE = LATER_BANKS + 6 * BANK_SIZE;  // paged bank 5 or 2

void SetRegisters(const ByteView& file) {
  const uint16_t iff = (file.U8(19) & 0x04) ? 1 : 0;
  Z80SetRegister(REG_AF, file.U16(21));
  Z80SetRegister(REG_BC, file.U16(13));
  Z80SetRegister(REG_DE, file.U16(11));
  Z80SetRegister(REG_HL, file.U16(9));
  Z80SetRegister(REG_IX, file.U16(17));
  Z80SetRegister(REG_IY, file.U16(15));
  Z80SetRegister(REG_AF2, file.U16(7));
  Z80SetRegister(REG_BC2, file.U16(5));
  Z80SetRegister(REG_DE2, file.U16(3));
  Z80SetRegister(REG_HL2, file.U16(1));
  Z80SetRegister(REG_IFF1, iff);
  Z80SetRegister(REG_IFF2, iff);
  Z80SetRegister(REG_IR, static_cast<uint16_t>(file.U8(0) << 8 | file.U8(20)));
  Z80SetRegister(REG_IM, file.U8(25));
}

void SetBorder(CMachineLoader& machine, const ByteView& file) {
  machine.SetPortFE(static_cast<uint8_t>((machine.PortFE() & ~7) | (file.U8(26) & 7)));
}

int32_t Read128K(CMachineLoader& machine, const ByteView& file) {
  // The file does not name its model: a 128K-class machine keeps its own, a 48K mode becomes 128K.
  const int32_t current = machine.GetModel();
  const int32_t model = current == SPECTRUM_PLUS2 || current == SPECTRUM_PENTAGON ? current : SPECTRUM_128;
  if (!machine.Supports(model)) return GX_NOT_SUPPORTED;
  const uint8_t latch = file.U8(EXTRA_OFFSET + 2);
  const int paged = latch & 7;
  const bool pagedTwice = paged == 5 || paged == 2;
  if (file.Size() != (pagedTwice ? SNA128_LONG_SIZE : SNA128_SIZE)) return GX_BAD_SNAPSHOT;
  if (file.U8(EXTRA_OFFSET + 3)) WriteLog("SNA: the TR-DOS ROM was paged in; starting in the 128K ROM");

  machine.PrepareForLoad();
  if (!machine.SetVariant(model)) return GX_UNSUPPORTED_HARDWARE;
  machine.MakeContextCurrent();
  const uint8_t* data = file.Data();
  std::memcpy(machine.RamBankPointer(5), data + HEADER_SIZE, BANK_SIZE);
  std::memcpy(machine.RamBankPointer(2), data + HEADER_SIZE + BANK_SIZE, BANK_SIZE);
  // When the paged bank is 5 or 2 this copy and the one above hold the same bank.
  std::memcpy(machine.RamBankPointer(paged), data + HEADER_SIZE + 2 * BANK_SIZE, BANK_SIZE);
  uint32_t offset = LATER_BANKS;
  for (int bank = 0; bank < 8; ++bank) {
    if (bank == 5 || bank == 2 || bank == paged) continue;
    std::memcpy(machine.RamBankPointer(bank), data + offset, BANK_SIZE);
    offset += BANK_SIZE;
  }
  machine.SetPagingLatch(latch);
  SetRegisters(file);
  Z80SetRegister(REG_PC, file.U16(EXTRA_OFFSET));
  Z80SetRegister(REG_SP, file.U16(23));
  machine.SaveContext();
  SetBorder(machine, file);
  return GX_NONE;
}

}  // namespace

int32_t ReadSNA(CMachineLoader& machine, const uint8_t* data, uint32_t size) {
  const ByteView file(data, size);
  if (size == SNA128_SIZE || size == SNA128_LONG_SIZE) return Read128K(machine, file);
  // Longer files are taken: what follows the 48K image is not read.
  if (size < EXTRA_OFFSET) return GX_SNAPSHOT_BAD_SIZE;
  if (!machine.Supports(SPECTRUM_48)) return GX_UNSUPPORTED_HARDWARE;

  machine.PrepareForLoad();
  machine.SetVariant(SPECTRUM_48);
  machine.MakeContextCurrent();
  machine.Load48KImage(data + HEADER_SIZE);

  // Through the memory map, so a stack pointer in the ROM area reads the ROM.
  const uint16_t sp = file.U16(23);
  const uint16_t pc = static_cast<uint16_t>(*machine.MemoryPointer(sp) |
                                            (*machine.MemoryPointer(static_cast<uint16_t>(sp + 1)) << 8));
  SetRegisters(file);
  Z80SetRegister(REG_PC, pc);
  Z80SetRegister(REG_SP, static_cast<uint16_t>(sp + 2));
  machine.SaveContext();
  SetBorder(machine, file);
  return GX_NONE;
}
