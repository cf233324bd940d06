// Small writers of our own for test files: a machine state in memory, written as .z80 (versions
// 1 and 3), .sna, .szx, and recordings (.rzx) built block by block. Shared by the tests and the
// fuzzers' seed corpus.
#pragma once

#include <algorithm>
#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "emulation/machine.h"

using Bytes = std::vector<uint8_t>;

// A machine state. RAM is kept in 128K bank numbers: the 48K and 16K models use banks 5, 2 and 0
// for 0x4000, 0x8000 and 0xC000 (the 16K model bank 5 alone).
struct MachineImage {
  int32_t model = SPECTRUM_48;
  uint16_t af = 0x1234, bc = 0x5678, de = 0x9ABC, hl = 0xDEF0, ix = 0x1357, iy = 0x2468;
  uint16_t pc = 0x8123, sp = 0xFEDC, af2 = 0x4321, bc2 = 0x8765, de2 = 0xCBA9, hl2 = 0x0FED;
  uint8_t i = 0x3F, r = 0xD5, iff1 = 1, iff2 = 1, im = 1;
  uint8_t border = 5;
  uint8_t latch = 0;  // port 0x7FFD
  uint8_t aySelected = 7;
  std::array<uint8_t, 16> ay{};
  std::array<Bytes, 8> banks;

  bool Is128() const { return model == SPECTRUM_128 || model == SPECTRUM_PLUS2 || model == SPECTRUM_PENTAGON; }
  std::vector<int> UsedBanks() const {
    if (Is128()) return {0, 1, 2, 3, 4, 5, 6, 7};
    if (model == SPECTRUM_16) return {5};
    return {5, 2, 0};
  }
  // The 48K RAM image of 0x4000-0xFFFF (48K and 16K models).
  Bytes Image48() const {
    Bytes image;
    for (int bank : {5, 2, 0}) image.insert(image.end(), banks[bank].begin(), banks[bank].end());
    return image;
  }
};

// RAM that compresses: runs of one byte between stretches of random bytes.
inline Bytes PatternBank(uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bank(16384);
  for (size_t chunk = 0; chunk < bank.size(); chunk += 256) {
    const bool run = random() % 3 != 0;
    const uint8_t value = static_cast<uint8_t>(random());
    for (size_t k = 0; k < 256; ++k) bank[chunk + k] = run ? value : static_cast<uint8_t>(random());
  }
  return bank;
}

inline MachineImage MakeImage(int32_t model, uint32_t seed) {
  MachineImage image;
  image.model = model;
  for (int bank = 0; bank < 8; ++bank) image.banks[bank] = PatternBank(seed * 8 + bank);
  if (image.Is128()) image.latch = 0x13;  // bank 3 at 0xC000, second ROM
  for (int r = 0; r < 16; ++r) image.ay[r] = static_cast<uint8_t>(r * 5 + 1);
  image.ay[7] = 0x38;
  return image;
}

inline void Put16(Bytes& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
inline void Put32(Bytes& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}
inline void Set16(Bytes& out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}
inline void Set32(Bytes& out, size_t at, uint32_t value) {
  Set16(out, at, value & 0xFFFF);
  Set16(out, at + 2, value >> 16);
}

// The .z80 run-length code: ED ED nn bb for runs of five or more (or of two EDs); a byte after a
// single ED is never the start of a run.
inline Bytes Z80Compress(const Bytes& in) {
  Bytes out;
  for (size_t i = 0; i < in.size();) {
    const uint8_t b = in[i];
    size_t run = 1;
    while (i + run < in.size() && in[i + run] == b && run < 255) ++run;
    if (run >= 5 || (b == 0xED && run >= 2)) {
      out.insert(out.end(), {0xED, 0xED, static_cast<uint8_t>(run), b});
      i += run;
    } else {
      out.push_back(b);
      ++i;
      if (b == 0xED && i < in.size()) out.push_back(in[i++]);
    }
  }
  return out;
}

inline Bytes Z80MainHeader(const MachineImage& m, uint16_t pc, bool compressed) {
  Bytes h(30);
  h[0] = m.af >> 8;
  h[1] = m.af & 0xFF;
  Set16(h, 2, m.bc);
  Set16(h, 4, m.hl);
  Set16(h, 6, pc);
  Set16(h, 8, m.sp);
  h[10] = m.i;
  h[11] = m.r & 0x7F;
  h[12] = static_cast<uint8_t>((m.r >> 7) | (m.border & 7) << 1 | (compressed ? 0x20 : 0));
  Set16(h, 13, m.de);
  Set16(h, 15, m.bc2);
  Set16(h, 17, m.de2);
  Set16(h, 19, m.hl2);
  h[21] = m.af2 >> 8;
  h[22] = m.af2 & 0xFF;
  Set16(h, 23, m.iy);
  Set16(h, 25, m.ix);
  h[27] = m.iff1;
  h[28] = m.iff2;
  h[29] = m.im & 3;
  return h;
}

// Version 1: the 48K image, compressed with its end marker or stored.
inline Bytes WriteZ80V1(const MachineImage& m, bool compressed) {
  Bytes out = Z80MainHeader(m, m.pc, compressed);
  const Bytes image = m.Image48();
  if (compressed) {
    const Bytes packed = Z80Compress(image);
    out.insert(out.end(), packed.begin(), packed.end());
    out.insert(out.end(), {0x00, 0xED, 0xED, 0x00});
  } else {
    out.insert(out.end(), image.begin(), image.end());
  }
  return out;
}

// Version 3 (54-byte additional header); pages stored (length 0xFFFF) or run-length coded.
inline Bytes WriteZ80V3(const MachineImage& m, bool compressed) {
  Bytes out = Z80MainHeader(m, 0, false);
  Bytes extra(56);
  Set16(extra, 0, 54);
  Set16(extra, 2, m.pc);
  extra[4] = m.model == SPECTRUM_PENTAGON ? 9 : m.Is128() ? 4 : 0;
  extra[5] = m.latch;
  extra[7] = static_cast<uint8_t>(0x04 | ((m.model == SPECTRUM_16 || m.model == SPECTRUM_PLUS2) ? 0x80 : 0));
  extra[8] = m.aySelected;
  for (int r = 0; r < 16; ++r) extra[9 + r] = m.ay[r];
  out.insert(out.end(), extra.begin(), extra.end());
  // All three 48K pages even for 16K: snapconv fails on a 16K file with page 8 alone.
  for (int bank : m.Is128() ? m.UsedBanks() : std::vector<int>{5, 2, 0}) {
    const int page = m.Is128() ? bank + 3 : (bank == 5 ? 8 : bank == 2 ? 4 : 5);
    const Bytes data = compressed ? Z80Compress(m.banks[bank]) : m.banks[bank];
    Put16(out, compressed ? static_cast<uint32_t>(data.size()) : 0xFFFF);
    out.push_back(static_cast<uint8_t>(page));
    out.insert(out.end(), data.begin(), data.end());
  }
  return out;
}

// 48K .sna: PC goes on the stack below SP, as a snapshot taker pushes it.
inline Bytes WriteSNA(MachineImage m) {
  m.sp = static_cast<uint16_t>(m.sp - 2);
  Bytes image = m.Image48();
  image[static_cast<uint16_t>(m.sp - 0x4000)] = m.pc & 0xFF;
  image[static_cast<uint16_t>(m.sp + 1 - 0x4000)] = m.pc >> 8;
  Bytes h(27);
  h[0] = m.i;
  Set16(h, 1, m.hl2);
  Set16(h, 3, m.de2);
  Set16(h, 5, m.bc2);
  Set16(h, 7, m.af2);
  Set16(h, 9, m.hl);
  Set16(h, 11, m.de);
  Set16(h, 13, m.bc);
  Set16(h, 15, m.iy);
  Set16(h, 17, m.ix);
  h[19] = m.iff2 ? 0x04 : 0;
  h[20] = m.r;
  Set16(h, 21, m.af);
  Set16(h, 23, m.sp);
  h[25] = m.im;
  h[26] = m.border;
  Bytes file(h.size() + image.size());  // built whole: GCC 12 warns falsely on a growing insert
  std::copy(h.begin(), h.end(), file.begin());
  std::copy(image.begin(), image.end(), file.begin() + static_cast<std::ptrdiff_t>(h.size()));
  return file;
}

inline Bytes Deflate(const Bytes& in) {
  uLongf length = compressBound(static_cast<uLong>(in.size()));
  Bytes out(length);
  compress2(out.data(), &length, in.data(), static_cast<uLong>(in.size()), 9);
  out.resize(length);
  return out;
}

inline void AddSZXBlock(Bytes& out, const char* id, const Bytes& data) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(k < static_cast<int>(std::strlen(id)) ? id[k] : 0));
  Put32(out, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
}

inline Bytes WriteSZX(const MachineImage& m, bool compressed, const char* creator = "Test writer") {
  Bytes out = {'Z', 'X', 'S', 'T', 1, 4, static_cast<uint8_t>(m.model), 0};
  Bytes crtr(32 + 4);
  std::strncpy(reinterpret_cast<char*>(crtr.data()), creator, 31);
  AddSZXBlock(out, "CRTR", crtr);
  Bytes regs;
  for (uint16_t v : {m.af, m.bc, m.de, m.hl, m.af2, m.bc2, m.de2, m.hl2, m.ix, m.iy, m.sp, m.pc}) Put16(regs, v);
  regs.insert(regs.end(), {m.i, m.r, m.iff1, m.iff2, m.im});
  regs.resize(37);
  AddSZXBlock(out, "Z80R", regs);
  // chFe's colour bits differ from chBorder's, as a last ULA write may; its EAR bit is set.
  AddSZXBlock(out, "SPCR", Bytes{m.border, m.latch, 0, static_cast<uint8_t>(0x10 | (~m.border & 7)), 0, 0, 0, 0});
  if (m.Is128()) {
    Bytes ay = {2, m.aySelected};
    ay.insert(ay.end(), m.ay.begin(), m.ay.end());
    AddSZXBlock(out, "AY", ay);
  }
  for (int bank : m.UsedBanks()) {
    const Bytes data = compressed ? Deflate(m.banks[bank]) : m.banks[bank];
    Bytes ramp = {static_cast<uint8_t>(compressed ? 1 : 0), 0, static_cast<uint8_t>(bank)};
    ramp.insert(ramp.end(), data.begin(), data.end());
    AddSZXBlock(out, "RAMP", ramp);
  }
  return out;
}

// Recordings, block by block.
struct RZXFrame {
  uint16_t fetches = 0;
  Bytes inputs;
  bool repeat = false;  // input count 0xFFFF: the previous frame's inputs again
};

inline Bytes RZXHeader() { return {'R', 'Z', 'X', '!', 0, 13, 0, 0, 0, 0}; }

inline void AddRZXBlock(Bytes& out, uint8_t id, const Bytes& payload) {
  out.push_back(id);
  Put32(out, static_cast<uint32_t>(payload.size() + 5));
  out.insert(out.end(), payload.begin(), payload.end());
}

inline void AddRZXCreator(Bytes& out, const char* name, uint16_t major, uint16_t minor) {
  Bytes payload(20);
  std::strncpy(reinterpret_cast<char*>(payload.data()), name, 20);
  Put16(payload, major);
  Put16(payload, minor);
  AddRZXBlock(out, 0x10, payload);
}

inline void AddRZXSnapshot(Bytes& out, const char* type, const Bytes& snapshot, bool compressed,
                           uint32_t flagsExtra = 0) {
  Bytes payload;
  Put32(payload, (compressed ? 2 : 0) | flagsExtra);
  for (int k = 0; k < 4; ++k) payload.push_back(static_cast<uint8_t>(k < static_cast<int>(std::strlen(type)) ? type[k] : 0));
  Put32(payload, static_cast<uint32_t>(snapshot.size()));
  const Bytes data = compressed ? Deflate(snapshot) : snapshot;
  payload.insert(payload.end(), data.begin(), data.end());
  AddRZXBlock(out, 0x30, payload);
}

inline void AddRZXInput(Bytes& out, const std::vector<RZXFrame>& frames, bool compressed) {
  Bytes data;
  for (const RZXFrame& frame : frames) {
    Put16(data, frame.fetches);
    Put16(data, frame.repeat ? 0xFFFF : static_cast<uint32_t>(frame.inputs.size()));
    if (!frame.repeat) data.insert(data.end(), frame.inputs.begin(), frame.inputs.end());
  }
  Bytes payload;
  Put32(payload, static_cast<uint32_t>(frames.size()));
  payload.push_back(0);
  Put32(payload, 0);
  Put32(payload, compressed ? 2 : 0);
  const Bytes stored = compressed ? Deflate(data) : data;
  payload.insert(payload.end(), stored.begin(), stored.end());
  AddRZXBlock(out, 0x80, payload);
}
