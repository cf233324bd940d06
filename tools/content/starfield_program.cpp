// The starfield (48K, .sna): stars in four layers drift past the title at their own speeds,
// plotted and erased with XOR so that the letters survive them, while the beeper plays a tune.
// Each frame: the stars first, then the note of the moment is played for most of what is left
// of the frame (a counted loop that toggles the speaker), then HALT until the next interrupt.
#include <cmath>
#include <random>

#include "emulation/display.h"
#include "tools/content/demo_program.h"
#include "tools/content/screen_image.h"
#include "tools/content/z80_assembler.h"

namespace {

constexpr uint16_t MASKS = 0x9000;  // the pixels of x AND 7: 8 single dots, then 8 streaks
constexpr uint16_t STARS = 0x9100;  // per star: x, speed, line address (2 bytes), mask offset
constexpr uint16_t TUNE = 0x9400;  // per note: delay, half-periods (2 bytes), frames; 0 frames ends
constexpr int STAR_COUNT = 64;

// The tone loop below takes 51 + 13 x delay T-states per half-period.
constexpr double CPU_CLOCK = 3500000.0;
constexpr double TONE_BUDGET = 40000.0;  // T-states of tone a frame

// The tune as MIDI note numbers (0 a rest) and lengths in eighths.
struct Note {
  int midi, eighths;
};
// clang-format off
const Note MELODY[] = {
    {76, 1}, {79, 1}, {84, 1}, {79, 1}, {76, 1}, {79, 1}, {84, 1}, {88, 1},
    {86, 1}, {84, 1}, {83, 1}, {79, 1}, {81, 2}, {79, 2},
    {77, 1}, {81, 1}, {86, 1}, {81, 1}, {77, 1}, {81, 1}, {86, 1}, {89, 1},
    {88, 1}, {86, 1}, {84, 1}, {83, 1}, {84, 3}, {0, 1},
    {88, 1}, {86, 1}, {84, 1}, {86, 1}, {88, 2}, {88, 2},
    {86, 1}, {84, 1}, {83, 1}, {84, 1}, {86, 2}, {79, 2},
    {81, 1}, {83, 1}, {84, 1}, {86, 1}, {88, 1}, {89, 1}, {91, 2},
    {88, 1}, {86, 1}, {83, 1}, {86, 1}, {84, 3}, {0, 1},
};
// clang-format on
constexpr int FRAMES_PER_EIGHTH = 7;

std::vector<uint8_t> TuneBytes() {
  std::vector<uint8_t> bytes;
  for (const Note& note : MELODY) {
    uint8_t delay = 0;
    uint16_t halves = 0;
    if (note.midi) {
      const double frequency = 440.0 * std::pow(2.0, (note.midi - 69) / 12.0);
      const double half = CPU_CLOCK / (2 * frequency);
      delay = static_cast<uint8_t>(std::lround((half - 51) / 13));
      halves = static_cast<uint16_t>(TONE_BUDGET / (51 + 13 * delay));
    }
    bytes.insert(bytes.end(),
                 {delay, static_cast<uint8_t>(halves), static_cast<uint8_t>(halves >> 8),
                  static_cast<uint8_t>(note.eighths * FRAMES_PER_EIGHTH)});
  }
  bytes.insert(bytes.end(), {0, 0, 0, 0});
  return bytes;
}

}  // namespace

DemoProgram StarfieldProgram() {
  DemoProgram program =
      NewRamProgram("starfield.sna", DemoFormat::SNA, false,
                    "a starfield in four layers behind the title, and a beeper tune");
  CPicture picture;
  const std::string name = "GLIMMERBOX";
  const uint8_t colours[] = {RED, YELLOW, GREEN, CYAN, MAGENTA};
  for (size_t k = 0; k < name.size(); ++k)
    picture.Text(48 + static_cast<int>(k) * 16, 80, name.substr(k, 1), colours[k % 5] | BRIGHT, 2);
  picture.Text((256 - 21 * 8) / 2, 104, "LISTEN TO THE BEEPER!", WHITE);
  std::vector<uint8_t> screen = picture.ToScreen(true);
  // Stars are bright white wherever there is no letter (plain cells came out white on black).
  for (int cell = 0; cell < 768; ++cell)
    if (screen[ATTRIBUTE_OFFSET + cell] == 0x07 && cell / 32 != 13)
      screen[ATTRIBUTE_OFFSET + cell] = 0x47;

  // Stars: speed 1 to 4, on lines spread over the screen, the fast ones streaks of two pixels;
  // drawn already, so that the first erase of the loop finds them.
  const uint8_t masks[16] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01,
                             0xC0, 0x60, 0x30, 0x18, 0x0C, 0x06, 0x03, 0x01};
  std::mt19937 random(1984);
  std::vector<uint8_t> stars;
  for (int k = 0; k < STAR_COUNT; ++k) {
    const uint8_t x = static_cast<uint8_t>(random());
    const uint8_t speed = static_cast<uint8_t>(1 + k % 4);
    const int line = static_cast<int>(k * 192 / STAR_COUNT + random() % 3);
    const uint16_t address = static_cast<uint16_t>(0x4000 + DisplayLineOffset(line));
    const uint8_t streak = speed >= 3 ? 8 : 0;
    stars.insert(stars.end(), {x, speed, static_cast<uint8_t>(address),
                               static_cast<uint8_t>(address >> 8), streak});
    screen[address - 0x4000 + x / 8] ^= masks[streak + (x & 7)];
  }
  program.Put(0x4000, screen);
  program.Put(STARS, stars);
  program.Put(MASKS, std::vector<uint8_t>(std::begin(masks), std::end(masks)));
  program.Put(TUNE, TuneBytes());

  CZ80Assembler a(0x8000);
  using enum R8;
  using enum R16;
  EmitInterruptSetup(a);
  a.LD(HL, TUNE);
  a.LD(Mem("tune"), HL);
  a.XOR(A);
  a.LD(Mem("left"), A);
  a.OUT_N_A(0xFE);
  a.EI();

  a.Label("main");
  a.HALT();
  a.LD_IX(STARS);
  a.LD(B, STAR_COUNT);
  a.Label("star");
  a.LD_R_IX(A, 0);
  a.LD_R_IX(E, 2);
  a.LD_R_IX(D, 3);
  a.LD_R_IX(H, 4);
  a.CALL("plot");  // erase
  a.LD_R_IX(A, 0);
  a.LD_R_IX(C, 1);
  a.SUB(C);
  a.LD_IX_R(0, A);
  a.LD_R_IX(E, 2);
  a.LD_R_IX(D, 3);
  a.LD_R_IX(H, 4);
  a.CALL("plot");  // draw
  a.LD(DE, 5);
  a.ADD_IX(DE);
  a.DJNZ("star");
  a.CALL("music");
  a.JR("main");

  // XOR the star at x = A on the line at DE, H its mask offset. Keeps B.
  a.Label("plot");
  a.LD(C, A);
  a.RRCA();
  a.RRCA();
  a.RRCA();
  a.AND(31);
  a.ADD(E);
  a.LD(E, A);
  a.LD(A, C);
  a.AND(7);
  a.OR(H);
  a.LD(L, A);
  a.LD(H, MASKS >> 8);
  a.LD_A_DE();
  a.XOR(HLI);
  a.LD_DE_A();
  a.RET();

  // The tune: a new note when the last one has run out; the last frame of each note is
  // silent so that repeated notes are heard apart.
  a.Label("music");
  a.LD(A, Mem("left"));
  a.OR(A);
  a.JR(IfNZ, "sounding");
  a.LD(HL, Mem("tune"));
  a.Label("next_note");
  a.LD(A, HLI);
  a.LD(Mem("delay"), A);
  a.INC(HL);
  a.LD(E, HLI);
  a.INC(HL);
  a.LD(D, HLI);
  a.INC(HL);
  a.LD(Mem("halves"), DE);
  a.LD(A, HLI);
  a.INC(HL);
  a.OR(A);
  a.JR(IfNZ, "start_note");
  a.LD(HL, TUNE);  // the end: from the top
  a.JR("next_note");
  a.Label("start_note");
  a.LD(Mem("tune"), HL);
  a.Label("sounding");
  a.DEC(A);
  a.LD(Mem("left"), A);
  a.RET(IfZ);
  a.LD(A, Mem("delay"));
  a.OR(A);
  a.RET(IfZ);  // a rest
  a.LD(C, A);
  a.LD(DE, Mem("halves"));
  a.LD(L, 0);  // speaker off, border black
  a.Label("tone");
  a.LD(A, L);
  a.XOR(0x10);
  a.LD(L, A);
  a.OUT_N_A(0xFE);
  a.LD(B, C);
  a.Label("wait");
  a.DJNZ("wait");
  a.DEC(DE);
  a.LD(A, D);
  a.OR(E);
  a.JR(IfNZ, "tone");
  a.XOR(A);
  a.OUT_N_A(0xFE);  // leave the speaker off
  a.RET();

  a.Label("isr");
  a.EI();
  a.RETI();

  a.Label("tune");
  a.DW(0);
  a.Label("left");
  a.DB({0});
  a.Label("delay");
  a.DB({0});
  a.Label("halves");
  a.DW(0);
  program.Place(a);
  return program;
}
