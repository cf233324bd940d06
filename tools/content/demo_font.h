// Glimmerbox's own 8 x 8 character set for the demo content: bold capitals with two-pixel
// strokes in a 7 x 7 box (row 7 and column 7 left empty as spacing; commas reach into row 7).
// Lower-case letters are drawn as capitals; characters without a glyph are blank.
#pragma once

#include <array>
#include <cstdint>

using Glyph = std::array<uint8_t, 8>;  // one byte per row, bit 7 leftmost

// The glyph of a character.
const Glyph& GlyphOf(char ch);

// The 96 glyphs of characters 32 to 127 in order, 768 bytes, as the programs carry them.
std::array<uint8_t, 768> FontBytes();
