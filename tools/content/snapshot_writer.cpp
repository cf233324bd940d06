// Snapshot files of the demo programs, written field by field in little-endian order.
#include "tools/content/snapshot_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "emulation/machine.h"
#include "tools/content/rzx_recorder.h"

namespace {

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

// The main .z80 header; PC 0 asks for the additional header of versions 2 and 3.
std::vector<uint8_t> Z80MainHeader(const DemoProgram& program, uint16_t pc, bool compressed) {
  std::vector<uint8_t> header(30, 0);
  Put16(header, 6, pc);
  Put16(header, 8, program.sp);
  header[10] = program.i;
  header[12] = static_cast<uint8_t>((program.border & 7) << 1 | (compressed ? 0x20 : 0));
  header[23] = header[24] = header[25] = header[26] = 0xFF;  // IY and IX as a reset leaves them
  header[27] = header[28] = program.iff ? 1 : 0;
  header[29] = program.im & 3;
  return header;
}

void Append16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Append32(std::vector<uint8_t>& out, uint32_t value) {
  Append16(out, static_cast<uint16_t>(value));
  Append16(out, static_cast<uint16_t>(value >> 16));
}

// An SZX block: a four-character id (shorter ones padded with zeros), the data's size, the data.
void AppendBlock(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& data) {
  const size_t length = std::strlen(id);
  for (size_t k = 0; k < 4; ++k) out.push_back(k < length ? static_cast<uint8_t>(id[k]) : 0);
  Append32(out, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
}

std::vector<uint8_t> Deflate(const uint8_t* data, size_t size) {
  uLongf length = compressBound(static_cast<uLong>(size));
  std::vector<uint8_t> out(length);
  if (compress2(out.data(), &length, data, static_cast<uLong>(size), Z_BEST_COMPRESSION) != Z_OK)
    return {};
  out.resize(length);
  return out;
}

}  // namespace

std::vector<uint8_t> CompressZ80(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i < size) {
    const uint8_t b = data[i];
    size_t run = 1;
    while (i + run < size && data[i + run] == b && run < 255) ++run;
    if (run >= 5 || (b == 0xED && run >= 2)) {
      out.insert(out.end(), {0xED, 0xED, static_cast<uint8_t>(run), b});
      i += run;
      continue;
    }
    out.push_back(b);
    ++i;
    // ED followed by a run marker would read as a run itself.
    if (b == 0xED && i < size) out.push_back(data[i++]);
  }
  return out;
}

std::vector<uint8_t> WriteSNA(const DemoProgram& program) {
  std::vector<uint8_t> file(27 + 49152, 0);
  // The reader pops PC from the stack: push it below SP.
  const uint16_t sp = static_cast<uint16_t>(program.sp - 2);
  file[0] = program.i;
  Put16(file, 15, 0xFFFF);  // IY
  Put16(file, 17, 0xFFFF);  // IX
  file[19] = program.iff ? 0x04 : 0x00;
  Put16(file, 23, sp);
  file[25] = program.im;
  file[26] = program.border & 7;
  std::copy(program.memory.begin(), program.memory.begin() + 49152, file.begin() + 27);
  file[27 + static_cast<uint16_t>(sp - 0x4000)] = static_cast<uint8_t>(program.pc);
  file[27 + static_cast<uint16_t>(sp + 1 - 0x4000)] = static_cast<uint8_t>(program.pc >> 8);
  return file;
}

std::vector<uint8_t> WriteZ80Version1(const DemoProgram& program) {
  std::vector<uint8_t> file = Z80MainHeader(program, program.pc, true);
  const std::vector<uint8_t> packed = CompressZ80(program.memory.data(), 49152);
  file.insert(file.end(), packed.begin(), packed.end());
  file.insert(file.end(), {0x00, 0xED, 0xED, 0x00});  // the version 1 end marker
  return file;
}

std::vector<uint8_t> WriteZ80Version3(const DemoProgram& program) {
  std::vector<uint8_t> file = Z80MainHeader(program, 0, false);
  std::vector<uint8_t> extra(2 + 54, 0);
  Put16(extra, 0, 54);  // length of what follows: version 3
  Put16(extra, 2, program.pc);
  extra[4] = program.is128K ? 4 : 0;  // hardware: 128K, or 48K
  extra[5] = program.paging;
  extra[7] = program.is128K ? 0x04 : 0x00;  // the AY chip is in use
  extra[8] = 0x07;                          // last AY register selected
  extra[9 + 7] = 0x3F;                      // mixer: all channels off
  extra[31] = extra[32] = 0xFF;             // 0x0000-0x3FFF is ROM
  file.insert(file.end(), extra.begin(), extra.end());

  // Pages 3-10 hold banks 0-7 on a 128K machine; 8, 4 and 5 hold 0x4000, 0x8000, 0xC000 on 48K.
  std::vector<std::pair<int, const uint8_t*>> pages;
  if (program.is128K) {
    for (int bank = 0; bank < 8; ++bank)
      pages.emplace_back(bank + 3, &program.memory[bank * 16384]);
  } else {
    pages = {{8, &program.memory[0]}, {4, &program.memory[16384]}, {5, &program.memory[32768]}};
  }
  for (const auto& [page, data] : pages) {
    const std::vector<uint8_t> packed = CompressZ80(data, 16384);
    const bool raw = packed.size() >= 16384;
    const uint16_t length = raw ? 0xFFFF : static_cast<uint16_t>(packed.size());
    file.insert(file.end(), {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                             static_cast<uint8_t>(page)});
    if (raw)
      file.insert(file.end(), data, data + 16384);
    else
      file.insert(file.end(), packed.begin(), packed.end());
  }
  return file;
}

std::vector<uint8_t> WriteSZX(const DemoProgram& program, bool compressed) {
  // Version 1.4; machine 1 is the 48K, 2 the 128K; no flags (ordinary timings).
  std::vector<uint8_t> file = {
      'Z', 'X', 'S', 'T', 1, 4, static_cast<uint8_t>(program.is128K ? SPECTRUM_128 : SPECTRUM_48),
      0};

  // The creator: a 32-byte name and the program's version.
  std::vector<uint8_t> creator(32, 0);
  const char name[] = "Glimmerbox demo content";
  std::memcpy(creator.data(), name, sizeof name);
  Append16(creator, 1);
  Append16(creator, 1);
  AppendBlock(file, "CRTR", creator);

  // AF BC DE HL AF' BC' DE' HL' IX IY SP PC, I R IFF1 IFF2 IM, the T-states since the
  // interrupt, how long the interrupt line is held, flags, MEMPTR.
  // IX and IY as a reset leaves them, as in the .z80 files.
  const uint16_t pairs[] = {0, 0, 0, 0, 0, 0, 0, 0, 0xFFFF, 0xFFFF, program.sp, program.pc};
  std::vector<uint8_t> registers;
  for (const uint16_t value : pairs) Append16(registers, value);
  registers.insert(registers.end(), {program.i, 0, program.iff, program.iff, program.im});
  Append32(registers, 0);
  registers.push_back(program.is128K ? 36 : 32);
  registers.push_back(0);
  Append16(registers, 0);
  AppendBlock(file, "Z80R", registers);

  // Border, the last writes to ports 7FFDh, 1FFDh and FEh, four reserved bytes.
  AppendBlock(file, "SPCR",
              {static_cast<uint8_t>(program.border & 7), program.paging, 0,
               static_cast<uint8_t>(program.border & 7), 0, 0, 0, 0});

  if (program.is128K) {
    // The 128K's own chip (flag bit 1), register 7 selected, the mixer with every channel off.
    std::vector<uint8_t> ay(18, 0);
    ay[0] = 0x02;
    ay[1] = 7;
    ay[2 + 7] = 0x3F;
    AppendBlock(file, "AY", ay);
  }

  // RAM pages by their 128K bank number; the 48K's RAM is banks 5, 2 and 0.
  std::vector<std::pair<int, const uint8_t*>> pages;
  if (program.is128K) {
    for (int bank = 0; bank < 8; ++bank) pages.emplace_back(bank, &program.memory[bank * 16384]);
  } else {
    pages = {{5, &program.memory[0]}, {2, &program.memory[16384]}, {0, &program.memory[32768]}};
  }
  std::sort(pages.begin(), pages.end());
  for (const auto& [page, data] : pages) {
    std::vector<uint8_t> block;
    Append16(block, compressed ? 1 : 0);
    block.push_back(static_cast<uint8_t>(page));
    if (compressed) {
      const std::vector<uint8_t> packed = Deflate(data, 16384);
      block.insert(block.end(), packed.begin(), packed.end());
    } else {
      block.insert(block.end(), data, data + 16384);
    }
    AppendBlock(file, "RAMP", block);
  }
  return file;
}

std::vector<uint8_t> ProgramFile(const DemoProgram& program) {
  switch (program.format) {
    case DemoFormat::SNA:
      return WriteSNA(program);
    case DemoFormat::Z80_V1:
      return WriteZ80Version1(program);
    case DemoFormat::Z80_V3:
      return WriteZ80Version3(program);
    case DemoFormat::SZX:
      return WriteSZX(program, true);
    case DemoFormat::SZX_STORED:
      return WriteSZX(program, false);
    case DemoFormat::ROM:
      return program.memory;
    case DemoFormat::RZX:
      return WriteRZX(program, RecordFrames(program));
  }
  return {};
}
