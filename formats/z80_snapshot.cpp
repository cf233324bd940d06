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
    case 9: return SPECTRUM_PENTAGON;
    case 12: return SPECTRUM_PLUS2;
    default: return SPECTRUM_UNKNOWN;
  }
}

// A snapshot of version 1: the 48K image, run-length compressed or stored.
void ReadVersion1(CMachineLoader& machine, const ByteView& file, uint8_t flags) {
  const uint32_t length = file.Size() - MAIN_HEADER;
  // What the file does not cover keeps the memory it had.
  std::vector<uint8_t> image(IMAGE_SIZE);
  for (uint32_t i = 0; i < IMAGE_SIZE; ++i) image[i] = *machine.MemoryPointer(static_cast<uint16_t>(0x4000 + i));
  const uint8_t* memory = file.Data() + MAIN_HEADER;
  if (flags & 0x20) {
    // Compressed data may well be longer than the image it codes: the output is what is bounded.
    Decode(memory, length, image.data(), IMAGE_SIZE);
  } else {
    if (length > IMAGE_SIZE) WriteLog("Z80: Truncating Z80 V1 memory dump to 48K");
    std::memcpy(image.data(), memory, std::min(length, IMAGE_SIZE));
  }
  machine.Load48KImage(image.data());
}

// The page blocks of a version 2 or 3 file from `offset`: checked alone (no machine), or loaded
// into `machine`. Damage after the last page the model needs costs nothing: what follows is
// logged and left.
int32_t WalkPages(CMachineLoader* machine, const ByteView& file, int32_t model, uint64_t offset) {
  const uint32_t needed = model == SPECTRUM_16 ? 1u << 8 : model == SPECTRUM_48 ? (1u << 4 | 1u << 5 | 1u << 8) : 0x7F8u;
  uint32_t seen = 0;
  const auto complete = [&] { return (seen & needed) == needed; };
  const auto note = [&](const char* format, uint32_t count) {
    if (!machine) return;
    char line[80];
    std::snprintf(line, sizeof line, format, count);
    WriteLog(line);
  };
  while (offset < file.Size()) {
    const uint16_t length = file.U16(offset);
    const uint8_t page = file.U8(offset + 2);
    if (!file.Fits(offset, 3) || page >= 11) {
      if (!complete()) return file.Fits(offset, 3) ? GX_NOT_SUPPORTED : GX_BAD_SNAPSHOT;
      note("Z80: %u bytes after the last block ignored", file.Remaining(offset));
      break;
    }
    offset += 3;
    const uint32_t stated = length == STORED_PAGE ? PAGE_SIZE : length;
    const uint32_t present = std::min(stated, file.Remaining(offset));
    // A last block cut short: what it holds is loaded, and counts if nothing else is missing.
    if (present < stated) note("Z80: the last block is %u bytes short", stated - present);
    if (machine) {
      uint8_t* destination = machine->SnapshotPagePointer(page);
      if (length == STORED_PAGE)
        std::memcpy(destination, file.Data() + offset, present);
      else
        // Data that decode to more than a page fill it; the block's stated length moves on.
        Decode(file.Data() + offset, present, destination, PAGE_SIZE);
    }
    seen |= 1u << page;
    if (present < stated && !complete()) return GX_BAD_SNAPSHOT;
    offset += stated;
  }
  return GX_NONE;
}

void SetRegisters(const ByteView& file, uint8_t flags) {
  Z80SetRegister(REG_AF, static_cast<uint16_t>(file.U8(0) << 8 | file.U8(1)));
  Z80SetRegister(REG_BC, file.U16(2));
  Z80SetRegister(REG_DE, file.U16(13));
  Z80SetRegister(REG_HL, file.U16(4));
  Z80SetRegister(REG_IX, file.U16(25));
  Z80SetRegister(REG_IY, file.U16(23));
  Z80SetRegister(REG_PC, file.U16(6));
  Z80SetRegister(REG_SP, file.U16(8));
  Z80SetRegister(REG_AF2, static_cast<uint16_t>(file.U8(21) << 8 | file.U8(22)));
  Z80SetRegister(REG_BC2, file.U16(15));
  Z80SetRegister(REG_DE2, file.U16(17));
  Z80SetRegister(REG_HL2, file.U16(19));
  Z80SetRegister(REG_IR, static_cast<uint16_t>(file.U8(10) << 8 | (file.U8(11) & 0x7F) | (flags & 1) << 7));
  Z80SetRegister(REG_IM, file.U8(29) & 3);
  Z80SetRegister(REG_IFF1, file.U8(27) ? 1 : 0);
  Z80SetRegister(REG_IFF2, file.U8(28) ? 1 : 0);
}

}  // namespace

int32_t ReadZ80(CMachineLoader& machine, const uint8_t* data, uint32_t size) {
  const ByteView file(data, size);
  if (size < MAIN_HEADER) return GX_SNAPSHOT_BAD_SIZE;
  // Some old writers stored 255 here; it means R bit 7 set and nothing else.
  uint8_t flags = file.U8(12);
  if (flags == 255) flags = 1;
  const bool version1 = file.U16(6) != 0;

  // Everything is checked before the machine is touched: a refused file leaves it as it was.
  int32_t model = SPECTRUM_48;
  uint8_t hardwareFlags = 0;
  uint64_t pages = 0;
  if (version1) {
    WriteLog("Z80 Snapshot: Version 1");
  } else {
    if (size < V2_MIN_SIZE) return GX_SNAPSHOT_BAD_SIZE;
    const uint16_t extra = file.U16(30);
    const int version = (extra == 54 || extra == 55) ? 3 : 2;
    const uint8_t hardware = file.U8(34);
    hardwareFlags = file.U8(37);
    char line[64];
    std::snprintf(line, sizeof line, "Z80 Snapshot: Version: %d, Hardware: %d", version, hardware);
    WriteLog(line);
    model = ModelOf(hardware, version, (hardwareFlags & 0x80) != 0);
    pages = MAIN_HEADER + 2 + uint64_t{extra};
    if (model != SPECTRUM_UNKNOWN && machine.Supports(model)) {
      if (pages > file.Size()) return GX_BAD_SNAPSHOT;
      if (const int32_t result = WalkPages(nullptr, file, model, pages); result != GX_NONE) return result;
    }
  }
  if (model == SPECTRUM_UNKNOWN || !machine.Supports(model)) return GX_UNSUPPORTED_HARDWARE;

  machine.PrepareForLoad();
  machine.SetVariant(model);
  machine.MakeContextCurrent();
  SetRegisters(file, flags);
  if ((file.U8(29) >> 6) == 1) machine.AttachHardware(HARDWARE_KEMPSTON, true);
  int32_t result = GX_NONE;
  if (version1) {
    ReadVersion1(machine, file, flags);
  } else {
    if ((hardwareFlags & 0x44) == 0x44) machine.AttachHardware(HARDWARE_FULLER, true);
    Z80SetRegister(REG_PC, file.U16(32));
    result = WalkPages(&machine, file, model, pages);
    machine.ApplyZ80HardwareState(file.Data());
  }
  machine.SetPortFE(static_cast<uint8_t>((machine.PortFE() & ~7) | ((flags >> 1) & 7)));
  machine.SaveContext();
  return result;
}
