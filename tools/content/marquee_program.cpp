// The marquee (48K, .sna): a message in big letters scrolls across a wall of LEDs (one
// character cell a LED, lit by its attribute), between two colour ribbons that wave across the
// screen, under a title whose colours run along it.
#include <cmath>

#include "emulation/display.h"
#include "tools/content/demo_font.h"
#include "tools/content/demo_program.h"
#include "tools/content/screen_image.h"
#include "tools/content/z80_assembler.h"

namespace {

constexpr uint16_t WAVE = 0x9000;      // 256 bytes: row offset (0, 32, 64, 96) of the ribbon
constexpr uint16_t COLOURS = 0x9100;   // 256 bytes: BRIGHT ink colours in a repeating rainbow
constexpr uint16_t FONT = 0x9200;      // 768 bytes: characters 32-127
constexpr uint16_t MESSAGE = 0x9500;   // the text, ending in 0
constexpr uint16_t LED_ROWS = 0x5900;  // attributes of rows 8-15
constexpr uint8_t LED_OFF = 0x01;      // dark blue
constexpr uint16_t TOP_RIBBON = 0x5840, BOTTOM_RIBBON = 0x5A20;  // rows 2-5 and 17-20

const char MESSAGE_TEXT[] =
    "    WELCOME TO GLIMMERBOX!   SPECTRUMS ON TELEVISIONS, IN A SCREEN SAVER OF THEIR "
    "OWN...   THIS MARQUEE RUNS WITHOUT A SINGLE ROM ROUTINE: ITS OWN FONT, ITS OWN "
    "INTERRUPTS, 768 LEDS OF ATTRIBUTES.   GREETINGS TO EVERY RUBBER KEY STILL IN SERVICE!   ";

void DrawScreen(DemoProgram& program) {
  CPicture picture;
  picture.Text((256 - 10 * 8) / 2, 0, "GLIMMERBOX", WHITE | BRIGHT);
  picture.Text((256 - 25 * 8) / 2, 184, "A MARQUEE OF OUR OWN MAKE", WHITE);
  std::vector<uint8_t> screen = picture.ToScreen(true);
  // Each LED a round dot; each ribbon cell a bar of light.
  const uint8_t dot[8] = {0x00, 0x3C, 0x7E, 0x7E, 0x7E, 0x7E, 0x3C, 0x00};
  const uint8_t bar[8] = {0x00, 0xFF, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0x00};
  for (int y = 0; y < 192; ++y) {
    const int row = y / 8;
    const uint8_t* pattern = row >= 8 && row < 16                               ? dot
                             : (row >= 2 && row < 6) || (row >= 17 && row < 21) ? bar
                                                                                : nullptr;
    if (pattern)
      for (int column = 0; column < 32; ++column)
        screen[DisplayLineOffset(y) + column] = pattern[y & 7];
  }
  for (int cell = 0; cell < 768; ++cell) {
    const int row = cell / 32;
    uint8_t& attribute = screen[ATTRIBUTE_OFFSET + cell];
    if (row >= 8 && row < 16)
      attribute = LED_OFF;
    else if (row != 0 && row != 23)
      attribute = 0;
  }
  program.Put(0x4000, screen);
}

}  // namespace

const char* MarqueeText() { return MESSAGE_TEXT; }

DemoProgram MarqueeProgram() {
  DemoProgram program = NewRamProgram(
      "marquee.sna", DemoFormat::SNA, false,
      "a scrolling message on a wall of attribute LEDs between waving colour ribbons");
  DrawScreen(program);

  std::vector<uint8_t> wave(256), colours(256);
  const uint8_t inks[8] = {RED, YELLOW, GREEN, CYAN, WHITE, MAGENTA, GREEN, YELLOW};
  for (int k = 0; k < 256; ++k) {
    wave[k] = static_cast<uint8_t>(
        32 * std::lround(1.5 + 1.5 * std::sin(k * 2 * 3.14159265358979 / 256)));
    colours[k] = static_cast<uint8_t>(0x40 | inks[k & 7]);
  }
  program.Put(WAVE, wave);
  program.Put(COLOURS, colours);
  const auto font = FontBytes();
  program.Put(FONT, std::vector<uint8_t>(font.begin(), font.end()));
  std::vector<uint8_t> message(std::begin(MESSAGE_TEXT), std::end(MESSAGE_TEXT));  // with its 0
  program.Put(MESSAGE, message);

  CZ80Assembler a(0x8000);
  using enum R8;
  using enum R16;
  EmitInterruptSetup(a);
  a.LD(HL, MESSAGE);
  a.LD(Mem("text"), HL);
  a.LD(A, 0x80);
  a.LD(Mem("column"), A);
  a.XOR(A);
  a.OUT_N_A(0xFE);  // black border, speaker off
  a.EI();

  a.Label("main");
  a.HALT();
  a.LD(A, Mem("tick"));
  a.INC(A);
  a.LD(Mem("tick"), A);
  a.CALL("title");
  a.LD(HL, TOP_RIBBON);
  a.LD(A, Mem("tick"));
  a.ADD(A);
  a.ADD(A);  // four steps of the wave a frame
  a.CALL("ribbon");
  a.LD(A, Mem("tick"));
  a.AND(1);
  a.CALL(IfZ, "marquee");  // one LED column every other frame
  a.LD(HL, BOTTOM_RIBBON);
  a.LD(A, Mem("tick"));
  a.ADD(A);
  a.ADD(A);
  a.NEG();  // the lower ribbon runs the other way
  a.CALL("ribbon");
  a.JR("main");

  // The title's colours run along row 0.
  a.Label("title");
  a.LD(A, Mem("tick"));
  a.SRL(A);
  a.SRL(A);
  a.LD(C, A);
  a.LD(B, COLOURS >> 8);
  a.LD(HL, 0x5800);
  a.Label("title_cell");
  a.LD_A_BC();
  a.LD(HLI, A);
  a.INC(C);
  a.INC(L);
  a.LD(A, L);
  a.CP(32);
  a.JR(IfNZ, "title_cell");
  a.RET();

  // A ribbon two cells high waving over four rows. In: HL the band's first cell, A the phase.
  a.Label("ribbon");
  a.LD(Mem("phase"), A);
  a.PUSH(HL);
  a.LD(D, H);
  a.LD(E, L);
  a.INC(DE);
  a.LD(HLI, 0);
  a.LD(BC, 4 * 32 - 1);
  a.LDIR();
  a.POP(HL);
  a.LD(A, Mem("phase"));
  a.LD(E, A);
  a.LD(D, WAVE >> 8);
  a.LD(B, COLOURS >> 8);
  a.Label("ribbon_cell");
  a.LD_A_DE();  // the row for this column
  a.ADD(L);
  a.LD(C, L);  // the column's own colour: COLOURS + L
  a.LD(L, A);
  a.LD_A_BC();
  a.LD(HLI, A);
  a.LD(A, L);
  a.ADD(32);
  a.LD(L, A);
  a.LD_A_BC();
  a.LD(HLI, A);
  a.LD(L, C);
  a.LD(A, E);
  a.ADD(8);
  a.LD(E, A);
  a.INC(L);
  a.LD(A, L);
  a.AND(31);
  a.JR(IfNZ, "ribbon_cell");
  a.RET();

  // One step of the marquee: every LED moves one place left and column 31 takes the next
  // column of the current letter.
  a.Label("marquee");
  a.LD(HL, LED_ROWS + 1);
  a.LD(DE, LED_ROWS);
  a.LD(BC, 255);
  a.LDIR();
  a.LD(HL, Mem("text"));
  a.LD(A, HLI);
  a.OR(A);
  a.JR(IfNZ, "have_letter");
  a.LD(HL, MESSAGE);  // the end: start again
  a.LD(Mem("text"), HL);
  a.LD(A, HLI);
  a.Label("have_letter");
  a.SUB(32);
  a.LD(L, A);
  a.LD(H, 0);
  a.ADD_HL(HL);
  a.ADD_HL(HL);
  a.ADD_HL(HL);
  a.LD(DE, FONT);
  a.ADD_HL(DE);  // HL: the glyph
  // Each letter lights its LEDs in the next colour of the rainbow.
  a.LD(A, Mem("text"));
  a.AND(7);
  a.LD(E, A);
  a.LD(D, 0);
  a.LD_IX(COLOURS);
  a.ADD_IX(DE);
  a.LD(A, Mem("column"));
  a.LD(C, A);
  a.LD(DE, LED_ROWS + 31);
  a.LD(B, 8);
  a.Label("led");
  a.LD(A, HLI);
  a.AND(C);
  a.LD(A, LED_OFF);  // LD keeps the flags of AND
  a.JR(IfZ, "led_set");
  a.LD_R_IX(A, 0);
  a.Label("led_set");
  a.LD_DE_A();
  a.INC(HL);
  a.LD(A, E);
  a.ADD(32);
  a.LD(E, A);
  a.DJNZ("led");
  a.LD(A, C);
  a.RRCA();  // the next column; after the eighth the next letter
  a.LD(Mem("column"), A);
  a.RET(IfNC);
  a.LD(HL, Mem("text"));
  a.INC(HL);
  a.LD(Mem("text"), HL);
  a.RET();

  a.Label("isr");
  a.EI();
  a.RETI();

  a.Label("tick");
  a.DB({0});
  a.Label("phase");
  a.DB({0});
  a.Label("column");
  a.DB({0});
  a.Label("text");
  a.DW(0);
  program.Place(a);
  return program;
}
