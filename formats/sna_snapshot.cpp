// SNA snapshots: a 27-byte register header and the 48K RAM image. The program counter is not in
// the header; it sits on the stack, where the snapshot's taker pushed it.
#include "emulation/machine_loader.h"
#include "emulation/z80.h"
#include "formats/little_endian.h"
#include "formats/readers.h"
#include "formats/result_code.h"

namespace {

constexpr uint32_t HEADER_SIZE = 27;
constexpr uint32_t IMAGE_SIZE = 49152;
// The 128K variant: the 48K image, PC and the paging byte, then the other five (or six) banks.
// Its PC is not on the stack, so read as a 48K file it would start anywhere.
constexpr uint32_t SNA128_SIZES[] = {131103, 147487};

}  // namespace

int32_t ReadSNA(CMachineLoader& machine, const uint8_t* data, uint32_t size) {
  const ByteView file(data, size);
  if (size < HEADER_SIZE) return GX_SNAPSHOT_BAD_SIZE;
  if (!machine.SetVariant(SPECTRUM_48)) return GX_UNSUPPORTED_HARDWARE;
  // Longer files are taken: what follows the 48K image is not read.
  if (size < HEADER_SIZE + IMAGE_SIZE) return GX_SNAPSHOT_BAD_SIZE;
  for (const uint32_t size128 : SNA128_SIZES)
    if (size == size128) return GX_NOT_SUPPORTED;

  machine.MakeContextCurrent();
  machine.Load48KImage(data + HEADER_SIZE);

  // Through the memory map, so a stack pointer in the ROM area reads the ROM.
  const uint16_t sp = file.U16(23);
  const uint16_t pc = static_cast<uint16_t>(*machine.MemoryPointer(sp) |
                                            (*machine.MemoryPointer(static_cast<uint16_t>(sp + 1)) << 8));
  const uint16_t iff = (file.U8(19) & 0x04) ? 1 : 0;

  Z80SetRegister(REG_AF, file.U16(21));
  Z80SetRegister(REG_BC, file.U16(13));
  Z80SetRegister(REG_DE, file.U16(11));
  Z80SetRegister(REG_HL, file.U16(9));
  Z80SetRegister(REG_IX, file.U16(17));
  Z80SetRegister(REG_IY, file.U16(15));
  Z80SetRegister(REG_PC, pc);
  Z80SetRegister(REG_SP, static_cast<uint16_t>(sp + 2));
  Z80SetRegister(REG_AF2, file.U16(7));
  Z80SetRegister(REG_BC2, file.U16(5));
  Z80SetRegister(REG_DE2, file.U16(3));
  Z80SetRegister(REG_HL2, file.U16(1));
  Z80SetRegister(REG_IFF1, iff);
  Z80SetRegister(REG_IFF2, iff);
  Z80SetRegister(REG_IR, static_cast<uint16_t>(file.U8(0) << 8 | file.U8(20)));
  Z80SetRegister(REG_IM, file.U8(25));
  machine.SaveContext();

  machine.SetPortFE(static_cast<uint8_t>((machine.PortFE() & ~7) | (file.U8(26) & 7)));
  return GX_NONE;
}
