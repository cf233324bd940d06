// The bouncing balls (128K, .z80 version 3): three balls bounce under gravity, drawn into the
// hidden one of the two screens (bank 5 at 0x4000, bank 7 paged in at 0xC000) while the other
// is shown, then shown by flipping bit 3 of port 0x7FFD at the top of the next frame, so they
// never flicker. The AY chip plays a tune on channels A and B; every bounce strikes a noise
// drum on channel C with the envelope.
#include <cmath>

#include "emulation/display.h"
#include "tools/content/demo_program.h"
#include "tools/content/screen_image.h"
#include "tools/content/z80_assembler.h"

namespace {

constexpr uint16_t LINES = 0x9000;    // 192 line addresses of the screen at 0x4000
constexpr uint16_t SPRITES = 0x9200;  // the ball shifted 0-7 pixels: 24 lines of 4 bytes each
constexpr uint16_t BALLS = 0x9600;    // 16 bytes a ball (see the offsets below)
constexpr uint16_t PERIODS = 0x9700;  // AY tone periods of MIDI notes 36 up, indexed from 1
constexpr uint16_t SONG = 0x9800;     // per row: melody and bass note (0 holds), 0xFF ends
constexpr int SIZE = 24;              // the ball's height and width in pixels
constexpr int SPRITE_BYTES = 4;       // bytes a line once shifted

// Ball record offsets.
constexpr int BALL_X = 0, BALL_DX = 1, BALL_Y = 2, BALL_VY = 4, BALL_KICK = 6, BALL_OLD = 8,
              BALL_NOISE = 12;
constexpr int BALL_COUNT = 3;
constexpr int FLOOR = (176 - SIZE) * 16;  // y in 1/16 pixels of a ball resting on the floor
constexpr int MAX_X = 256 - 8 * SPRITE_BYTES;
constexpr int GRAVITY = 4;  // 1/16 pixel per frame per frame
constexpr int FRAMES_PER_ROW = 7;
constexpr double AY_CLOCK = 1773400.0;

// Melody and bass in MIDI notes, one entry an eighth; 0 holds the note before.
// clang-format off
const int MELODY[64] = {
    69, 0, 72, 76, 0, 74, 72, 0,  69, 0, 72, 77, 0, 76, 72, 0,
    67, 0, 72, 76, 0, 79, 76, 0,  74, 0, 71, 67, 0, 71, 74, 0,
    81, 0, 79, 76, 0, 72, 76, 0,  77, 0, 76, 72, 0, 69, 72, 0,
    76, 0, 79, 84, 0, 79, 76, 0,  74, 0, 71, 74, 79, 0, 0, 0};
// clang-format on
const int ROOTS[8] = {45, 41, 48, 43, 45, 41, 48, 43};  // A F C G, twice

std::vector<uint8_t> BallSprites() {
  // A ball lit from the upper left: solid where lit, thinning out into the shadow.
  constexpr uint8_t BAYER[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  constexpr double CENTRE = (SIZE - 1) / 2.0, RADIUS = SIZE / 2.0 - 0.3;
  uint32_t rows[SIZE] = {};
  for (int y = 0; y < SIZE; ++y) {
    for (int x = 0; x < SIZE; ++x) {
      const double dx = x - CENTRE, dy = y - CENTRE;
      if (dx * dx + dy * dy > RADIUS * RADIUS) continue;
      const double light = 1.0 - std::hypot(dx + RADIUS * 0.4, dy + RADIUS * 0.4) / (RADIUS * 1.7);
      if (light * 26 + 3 > BAYER[y & 3][x & 3]) rows[y] |= 0x80000000u >> x;
    }
  }
  std::vector<uint8_t> sprites;
  for (int shift = 0; shift < 8; ++shift) {
    for (int y = 0; y < SIZE; ++y) {
      const uint32_t bits = rows[y] >> shift;
      for (int k = 0; k < SPRITE_BYTES; ++k)
        sprites.push_back(static_cast<uint8_t>(bits >> (24 - 8 * k)));
    }
  }
  return sprites;
}

std::vector<uint8_t> Screen() {
  CPicture picture;
  picture.Text((256 - 14 * 8) / 2, 0, "GLIMMERBOX 128", WHITE | BRIGHT);
  picture.FillRect(0, 176, 256, 2, GREEN | BRIGHT);
  for (int x = 0; x < 256; x += 4) picture.Set(x + 2, 179, GREEN);
  picture.Text((256 - 24 * 8) / 2, 184, "AY MUSIC ON TWO SCREENS", CYAN | BRIGHT);
  std::vector<uint8_t> screen = picture.ToScreen(true);
  // The balls take the colour of the band they pass through.
  const uint8_t bands[7] = {WHITE, CYAN, GREEN, YELLOW, RED, MAGENTA, CYAN};
  for (int row = 1; row < 22; ++row)
    for (int column = 0; column < 32; ++column)
      screen[ATTRIBUTE_OFFSET + row * 32 + column] =
          static_cast<uint8_t>(0x40 | bands[(row - 1) / 3]);
  return screen;
}

}  // namespace

DemoProgram BouncingBallsProgram() {
  DemoProgram program =
      NewRamProgram("bouncing_balls.z80", DemoFormat::Z80_V3, true,
                    "bouncing balls drawn on two screens in turn, AY music and drums");
  const std::vector<uint8_t> screen = Screen();
  program.Put(0x4000, screen);  // bank 5
  program.Put(0xC000, screen);  // bank 7
  program.Put(LINES, LineAddressTable());
  program.Put(SPRITES, BallSprites());

  std::vector<uint8_t> balls;
  const struct {
    int x, dx, y, kick, noise;
  } start[BALL_COUNT] = {{24, 1, 110, -72, 24}, {104, -2, 40, -96, 10}, {196, 2, 80, -116, 3}};
  for (const auto& b : start) {
    const int y16 = b.y * 16;
    std::vector<uint8_t> record(16, 0);
    record[BALL_X] = static_cast<uint8_t>(b.x);
    record[BALL_DX] = static_cast<uint8_t>(b.dx);
    record[BALL_Y] = static_cast<uint8_t>(y16);
    record[BALL_Y + 1] = static_cast<uint8_t>(y16 >> 8);
    record[BALL_KICK] = static_cast<uint8_t>(b.kick);
    record[BALL_KICK + 1] = static_cast<uint8_t>(b.kick >> 8);
    // Nothing drawn yet: both screens' old places are where the ball starts.
    for (int k : {0, 2}) {
      record[BALL_OLD + k] = static_cast<uint8_t>(b.x);
      record[BALL_OLD + k + 1] = static_cast<uint8_t>(b.y);
    }
    record[BALL_NOISE] = static_cast<uint8_t>(b.noise);
    balls.insert(balls.end(), record.begin(), record.end());
  }
  program.Put(BALLS, balls);

  std::vector<uint8_t> periods(2, 0);
  for (int midi = 36; midi < 100; ++midi) {
    const double frequency = 440.0 * std::pow(2.0, (midi - 69) / 12.0);
    const int period = static_cast<int>(std::lround(AY_CLOCK / (16 * frequency)));
    periods.insert(periods.end(),
                   {static_cast<uint8_t>(period), static_cast<uint8_t>(period >> 8)});
  }
  program.Put(PERIODS, periods);
  std::vector<uint8_t> song;
  for (int row = 0; row < 64; ++row) {
    const int bass = ROOTS[row / 8] + (row % 2 ? 12 : 0);
    song.push_back(static_cast<uint8_t>(MELODY[row] ? MELODY[row] - 35 : 0));
    song.push_back(static_cast<uint8_t>(bass - 35));
  }
  song.push_back(0xFF);
  program.Put(SONG, song);

  CZ80Assembler a(0x8000);
  using enum R8;
  using enum R16;
  EmitInterruptSetup(a);
  a.LD(A, 0x07);  // bank 7 at 0xC000, screen 5 shown
  a.LD(BC, 0x7FFD);
  a.OUT_C(A);
  // The AY: silence, then the mixer (tones A and B, noise C) and the fixed volumes.
  for (const auto& [reg, value] :
       {std::pair{7, 0x1C}, {8, 0}, {9, 11}, {10, 0x10}, {11, 0x00}, {12, 0x06}}) {
    a.LD(A, reg);
    a.LD(E, value);
    a.CALL("ay");
  }
  a.LD(HL, SONG);
  a.LD(Mem("row"), HL);
  a.LD(A, 1);
  a.LD(Mem("timer"), A);
  a.XOR(A);
  a.OUT_N_A(0xFE);
  a.EI();

  a.Label("main");
  a.HALT();
  // Show what was drawn last frame; draw into the other screen.
  a.LD(A, Mem("shown"));
  a.XOR(0x08);
  a.LD(Mem("shown"), A);
  a.OR(0x07);
  a.LD(BC, 0x7FFD);
  a.OUT_C(A);
  a.AND(0x08);
  a.LD(A, 0x80);  // screen 7 shown: draw at 0x4000 (offset 0); else at 0xC000
  a.LD(C, BALL_OLD + 2);
  a.JR(IfZ, "hidden_set");
  a.XOR(A);
  a.LD(C, BALL_OLD);
  a.Label("hidden_set");
  a.LD(Mem("hidden"), A);
  a.LD(A, C);
  a.LD(Mem("slot"), A);
  a.CALL("music");
  a.LD_IX(BALLS);
  a.LD(B, BALL_COUNT);
  a.Label("erase_next");
  a.PUSH(BC);
  a.CALL("old_place");
  a.CALL("erase");
  a.LD(DE, 16);
  a.ADD_IX(DE);
  a.POP(BC);
  a.DJNZ("erase_next");
  a.LD_IX(BALLS);
  a.LD(B, BALL_COUNT);
  a.Label("move_next");
  a.PUSH(BC);
  a.CALL("move");
  a.LD(A, C);
  a.LD(Mem("line"), A);
  a.CALL("old_place");  // HL: this screen's record of where the ball is drawn
  a.LD_R_IX(A, BALL_X);
  a.LD(HLI, A);
  a.INC(HL);
  a.LD(A, Mem("line"));
  a.LD(HLI, A);
  a.LD(C, A);
  a.LD_R_IX(A, BALL_X);
  a.CALL("draw");
  a.LD(DE, 16);
  a.ADD_IX(DE);
  a.POP(BC);
  a.DJNZ("move_next");
  a.JP("main");

  // HL = where this screen's old place of ball IX is kept; A = its x and C = its line.
  a.Label("old_place");
  a.LD(A, Mem("slot"));
  a.LD(E, A);
  a.LD(D, 0);
  a.PUSH_IX();
  a.POP(HL);
  a.ADD_HL(DE);
  a.LD(A, HLI);
  a.INC(HL);
  a.LD(C, HLI);
  a.DEC(HL);
  a.RET();

  // One frame of ball IX: sideways between the walls, down under gravity, up off the floor.
  // Returns A = x and C = the line of its top.
  a.Label("move");
  a.LD_R_IX(A, BALL_X);
  a.LD_R_IX(C, BALL_DX);
  a.ADD(C);
  a.CP(MAX_X + 1);  // keeps the shifted sprite on screen; below 0 wraps above
  a.JR(IfC, "x_ok");
  a.LD(A, C);
  a.NEG();
  a.LD_IX_R(BALL_DX, A);
  a.LD(C, A);
  a.LD_R_IX(A, BALL_X);
  a.ADD(C);
  a.Label("x_ok");
  a.LD_IX_R(BALL_X, A);
  a.LD_R_IX(L, BALL_VY);
  a.LD_R_IX(H, BALL_VY + 1);
  a.LD(DE, GRAVITY);
  a.ADD_HL(DE);
  a.LD_IX_R(BALL_VY, L);
  a.LD_IX_R(BALL_VY + 1, H);
  a.LD_R_IX(E, BALL_Y);
  a.LD_R_IX(D, BALL_Y + 1);
  a.ADD_HL(DE);
  a.LD(DE, FLOOR);
  a.OR(A);
  a.SBC_HL(DE);
  a.JR(IfC, "in_air");
  a.LD(H, D);  // on the floor: kicked up again
  a.LD(L, E);
  a.LD_R_IX(A, BALL_KICK);
  a.LD_IX_R(BALL_VY, A);
  a.LD_R_IX(A, BALL_KICK + 1);
  a.LD_IX_R(BALL_VY + 1, A);
  a.PUSH(HL);
  a.CALL("drum");
  a.POP(HL);
  a.JR("y_ok");
  a.Label("in_air");
  a.ADD_HL(DE);
  a.Label("y_ok");
  a.LD_IX_R(BALL_Y, L);
  a.LD_IX_R(BALL_Y + 1, H);
  for (int k = 0; k < 4; ++k) {
    a.SRL(H);
    a.RR(L);
  }
  a.LD(C, L);
  a.LD_R_IX(A, BALL_X);
  a.RET();

  // Sets up a sprite run for x = A, line = C: (column) = x / 8, IX at the line's entry in the
  // line table (callers keep their own IX on the stack), B = the lines, C = the hidden screen's
  // address offset, A = the pixel shift x AND 7.
  a.Label("locate");
  a.LD(B, A);
  a.RRCA();
  a.RRCA();
  a.RRCA();
  a.AND(31);
  a.LD(Mem("column"), A);
  a.LD(L, C);
  a.LD(H, 0);
  a.ADD_HL(HL);
  a.LD(DE, LINES);
  a.ADD_HL(DE);
  a.PUSH(HL);
  a.POP_IX();
  a.LD(A, Mem("hidden"));
  a.LD(C, A);
  a.LD(A, B);
  a.AND(7);
  a.LD(B, SIZE);
  a.RET();

  // DE = the screen address of the line at IX in the hidden screen, at (column); IX moves on.
  a.Label("line_address");
  a.LD(A, Mem("column"));
  a.LD_R_IX(E, 0);
  a.ADD(E);
  a.LD(E, A);
  a.LD_R_IX(A, 1);
  a.OR(C);
  a.LD(D, A);
  a.INC_IX();
  a.INC_IX();
  a.RET();

  // Clears the ball's bytes at x = A, line = C in the hidden screen.
  a.Label("erase");
  a.PUSH_IX();
  a.CALL("locate");
  a.Label("erase_line");
  a.CALL("line_address");
  a.XOR(A);
  for (int k = 0; k < SPRITE_BYTES; ++k) {
    a.LD_DE_A();
    if (k < SPRITE_BYTES - 1) a.INC(E);
  }
  a.DJNZ("erase_line");
  a.POP_IX();
  a.RET();

  // ORs the ball in at x = A, line = C in the hidden screen.
  a.Label("draw");
  a.PUSH_IX();
  a.CALL("locate");
  static_assert(SIZE * SPRITE_BYTES == 96, "the shift is multiplied by 96");
  a.LD(L, A);  // sprite = SPRITES + shift x 96
  a.LD(H, 0);
  a.ADD_HL(HL);
  a.ADD_HL(HL);
  a.ADD_HL(HL);
  a.ADD_HL(HL);
  a.ADD_HL(HL);
  a.LD(D, H);
  a.LD(E, L);
  a.ADD_HL(HL);
  a.ADD_HL(DE);
  a.LD(DE, SPRITES);
  a.ADD_HL(DE);
  a.Label("draw_line");
  a.CALL("line_address");
  for (int k = 0; k < SPRITE_BYTES; ++k) {
    a.LD_A_DE();
    a.OR(HLI);
    a.LD_DE_A();
    a.INC(HL);
    if (k < SPRITE_BYTES - 1) a.INC(E);
  }
  a.DJNZ("draw_line");
  a.POP_IX();
  a.RET();

  // A bounce: channel C's noise drum, pitched by the ball, restarted by writing the envelope
  // shape (one fall).
  a.Label("drum");
  a.LD(A, 6);
  a.LD_R_IX(E, BALL_NOISE);
  a.CALL("ay");
  a.LD(A, 13);
  a.LD(E, 0);
  a.CALL("ay");
  a.RET();

  // The tune: melody on A with a falling volume, bass on B.
  a.Label("music");
  a.LD(A, Mem("volume"));
  a.CP(9);
  a.JR(IfC, "volume_set");
  a.DEC(A);
  a.LD(Mem("volume"), A);
  a.Label("volume_set");
  a.LD(E, A);
  a.LD(A, 8);
  a.CALL("ay");
  a.LD(A, Mem("timer"));
  a.DEC(A);
  a.JR(IfNZ, "music_done");
  a.LD(HL, Mem("row"));
  a.LD(A, HLI);
  a.CP(0xFF);
  a.JR(IfNZ, "row_read");
  a.LD(HL, SONG);  // the end: from the top
  a.LD(A, HLI);
  a.Label("row_read");
  a.INC(HL);
  a.OR(A);
  a.JR(IfZ, "melody_held");
  a.LD(C, 0);  // channel A's period registers
  a.CALL("tone");
  a.LD(A, 15);
  a.LD(Mem("volume"), A);
  a.Label("melody_held");
  a.LD(A, HLI);
  a.INC(HL);
  a.OR(A);
  a.JR(IfZ, "bass_held");
  a.LD(C, 2);
  a.CALL("tone");
  a.Label("bass_held");
  a.LD(Mem("row"), HL);
  a.LD(A, FRAMES_PER_ROW);
  a.Label("music_done");
  a.LD(Mem("timer"), A);
  a.RET();

  // Tone period of note A into registers C and C + 1. Keeps HL.
  a.Label("tone");
  a.PUSH(HL);
  a.ADD(A);
  a.LD(L, A);
  a.LD(H, PERIODS >> 8);
  a.LD(E, HLI);
  a.INC(L);
  a.LD(D, HLI);
  a.LD(A, C);
  a.PUSH(BC);
  a.CALL("ay");
  a.POP(BC);
  a.LD(E, D);
  a.LD(A, C);
  a.INC(A);
  a.CALL("ay");
  a.POP(HL);
  a.RET();

  // AY register A = E.
  a.Label("ay");
  a.LD(BC, 0xFFFD);
  a.OUT_C(A);
  a.LD(B, 0xBF);
  a.OUT_C(E);
  a.RET();

  a.Label("isr");
  a.EI();
  a.RETI();

  for (const char* variable : {"shown", "hidden", "slot", "column", "line", "timer", "volume"}) {
    a.Label(variable);
    a.DB({0});
  }
  a.Label("row");
  a.DW(0);
  program.Place(a);
  return program;
}
