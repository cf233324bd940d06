// The plasma (48K, .z80 version 1): every character cell is recoloured every frame from sums of
// sine waves over its column and row. A checkerboard in the bitmap mixes each cell's ink and
// paper half and half, so a palette of ink/paper pairs gives twice as many shades.
#include <cmath>

#include "emulation/display.h"
#include "tools/content/demo_program.h"
#include "tools/content/screen_image.h"
#include "tools/content/z80_assembler.h"

namespace {

constexpr uint16_t SINE = 0x9000;     // 256 bytes, 0-47
constexpr uint16_t PALETTE = 0x9100;  // 256 attributes, repeating every 128
constexpr uint16_t ROWS = 0x9200;     // 24 bytes: the row terms of this frame
constexpr uint16_t COLUMNS = 0x92E0;  // 32 bytes: the column terms, ending on a page boundary

}  // namespace

DemoProgram PlasmaProgram() {
  DemoProgram program = NewRamProgram("plasma.z80", DemoFormat::Z80_V1, false,
                                      "an attribute plasma of sine waves in 16 shades");
  for (int y = 0; y < 192; ++y)
    for (int column = 0; column < 32; ++column)
      program.At(static_cast<uint16_t>(0x4000 + DisplayLineOffset(y) + column)) =
          (y & 1) ? 0xAA : 0x55;

  std::vector<uint8_t> sine(256), palette(256);
  for (int k = 0; k < 256; ++k)
    sine[k] =
        static_cast<uint8_t>(std::lround(23.5 + 23.5 * std::sin(k * 2 * 3.14159265358979 / 256)));
  // Round the colour wheel: each colour alone, then mixed with the next; 8 steps each.
  const uint8_t wheel[8] = {BLACK, BLUE, MAGENTA, RED, YELLOW, WHITE, CYAN, BLUE};
  for (int k = 0; k < 256; ++k) {
    const int shade = (k / 8) % 16;
    const uint8_t paper = wheel[shade / 2], ink = wheel[(shade / 2 + shade % 2) % 8];
    palette[k] = static_cast<uint8_t>(0x40 | paper << 3 | ink);
  }
  program.Put(SINE, sine);
  program.Put(PALETTE, palette);

  CZ80Assembler a(0x8000);
  using enum R8;
  using enum R16;
  EmitInterruptSetup(a);
  a.XOR(A);
  a.OUT_N_A(0xFE);
  a.EI();

  a.Label("main");
  a.HALT();
  // Four phases move at their own speeds.
  const char* phases[4] = {"p1", "p2", "p3", "p4"};
  const int speeds[4] = {3, -2, 2, 5};
  for (int k = 0; k < 4; ++k) {
    a.LD(A, Mem(phases[k]));
    a.ADD(speeds[k] & 0xFF);
    a.LD(Mem(phases[k]), A);
  }
  // Column terms: sine(7x + p1) + sine(4x + p2); row terms: sine(8y + p3) + sine(5y + p4).
  a.LD(H, SINE >> 8);
  // One term table: table[i] = sine(stepC * i + phaseC) + sine(stepB * i + phaseB), until the
  // caller's end test after INC E.
  const auto sineSums = [&a](const char* phaseC, const char* phaseB, uint16_t table, const char* loop,
                             uint8_t stepC, uint8_t stepB) {
    a.LD(A, Mem(phaseC));
    a.LD(C, A);
    a.LD(A, Mem(phaseB));
    a.LD(B, A);
    a.LD(DE, table);
    a.Label(loop);
    a.LD(L, C);
    a.LD(A, HLI);
    a.LD(L, B);
    a.ADD(HLI);
    a.LD_DE_A();
    a.LD(A, C);
    a.ADD(stepC);
    a.LD(C, A);
    a.LD(A, B);
    a.ADD(stepB);
    a.LD(B, A);
    a.INC(E);
  };
  sineSums("p1", "p2", COLUMNS, "column_term", 7, 4);
  a.JR(IfNZ, "column_term");  // COLUMNS ends on the page boundary
  sineSums("p3", "p4", ROWS, "row_term", 8, 5);
  a.LD(A, E);
  a.CP((ROWS & 0xFF) + 24);
  a.JR(IfNZ, "row_term");

  // Cells: palette(column term + row term + cycle). The row term is written into the ADD
  // of the inner loop, which keeps every register free for the cell itself.
  a.LD(A, Mem("p4"));
  a.LD(Mem("cycle"), A);
  a.LD(DE, 0x5800);
  a.LD(HL, ROWS);
  a.Label("row");
  a.LD(A, Mem("cycle"));
  a.ADD(HLI);
  a.LD(Mem("row_value"), A);
  a.PUSH(HL);
  a.LD(H, PALETTE >> 8);
  a.LD(BC, COLUMNS);
  a.Label("cell");
  a.LD_A_BC();
  a.ADD(0);
  a.Label("row_value", -1);
  a.LD(L, A);
  a.LD(A, HLI);
  a.LD_DE_A();
  a.INC(DE);
  a.INC(C);
  a.JR(IfNZ, "cell");
  a.POP(HL);
  a.INC(L);
  a.LD(A, D);
  a.CP(0x5B);  // past the last attribute row
  a.JR(IfNZ, "row");
  a.JP("main");

  a.Label("isr");
  a.EI();
  a.RETI();

  for (const char* phase : phases) {
    a.Label(phase);
    a.DB({0});
  }
  a.Label("cycle");
  a.DB({0});
  program.Place(a);
  return program;
}
