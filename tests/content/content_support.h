// Helpers for the content tests: the programs and files the build made, reading text back off a
// display in the demo font, and an independent decoder of the .z80 run-length code.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/content/demo_font.h"
#include "tools/content/demo_program.h"

// Where the build put pasmo's output (asm/) and the Snapshots folder it made (Snapshots/).
inline std::filesystem::path ContentBuild() { return GLIMMERBOX_CONTENT_BUILD; }

inline const std::vector<DemoProgram>& AssembledPrograms() {
  static const std::vector<DemoProgram> programs = DemoPrograms(ContentBuild() / "asm");
  return programs;
}

inline const DemoProgram* FindProgram(const std::string& file) {
  for (const DemoProgram& program : AssembledPrograms())
    if (program.file == file) return &program;
  return nullptr;
}

// The colour (0-15, black always 0) that pixel (x, y) of a display line buffer shows, FLASH
// in its first phase.
inline uint8_t ColourAt(const uint8_t* lines, int x, int y) {
  const uint8_t attribute = lines[y * 64 + 32 + x / 8];
  const bool ink = (lines[y * 64 + x / 8] & (0x80 >> (x & 7))) != 0;
  const uint8_t colour = ink ? attribute & 7 : (attribute >> 3) & 7;
  return colour == 0 ? 0 : static_cast<uint8_t>(colour | ((attribute & 0x40) ? 8 : 0));
}

// The text of `length` characters whose cells start at pixel (x, y) of a display line buffer
// (192 lines of 32 bitmap and 32 attribute bytes), read as everything that is not the
// background colour; '?' where no glyph matches. Ink or paper does not matter, only what shows.
inline std::string TextAt(const uint8_t* lines, int x, int y, int length, uint8_t background = 0) {
  std::string text;
  for (int k = 0; k < length; ++k) {
    Glyph cell{};
    for (int row = 0; row < 8; ++row)
      for (int bit = 0; bit < 8; ++bit)
        if (ColourAt(lines, x + k * 8 + bit, y + row) != background) cell[row] |= 0x80 >> bit;
    char found = '?';
    for (char ch = 32; ch < 96; ++ch)
      if (GlyphOf(ch) == cell) {
        found = ch;
        break;
      }
    text += found;
  }
  return text;
}

// ED ED n b is n copies of b, everything else itself; stops when `limit` bytes are out.
// `used` tells how many input bytes were read.
inline std::vector<uint8_t> DecodeZ80(const uint8_t* in, size_t size, size_t limit,
                                      size_t* used = nullptr) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i < size && out.size() < limit) {
    if (i + 3 < size && in[i] == 0xED && in[i + 1] == 0xED) {
      out.insert(out.end(), in[i + 2], in[i + 3]);
      i += 4;
    } else {
      out.push_back(in[i++]);
    }
  }
  if (used) *used = i;
  return out;
}
