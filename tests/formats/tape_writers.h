// Small writers of our own for test tapes, from the published layouts: ROM-format blocks
// (a flag byte, the data, an XOR checksum), headers, tokenised BASIC lines, and .tap and .tzx
// files built block by block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/formats/snapshot_writers.h"

// A ROM-format block: flag byte, data, XOR of both.
inline Bytes RomBlock(uint8_t flag, const Bytes& data) {
  Bytes block = {flag};
  block.insert(block.end(), data.begin(), data.end());
  uint8_t sum = 0;
  for (const uint8_t b : block) sum ^= b;
  block.push_back(sum);
  return block;
}

// A header block: type (0 program, 3 bytes), a 10-character name, length and two parameters
// (program: autostart line and program length; bytes: start address and 32768).
inline Bytes HeaderBlock(uint8_t type, const std::string& name, uint16_t length, uint16_t first, uint16_t second) {
  Bytes data = {type};
  for (size_t k = 0; k < 10; ++k) data.push_back(static_cast<uint8_t>(k < name.size() ? name[k] : ' '));
  Put16(data, length);
  Put16(data, first);
  Put16(data, second);
  return RomBlock(0x00, data);
}

// BASIC keywords as tokens, and numbers with their hidden five-byte form.
namespace basic {
constexpr uint8_t AT = 0xAC, SCREEN = 0xAA, CODE = 0xAF, USR = 0xC0, LOAD = 0xEF, POKE = 0xF4, PRINT = 0xF5,
                  RANDOMIZE = 0xF9;
inline Bytes Number(uint16_t value) {
  Bytes out;
  for (const char c : std::to_string(value)) out.push_back(static_cast<uint8_t>(c));
  out.insert(out.end(), {0x0E, 0, 0, static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), 0});
  return out;
}
inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
inline Bytes Line(uint16_t number, const std::vector<Bytes>& parts) {
  Bytes body;
  for (const Bytes& part : parts) body.insert(body.end(), part.begin(), part.end());
  body.push_back(0x0D);
  Bytes line = {static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number)};
  Put16(line, static_cast<uint32_t>(body.size()));
  line.insert(line.end(), body.begin(), body.end());
  return line;
}
}  // namespace basic

// A program's header and data blocks, starting itself at `line`.
inline std::vector<Bytes> ProgramBlocks(const Bytes& program, uint16_t line) {
  return {HeaderBlock(0, "test", static_cast<uint16_t>(program.size()), line, static_cast<uint16_t>(program.size())),
          RomBlock(0xFF, program)};
}
inline std::vector<Bytes> CodeBlocks(const std::string& name, const Bytes& code, uint16_t start) {
  return {HeaderBlock(3, name, static_cast<uint16_t>(code.size()), start, 32768), RomBlock(0xFF, code)};
}

inline Bytes TapFile(const std::vector<Bytes>& blocks) {
  Bytes out;
  for (const Bytes& block : blocks) {
    Put16(out, static_cast<uint32_t>(block.size()));
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}

inline Bytes TzxHeader() { return {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20}; }

inline void Put24(Bytes& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  out.push_back(static_cast<uint8_t>(value >> 16));
}

// 0x10: a block at the ROM's speed, then `pause` ms of silence.
inline void AddStandard(Bytes& tzx, const Bytes& block, uint16_t pause = 1000) {
  tzx.push_back(0x10);
  Put16(tzx, pause);
  Put16(tzx, static_cast<uint32_t>(block.size()));
  tzx.insert(tzx.end(), block.begin(), block.end());
}

// 0x11: a block at timings of its own.
struct Turbo {
  uint16_t pilot = 2168, sync1 = 667, sync2 = 735, zero = 855, one = 1710, pilotPulses = 3223;
  uint8_t lastBits = 8;
  uint16_t pause = 1000;
};
inline void AddTurbo(Bytes& tzx, const Turbo& t, const Bytes& data) {
  tzx.push_back(0x11);
  for (const uint16_t v : {t.pilot, t.sync1, t.sync2, t.zero, t.one, t.pilotPulses}) Put16(tzx, v);
  tzx.push_back(t.lastBits);
  Put16(tzx, t.pause);
  Put24(tzx, static_cast<uint32_t>(data.size()));
  tzx.insert(tzx.end(), data.begin(), data.end());
}

// Any other block: its ID and body as they are.
inline void AddBlock(Bytes& tzx, uint8_t id, const Bytes& body) {
  tzx.push_back(id);
  tzx.insert(tzx.end(), body.begin(), body.end());
}
