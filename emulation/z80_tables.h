// Precomputed flag tables of the Z80 core, built at compile time. Private to emulation/z80.cpp.
// Bits 5 and 3 are left out of every entry: the core keeps them in a separate shadow byte.
#pragma once

#include <array>
#include <cstdint>

namespace z80tables {

constexpr uint8_t SF = 0x80, ZF = 0x40, YF = 0x20, HF = 0x10, XF = 0x08, VF = 0x04, NF = 0x02,
                  CF = 0x01;

constexpr uint8_t SignZero(unsigned v) { return (v & 0x80) | (v == 0 ? ZF : 0); }

constexpr uint8_t Parity(unsigned v) {
  unsigned ones = 0;
  for (int bit = 0; bit < 8; ++bit) ones += (v >> bit) & 1;
  return (ones & 1) ? 0 : VF;
}

// S, Z.
constexpr std::array<uint8_t, 256> kSZ = [] {
  std::array<uint8_t, 256> t{};
  for (unsigned v = 0; v < 256; ++v) t[v] = SignZero(v);
  return t;
}();

// S, Z, P/V as parity: the logic operations, rotates and shifts, IN r,(C).
constexpr std::array<uint8_t, 256> kSZP = [] {
  std::array<uint8_t, 256> t{};
  for (unsigned v = 0; v < 256; ++v) t[v] = SignZero(v) | Parity(v);
  return t;
}();

// INC r, indexed by the old value: S, Z, H (carry out of bit 3), V (0x7F -> 0x80). C is kept.
constexpr std::array<uint8_t, 256> kInc = [] {
  std::array<uint8_t, 256> t{};
  for (unsigned v = 0; v < 256; ++v) {
    t[v] = SignZero((v + 1) & 0xFF) | ((v & 0x0F) == 0x0F ? HF : 0) | (v == 0x7F ? VF : 0);
  }
  return t;
}();

// DEC r, indexed by the old value: S, Z, H (borrow from bit 4), V (0x80 -> 0x7F), N. C is kept.
constexpr std::array<uint8_t, 256> kDec = [] {
  std::array<uint8_t, 256> t{};
  for (unsigned v = 0; v < 256; ++v) {
    t[v] = SignZero((v - 1) & 0xFF) | NF | ((v & 0x0F) == 0 ? HF : 0) | (v == 0x80 ? VF : 0);
  }
  return t;
}();

// DAA: index H * 1024 + A + 256 * (C + 2 * N); entry = new A * 256 + new F.
constexpr std::array<uint16_t, 2048> kDaa = [] {
  std::array<uint16_t, 2048> t{};
  for (unsigned index = 0; index < 2048; ++index) {
    const unsigned a = index & 0xFF;
    const bool c = (index >> 8) & 1, n = (index >> 9) & 1, h = (index >> 10) & 1;
    unsigned diff = 0;
    bool carry = c;
    if (c || a > 0x99) {
      diff |= 0x60;
      carry = true;
    }
    if (h || (a & 0x0F) > 9) diff |= 0x06;
    const unsigned result = (n ? a - diff : a + diff) & 0xFF;
    const bool half = n ? (h && (a & 0x0F) < 6) : ((a & 0x0F) > 9);
    const unsigned f = SignZero(result) | Parity(result) | (half ? HF : 0) | (n ? NF : 0) |
                       (carry ? CF : 0);
    t[index] = static_cast<uint16_t>((result << 8) | f);
  }
  return t;
}();

}  // namespace z80tables
