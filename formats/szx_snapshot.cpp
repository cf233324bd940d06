// SZX snapshots: an 8-byte header and self-describing blocks. Five blocks are used (creator,
// processor registers, Spectrum registers, RAM pages, AY chip); the others are skipped.
#include <cstdio>
#include <cstring>

#include "base/inflate.h"
#include "base/log.h"
#include "emulation/ay_chip.h"
#include "emulation/machine_loader.h"
#include "emulation/z80.h"
#include "formats/little_endian.h"
#include "formats/readers.h"
#include "formats/result_code.h"

namespace {

constexpr uint32_t HEADER_SIZE = 8;
constexpr uint32_t BLOCK_HEADER = 8;
constexpr uint32_t MAX_BLOCK = 0x100000;
constexpr uint32_t PAGE_SIZE = 16384;

// Smallest data of each block that the reader uses.
constexpr uint32_t Z80R_SIZE = 29;
constexpr uint32_t SPCR_SIZE = 4;
constexpr uint32_t RAMP_HEADER = 3;
constexpr uint32_t AY_SIZE = 18;

// The machine ids this program has a model for; SPECTRUM_UNKNOWN for the others.
int32_t ModelOf(uint8_t machineId) {
  switch (machineId) {
    case 0: return SPECTRUM_16;
    case 1: return SPECTRUM_48;
    case 2: return SPECTRUM_128;
    case 3: return SPECTRUM_PLUS2;
    case 7: return SPECTRUM_PENTAGON;
    default: return SPECTRUM_UNKNOWN;
  }
}

// One block: checked alone (no machine; `model` is the snapshot's), or read into `machine`.
int32_t ReadBlock(CMachineLoader* machine, int32_t model, const ByteView& file, uint32_t offset) {
  if (file.Remaining(offset) <= BLOCK_HEADER) return GX_BAD_SNAPSHOT;
  const uint32_t size = file.U32(offset + 4);
  if (size > MAX_BLOCK || !file.Fits(offset + uint64_t{BLOCK_HEADER}, size)) return GX_BAD_SNAPSHOT;
  char id[5] = {};
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = file.U8(offset + i);
    if (c != 0 && (c < 32 || c > 127)) return GX_BAD_SNAPSHOT;
    id[i] = static_cast<char>(c);
  }
  const uint8_t* block = file.Data() + offset;
  const ByteView data = file.Sub(offset + BLOCK_HEADER, size);
  const bool is48 = model == SPECTRUM_16 || model == SPECTRUM_48;
  if (std::strcmp(id, "Z80R") == 0 && size < Z80R_SIZE) return GX_BAD_SNAPSHOT;
  if (std::strcmp(id, "SPCR") == 0 && size < SPCR_SIZE) return GX_BAD_SNAPSHOT;
  if (std::strcmp(id, "AY") == 0 && size < AY_SIZE) return GX_BAD_SNAPSHOT;
  if (std::strcmp(id, "RAMP") == 0) {
    if (size < RAMP_HEADER) return GX_BAD_SNAPSHOT;
    // A 48K snapshot has the banks at 0x4000, 0x8000 and 0xC000 only, a 128K one banks 0-7.
    const uint8_t bank = data.U8(2);
    if (bank > 7 || (is48 && bank != 5 && bank != 2 && bank != 0)) return GX_UNSUPPORTED_HARDWARE;
    if (!(data.U16(0) & 1) && size - RAMP_HEADER < PAGE_SIZE) return GX_BAD_SNAPSHOT;
  }
  if (!machine) return GX_NONE;

  if (std::strcmp(id, "CRTR") == 0) {
    char name[64] = {};
    for (uint32_t i = 0; i < sizeof name - 1 && i < size && data.U8(i); ++i) name[i] = static_cast<char>(data.U8(i));
    machine->SetSnapshotCreator(name);
  } else if (std::strcmp(id, "Z80R") == 0) {
    machine->MakeContextCurrent();
    Z80SetRegister(REG_AF, data.U16(0));
    Z80SetRegister(REG_BC, data.U16(2));
    Z80SetRegister(REG_DE, data.U16(4));
    Z80SetRegister(REG_HL, data.U16(6));
    Z80SetRegister(REG_IX, data.U16(16));
    Z80SetRegister(REG_IY, data.U16(18));
    Z80SetRegister(REG_PC, data.U16(22));
    Z80SetRegister(REG_SP, data.U16(20));
    Z80SetRegister(REG_AF2, data.U16(8));
    Z80SetRegister(REG_BC2, data.U16(10));
    Z80SetRegister(REG_DE2, data.U16(12));
    Z80SetRegister(REG_HL2, data.U16(14));
    Z80SetRegister(REG_IFF1, data.U8(26));
    Z80SetRegister(REG_IFF2, data.U8(27));
    Z80SetRegister(REG_IR, static_cast<uint16_t>(data.U8(24) << 8 | data.U8(25)));
    Z80SetRegister(REG_IM, data.U8(28));
  } else if (std::strcmp(id, "SPCR") == 0) {
    // The border colour is chBorder's; the last ULA write (chFe) gives the speaker and MIC bits.
    machine->SetPortFE(static_cast<uint8_t>((data.U8(3) & 0xF8) | (data.U8(0) & 7)));
    machine->ApplyPagingBlock(block);
  } else if (std::strcmp(id, "RAMP") == 0) {
    // The machine maps 128K bank numbers; in its 48K mode bank 0 is the RAM at 0xC000.
    uint8_t* page = machine->RamBankPointer(data.U8(2));
    if (!page) return GX_UNSUPPORTED_HARDWARE;
    const uint8_t* pageData = data.Data() + RAMP_HEADER;
    if (data.U16(0) & 1) {
      // A damaged stream leaves what it gave.
      InflateInto(pageData, size - RAMP_HEADER, page, PAGE_SIZE);
    } else {
      std::memcpy(page, pageData, PAGE_SIZE);
    }
  } else if (std::strcmp(id, "AY") == 0) {
    const uint8_t flags = data.U8(0);
    if (flags & 1) {
      machine->AttachHardware(HARDWARE_FULLER, true);
      if (CAYChip* chip = machine->FullerChip()) {
        chip->SelectRegister(data.U8(1));
        for (int r = 0; r < 16; ++r) chip->WriteRegister(static_cast<uint8_t>(r), data.U8(2 + r));
      }
    }
    if (flags & 2) machine->ApplyAYBlock(block);
  } else {
    char line[80];
    std::snprintf(line, sizeof line, "SZX: Skipping unhandled block type of 0x%0x (%s)", file.U32(offset), id);
    WriteLog(line);
  }
  return GX_NONE;
}

}  // namespace

int32_t ReadSZX(CMachineLoader& machine, const uint8_t* data, uint32_t size) {
  const ByteView file(data, size);
  if (size < HEADER_SIZE || std::memcmp(data, "ZXST", 4) != 0) return GX_BAD_SNAPSHOT;
  const uint8_t machineId = file.U8(6);
  const int32_t model = ModelOf(machineId);
  if (model == SPECTRUM_UNKNOWN || !machine.Supports(model)) return GX_UNSUPPORTED_HARDWARE;
  char line[64];
  std::snprintf(line, sizeof line, "SZX: version %d.%d. Machine id = %d", file.U8(4), file.U8(5), machineId);
  WriteLog(line);

  // Every block is checked before the machine is touched. Fewer than 8 trailing bytes are not a
  // block and are not read.
  for (const bool load : {false, true}) {
    if (load) {
      machine.PrepareForLoad();
      machine.SetVariant(model);
      machine.MakeContextCurrent();
    }
    uint32_t offset = HEADER_SIZE;
    while (file.Remaining(offset) >= BLOCK_HEADER) {
      if (const int32_t result = ReadBlock(load ? &machine : nullptr, model, file, offset); result != GX_NONE)
        return result;
      offset += BLOCK_HEADER + file.U32(offset + 4);  // checked to fit
    }
  }
  machine.SaveContext();
  return GX_NONE;
}
