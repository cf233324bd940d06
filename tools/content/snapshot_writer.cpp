// Snapshot files of the demo programs, written field by field in little-endian order.
#include "tools/content/snapshot_writer.h"

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

std::vector<uint8_t> ProgramFile(const DemoProgram& program) {
  switch (program.format) {
    case DemoFormat::SNA:
      return WriteSNA(program);
    case DemoFormat::Z80_V1:
      return WriteZ80Version1(program);
    case DemoFormat::Z80_V3:
      return WriteZ80Version3(program);
    case DemoFormat::ROM:
      return program.memory;
  }
  return {};
}
