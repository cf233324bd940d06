// The demo programs' drawn and computed data. Every random choice comes from a fixed-seed
// MT19937, so the tables are the same on every build.
#include "tools/content/demo_tables.h"

#include <cmath>
#include <random>

#include "emulation/display.h"
#include "tools/content/demo_font.h"
#include "tools/content/screen_image.h"

namespace {

// The marquee's picture: the title, a wall of round LEDs (rows 8-15, dark until lit) and the
// bars the ribbons light (rows 2-5 and 17-20).
std::vector<uint8_t> MarqueeScreen() {
  CPicture picture;
  picture.Text((256 - 10 * 8) / 2, 0, "GLIMMERBOX", WHITE | BRIGHT);
  picture.Text((256 - 25 * 8) / 2, 184, "A MARQUEE OF OUR OWN MAKE", WHITE);
  std::vector<uint8_t> screen = picture.ToScreen(true);
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
      attribute = BLUE;  // a LED off
    else if (row != 0 && row != 23)
      attribute = 0;
  }
  return screen;
}

// The starfield: the title in big letters, and 64 stars (x, speed, line address, mask offset)
// already XORed into the picture so that the program's first erase finds them.
constexpr int STAR_COUNT = 64;

void Starfield(std::vector<uint8_t>& screen, std::vector<uint8_t>& stars) {
  CPicture picture;
  const std::string name = "GLIMMERBOX";
  const uint8_t colours[] = {RED, YELLOW, GREEN, CYAN, MAGENTA};
  for (size_t k = 0; k < name.size(); ++k)
    picture.Text(48 + static_cast<int>(k) * 16, 80, name.substr(k, 1), colours[k % 5] | BRIGHT, 2);
  picture.Text((256 - 21 * 8) / 2, 104, "LISTEN TO THE BEEPER!", WHITE);
  screen = picture.ToScreen(true);
  // Stars are bright white wherever there is no letter (plain cells came out white on black).
  for (int cell = 0; cell < 768; ++cell)
    if (screen[ATTRIBUTE_OFFSET + cell] == 0x07 && cell / 32 != 13)
      screen[ATTRIBUTE_OFFSET + cell] = 0x47;

  // Speed 1 to 4, on lines spread over the screen, the fast ones streaks of two pixels. The
  // masks are the program's: 8 single dots, then 8 streaks.
  const uint8_t masks[16] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01,
                             0xC0, 0x60, 0x30, 0x18, 0x0C, 0x06, 0x03, 0x01};
  std::mt19937 random(1984);
  stars.clear();
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
}

// The bouncing balls' picture: title, floor and caption; the balls take the colour of the band
// they pass through.
std::vector<uint8_t> BallsScreen() {
  CPicture picture;
  picture.Text((256 - 14 * 8) / 2, 0, "GLIMMERBOX 128", WHITE | BRIGHT);
  picture.FillRect(0, 176, 256, 2, GREEN | BRIGHT);
  for (int x = 0; x < 256; x += 4) picture.Set(x + 2, 179, GREEN);
  picture.Text((256 - 24 * 8) / 2, 184, "AY MUSIC ON TWO SCREENS", CYAN | BRIGHT);
  std::vector<uint8_t> screen = picture.ToScreen(true);
  const uint8_t bands[7] = {WHITE, CYAN, GREEN, YELLOW, RED, MAGENTA, CYAN};
  for (int row = 1; row < 22; ++row)
    for (int column = 0; column < 32; ++column)
      screen[ATTRIBUTE_OFFSET + row * 32 + column] =
          static_cast<uint8_t>(0x40 | bands[(row - 1) / 3]);
  return screen;
}

// A ball 24 pixels across lit from the upper left, solid where lit and thinning out into the
// shadow, shifted 0 to 7 pixels right: 8 sprites of 24 lines of 4 bytes.
std::vector<uint8_t> BallSprites() {
  constexpr int SIZE = 24, BYTES = 4;
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
  for (int shift = 0; shift < 8; ++shift)
    for (int y = 0; y < SIZE; ++y)
      for (int k = 0; k < BYTES; ++k)
        sprites.push_back(static_cast<uint8_t>((rows[y] >> shift) >> (24 - 8 * k)));
  return sprites;
}

}  // namespace

std::vector<DemoTable> DemoTables() {
  const auto font = FontBytes();
  std::vector<uint8_t> starfieldScreen, stars;
  Starfield(starfieldScreen, stars);
  return {
      {"font.bin", std::vector<uint8_t>(font.begin(), font.end())},
      {"marquee_screen.scr", MarqueeScreen()},
      {"starfield_screen.scr", starfieldScreen},
      {"starfield_stars.bin", stars},
      {"balls_screen.scr", BallsScreen()},
      {"ball_sprites.bin", BallSprites()},
  };
}
