// Z80 snapshots, versions 1 to 3: registers, RAM pages (ED ED run-length compressed or stored),
// border, 128K paging, AY registers and the attached joystick or sound box.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/log.h"
#include "emulation/machine_loader.h"
#include "emulation/z80.h"
#include "formats/little_endian.h"
#include "formats/readers.h"
#include "formats/result_code.h"

namespace {

constexpr uint32_t MAIN_HEADER = 30;
constexpr uint32_t V2_MIN_SIZE = 88;
constexpr uint32_t PAGE_SIZE = 16384;
constexpr uint32_t IMAGE_SIZE = 3 * PAGE_SIZE;
constexpr uint16_t STORED_PAGE = 0xFFFF;

// ED ED nn bb is nn copies of bb; any other byte stands for itself. A run is only taken whole,
// and one that would overfill the output ends the decoding there.
uint32_t Decode(const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t capacity) {
  uint32_t i = 0, o = 0;
  while (i < inLength && o < capacity) {
    if (inLength - i >= 4 && in[i] == 0xED && in[i + 1] == 0xED) {
      const uint32_t count = in[i + 2];
      if (o + count > capacity) break;
      std::memset(out + o, in[i + 3], count);
      o += count;
      i += 4;
    } else {
      out[o++] = in[i++];
    }
  }
  return o;
}

// Model from the hardware number; SPECTRUM_UNKNOWN for a machine this program does not have.
int32_t ModelOf(uint8_t hardware, int version, bool modified) {
  switch (hardware) {
    case 0:
    case 1: return modified ? SPECTRUM_16 : SPECTRUM_48;
    case 3: return version == 2 ? (modified ? SPECTRUM_PLUS2 : SPECTRUM_128) : SPECTRUM_UNKNOWN;
    case 4: return modified ? SPECTRUM_PLUS2 : SPECTRUM_128;
    case 5: return version == 3 ? (modified ? SPECTRUM_PLUS2 : SPECTRUM_128) : SPECTRUM_UNKNOWN;
    case 12: return SPECTRUM_PLUS2;
    default: return SPECTRUM_UNKNOWN;
  }
}

void SetBorder(CMachineLoader& machine, uint8_t flags) {
  machine.SetPortFE(static_cast<uint8_t>((machine.PortFE() & ~7) | ((flags >> 1) & 7)));
}

int32_t ReadVersion1(CMachineLoader& machine, const ByteView& file, uint8_t flags) {
  WriteLog("Z80 Snapshot: Version 1");
  if (!machine.SetVariant(SPECTRUM_48)) return GX_UNSUPPORTED_HARDWARE;
  machine.MakeContextCurrent();

  uint32_t length = file.Size() - MAIN_HEADER;
  if (length > IMAGE_SIZE) {
    WriteLog("Z80: Truncating Z80 V1 memory dump to 48K");
    length = IMAGE_SIZE;
  }
  // What the file does not cover keeps the memory it had.
  std::vector<uint8_t> image(IMAGE_SIZE);
  for (uint32_t i = 0; i < IMAGE_SIZE; ++i) image[i] = *machine.MemoryPointer(static_cast<uint16_t>(0x4000 + i));
  const uint8_t* memory = file.Data() + MAIN_HEADER;
  if (flags & 0x20)
    Decode(memory, length, image.data(), IMAGE_SIZE);
  else
    std::memcpy(image.data(), memory, length);
  machine.Load48KImage(image.data());

  SetBorder(machine, flags);
  return GX_NONE;
}

int32_t ReadVersion2(CMachineLoader& machine, const ByteView& file, uint8_t flags) {
  if (file.Size() < V2_MIN_SIZE) return GX_SNAPSHOT_BAD_SIZE;
  const uint16_t extra = file.U16(30);
  const int version = (extra == 54 || extra == 55) ? 3 : 2;
  const uint8_t hardware = file.U8(34);
  const uint8_t hardwareFlags = file.U8(37);
  char line[64];
  std::snprintf(line, sizeof line, "Z80 Snapshot: Version: %d, Hardware: %d", version, hardware);
  WriteLog(line);

  const int32_t model = ModelOf(hardware, version, (hardwareFlags & 0x80) != 0);
  if (model == SPECTRUM_UNKNOWN || !machine.SetVariant(model)) return GX_UNSUPPORTED_HARDWARE;
  machine.MakeContextCurrent();
  if ((hardwareFlags & 0x44) == 0x44) machine.AttachHardware(HARDWARE_FULLER, true);
  Z80SetRegister(REG_PC, file.U16(32));

  uint64_t offset = MAIN_HEADER + 2 + uint64_t{extra};
  if (offset > file.Size()) return GX_BAD_SNAPSHOT;
  while (offset < file.Size()) {
    if (!file.Fits(offset, 3)) return GX_BAD_SNAPSHOT;  // a block header cut short
    const uint16_t length = file.U16(offset);
    const uint8_t page = file.U8(offset + 2);
    offset += 3;
    if (page >= 11) return GX_NOT_SUPPORTED;
    uint8_t* destination = machine.SnapshotPagePointer(page);
    if (length == STORED_PAGE) {
      if (!file.Fits(offset, PAGE_SIZE)) return GX_BAD_SNAPSHOT;
      std::memcpy(destination, file.Data() + offset, PAGE_SIZE);
      offset += PAGE_SIZE;
    } else {
      if (!file.Fits(offset, length)) return GX_BAD_SNAPSHOT;
      // Data that decode to more than a page fill it; the block's stated length moves on.
      Decode(file.Data() + offset, length, destination, PAGE_SIZE);
      offset += length;
    }
  }

  SetBorder(machine, flags);
  machine.ApplyZ80HardwareState(file.Data());
  return GX_NONE;
}

}  // namespace

int32_t ReadZ80(CMachineLoader& machine, const uint8_t* data, uint32_t size) {
  const ByteView file(data, size);
  if (size < MAIN_HEADER) return GX_SNAPSHOT_BAD_SIZE;
  // Some old writers stored 255 here; it means R bit 7 set and nothing else.
  uint8_t flags = file.U8(12);
  if (flags == 255) flags = 1;

  machine.MakeContextCurrent();
  const uint16_t pc = file.U16(6);
  Z80SetRegister(REG_AF, static_cast<uint16_t>(file.U8(0) << 8 | file.U8(1)));
  Z80SetRegister(REG_BC, file.U16(2));
  Z80SetRegister(REG_DE, file.U16(13));
  Z80SetRegister(REG_HL, file.U16(4));
  Z80SetRegister(REG_IX, file.U16(25));
  Z80SetRegister(REG_IY, file.U16(23));
  Z80SetRegister(REG_PC, pc);
  Z80SetRegister(REG_SP, file.U16(8));
  Z80SetRegister(REG_AF2, static_cast<uint16_t>(file.U8(21) << 8 | file.U8(22)));
  Z80SetRegister(REG_BC2, file.U16(15));
  Z80SetRegister(REG_DE2, file.U16(17));
  Z80SetRegister(REG_HL2, file.U16(19));
  Z80SetRegister(REG_IR, static_cast<uint16_t>(file.U8(10) << 8 | (file.U8(11) & 0x7F) | (flags & 1) << 7));
  Z80SetRegister(REG_IM, file.U8(29) & 3);
  Z80SetRegister(REG_IFF1, file.U8(27) ? 1 : 0);
  Z80SetRegister(REG_IFF2, file.U8(28) ? 1 : 0);
  if ((file.U8(29) >> 6) == 1) machine.AttachHardware(HARDWARE_KEMPSTON, true);

  const int32_t result = pc == 0 ? ReadVersion2(machine, file, flags) : ReadVersion1(machine, file, flags);
  // A failed load keeps what was set, in the machine's own context.
  machine.SaveContext();
  return result;
}
