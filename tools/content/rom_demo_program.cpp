// The ROM demo (.rom): a 16K ROM image of our own that takes over a 48K machine from 0x0000.
// It sets its own stack, clears the screen, prints with its own font, then waits for the
// interrupts in IM 1 (its routine at 0x0038) and animates the attributes: the title's colours
// run along it and a bar of light sweeps to and fro.
#include "tools/content/demo_font.h"
#include "tools/content/demo_program.h"
#include "tools/content/screen_image.h"
#include "tools/content/z80_assembler.h"

namespace {

constexpr uint16_t VARIABLES = 0x5B00;  // RAM just above the screen
constexpr uint16_t POSITION = VARIABLES, DIRECTION = VARIABLES + 1, TICK = VARIABLES + 2;
constexpr int TITLE_ROW = 2, BAR_ROW = 12, BAR_WIDTH = 6;

struct Line {
  int row;
  const char* text;
};
const Line LINES[] = {
    {TITLE_ROW, "*** GLIMMERBOX ROM ***"},
    {5, "A ROM IMAGE OF OUR OWN:"},
    {7, "NO BASIC, NO KEYWORDS,"},
    {9, "A PAGE OF Z80 AND A FONT."},
    {15, "IT SETS ITS OWN STACK,"},
    {17, "PRINTS ITS OWN LETTERS"},
    {19, "AND WAKES ON IM 1."},
    {22, "(C) CORVANE"},
};

}  // namespace

DemoProgram ROMDemoProgram() {
  DemoProgram program;
  program.file = "glimmer.rom";
  program.description =
      "a ROM of our own: it prints with its own font and animates colours, no BASIC";
  program.format = DemoFormat::ROM;
  program.memory.assign(16384, 0xFF);  // unprogrammed EPROM
  program.pc = 0x0000;
  program.im = 0;

  CZ80Assembler a(0x0000);
  using enum R8;
  using enum R16;
  a.DI();
  a.LD(SP, 0x0000);  // the first push lands at 0xFFFF
  a.JP("start");
  a.Align(0x38, 0xFF);
  // IM 1 interrupt: only wakes the HALT of the main loop.
  a.EI();
  a.RET();
  a.Align(0x66, 0xFF);
  a.RETN();

  a.Label("start");
  a.XOR(A);
  a.OUT_N_A(0xFE);
  a.LD(HL, 0x4000);
  a.LD(DE, 0x4001);
  a.LD(BC, 6143);
  a.LD(HLI, 0);
  a.LDIR();
  a.LD(HL, 0x5800);
  a.LD(DE, 0x5801);
  a.LD(BC, 767);
  a.LD(HLI, 0x07);  // white on black
  a.LDIR();
  a.LD(HL, "lines");
  a.Label("next_line");
  a.LD(A, HLI);
  a.CP(0xFF);
  a.JR(IfZ, "printed");
  a.LD(B, A);
  a.INC(HL);
  a.LD(C, HLI);
  a.INC(HL);
  a.CALL("print");
  a.JR("next_line");
  a.Label("printed");
  a.XOR(A);
  a.LD(Mem(POSITION), A);
  a.LD(Mem(TICK), A);
  a.INC(A);
  a.LD(Mem(DIRECTION), A);
  a.IM(1);
  a.EI();

  a.Label("main");
  a.HALT();
  a.LD(A, Mem(TICK));
  a.INC(A);
  a.LD(Mem(TICK), A);
  // The title's colours: a rainbow that runs along the row.
  a.SRL(A);
  a.SRL(A);
  a.LD(C, A);
  a.LD(HL, 0x5800 + TITLE_ROW * 32);
  a.Label("title_cell");
  a.LD(A, C);
  a.AND(7);
  a.LD(E, A);
  a.LD(D, 0);
  a.PUSH(HL);
  a.LD(HL, "rainbow");
  a.ADD_HL(DE);
  a.LD(A, HLI);
  a.POP(HL);
  a.LD(HLI, A);
  a.INC(C);
  a.INC(L);
  a.LD(A, L);
  a.AND(31);
  a.JR(IfNZ, "title_cell");
  // The bar: a row of papers from dark to light and back, moving one cell every 2 frames.
  a.LD(A, Mem(TICK));
  a.AND(1);
  a.JR(IfNZ, "main");
  a.LD(HL, 0x5800 + BAR_ROW * 32);
  a.LD(DE, 0x5800 + BAR_ROW * 32 + 1);
  a.LD(BC, 31);
  a.LD(HLI, 0);
  a.LDIR();
  a.LD(A, Mem(POSITION));
  a.LD(C, A);
  a.LD(A, Mem(DIRECTION));
  a.ADD(C);
  a.LD(Mem(POSITION), A);
  a.JR(IfZ, "turn");
  a.CP(32 - BAR_WIDTH);
  a.JR(IfNZ, "paint");
  a.Label("turn");
  a.LD(A, Mem(DIRECTION));
  a.NEG();
  a.LD(Mem(DIRECTION), A);
  a.Label("paint");
  a.LD(A, Mem(POSITION));
  a.ADD((0x5800 + BAR_ROW * 32) & 0xFF);
  a.LD(E, A);
  a.LD(D, (0x5800 + BAR_ROW * 32) >> 8);
  a.LD(HL, "bar");
  a.LD(BC, BAR_WIDTH);
  a.LDIR();
  a.JR("main");

  // Prints the text at HL (ending in 0) at row B, column C; HL ends after the 0.
  a.Label("print");
  a.LD(A, B);
  a.AND(0x18);
  a.OR(0x40);
  a.LD(D, A);
  a.LD(A, B);
  a.AND(7);
  a.RRCA();
  a.RRCA();
  a.RRCA();
  a.OR(C);
  a.LD(E, A);
  a.Label("print_char");
  a.LD(A, HLI);
  a.INC(HL);
  a.OR(A);
  a.RET(IfZ);
  a.PUSH(HL);
  a.SUB(32);
  a.LD(L, A);
  a.LD(H, 0);
  a.ADD_HL(HL);
  a.ADD_HL(HL);
  a.ADD_HL(HL);
  a.LD(BC, "font");
  a.ADD_HL(BC);
  a.PUSH(DE);
  a.LD(B, 8);
  a.Label("print_row");
  a.LD(A, HLI);
  a.LD_DE_A();
  a.INC(HL);
  a.INC(D);  // the next pixel line of a character cell is 256 bytes on
  a.DJNZ("print_row");
  a.POP(DE);
  a.INC(E);
  a.POP(HL);
  a.JR("print_char");

  a.Label("rainbow");
  for (uint8_t ink : {RED, YELLOW, GREEN, CYAN, WHITE, MAGENTA, YELLOW, CYAN}) a.DB({0x40 | ink});
  a.Label("bar");
  for (uint8_t paper : {BLUE, CYAN, WHITE, WHITE, CYAN, BLUE}) a.DB({0x40 | paper << 3});
  a.Label("lines");
  for (const Line& line : LINES) {
    const int length = static_cast<int>(std::string(line.text).size());
    a.DB({line.row, (32 - length) / 2});
    a.DB(std::string(line.text));
    a.DB({0});
  }
  a.DB({0xFF});
  a.Label("font");
  const auto font = FontBytes();
  a.DB(std::vector<uint8_t>(font.begin(), font.end()));
  program.Place(a);
  return program;
}
