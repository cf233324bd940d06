// The bundled screen images, drawn at full colour and converted cell by cell. Every random
// choice comes from a fixed-seed MT19937, whose output the C++ standard fixes, so the files are
// the same on every build.
#include "tools/content/demo_screens.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "tools/content/screen_image.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// Width in pixels of a text line in the demo font.
int TextWidth(const std::string& text, int scale = 1) {
  return static_cast<int>(text.size()) * 8 * scale;
}

void CentredText(CPicture& picture, int y, const std::string& text, uint8_t colour) {
  picture.Text((SCREEN_WIDTH - TextWidth(text)) / 2, y, text, colour);
}

// A small sparkle centred at (x, y): a dot, a plus or a four-pointed star.
void Sparkle(CPicture& picture, int x, int y, int kind, uint8_t colour) {
  picture.Set(x, y, colour);
  if (kind >= 1) {
    for (int d : {-1, 1}) {
      picture.Set(x + d, y, colour);
      picture.Set(x, y + d, colour);
    }
  }
  if (kind >= 2) {
    for (int d : {-3, -2, 2, 3}) {
      picture.Set(x + d, y, colour);
      picture.Set(x, y + d, colour);
    }
  }
}

}  // namespace

std::vector<uint8_t> TitleScreen() {
  CPicture p;
  const std::string name = "GLIMMERBOX";
  const uint8_t letterColours[] = {RED, YELLOW, GREEN, CYAN, MAGENTA};

  // The name: three cells a letter, so each letter keeps its own ink.
  for (size_t i = 0; i < name.size(); ++i) {
    const uint8_t colour = letterColours[i % 5] | BRIGHT;
    p.Text(8 + static_cast<int>(i) * 24, 24, name.substr(i, 1), colour, 3, true);
  }
  // Its reflection on a dark floor: every other line, upside down, half lit.
  for (int y = 0; y < 21; y += 2) {
    for (int x = 0; x < SCREEN_WIDTH; ++x) {
      const uint8_t c = p.At(x, 24 + 20 - y);
      if (c != BLACK && ((x + y / 2) & 1)) p.Set(x, 48 + y / 2 + 1, c & 7);
    }
  }
  // A shine line under it, brightest in the middle.
  const uint8_t shine[] = {BLUE,  BLUE, CYAN, CYAN, WHITE, WHITE | BRIGHT, WHITE | BRIGHT, WHITE,
                           WHITE, CYAN, CYAN, BLUE, BLUE};
  for (int column = 3; column < 29; ++column) {
    const int fromCentre = std::abs(column * 2 + 1 - 32) / 2;
    const uint8_t colour = shine[std::clamp(6 + fromCentre / 2, 0, 12)];
    p.FillRect(column * 8, 66, 8, 1, colour);
  }
  CentredText(p, 72, "SPECTRUMS ON TELEVISIONS", WHITE | BRIGHT);
  CentredText(p, 88, "- A SCREEN SAVER -", CYAN | BRIGHT);

  // A television with colour bars on its screen: cabinet cells 11-20 x 15-21.
  p.FillRect(88, 120, 80, 56, WHITE);
  for (const auto& [x, y] : {std::pair{88, 120}, {167, 120}, {88, 175}, {167, 175}})
    p.Set(x, y, BLACK);
  const uint8_t bars[] = {WHITE, YELLOW, CYAN, GREEN, MAGENTA, RED, BLUE};
  for (int i = 0; i < 7; ++i) p.FillRect(96 + i * 8, 128, 8, 40, bars[i] | BRIGHT);
  // Knobs and a speaker grille in the right-hand column.
  p.Disc(159, 131, 2, BLACK);
  p.Disc(159, 141, 2, BLACK);
  for (int y = 150; y < 168; y += 2) p.FillRect(156, y, 7, 1, BLACK);
  // Feet and aerials.
  p.FillRect(96, 176, 8, 3, WHITE);
  p.FillRect(152, 176, 8, 3, WHITE);
  p.Line(124, 119, 108, 104, WHITE | BRIGHT);
  p.Line(131, 119, 147, 104, WHITE | BRIGHT);
  p.Disc(108, 104, 1, WHITE | BRIGHT);
  p.Disc(147, 104, 1, WHITE | BRIGHT);

  // Sparkles in free cells, at most one a cell so none of them clash.
  std::mt19937 random(1982);
  std::vector<bool> taken(768, false);
  for (int row = 0; row < 24; ++row)
    for (int column = 0; column < 32; ++column)
      for (int y = row * 8 - 3; y < row * 8 + 11; ++y)
        for (int x = column * 8 - 3; x < column * 8 + 11; ++x)
          if (p.At(x, y) != BLACK) taken[row * 32 + column] = true;
  const uint8_t sparkleColours[] = {WHITE | BRIGHT, CYAN | BRIGHT, YELLOW | BRIGHT, WHITE,
                                    BLUE | BRIGHT};
  for (int n = 0; n < 400; ++n) {
    const int cell = static_cast<int>(random() % 768);
    const int kind = static_cast<int>(random() % 7);
    const uint8_t colour = sparkleColours[random() % 5];
    if (taken[cell] || (cell / 32 == 23)) continue;
    taken[cell] = true;
    // Neighbours stay free so that sparkles do not crowd.
    for (int d : {-33, -32, -31, -1, 1, 31, 32, 33})
      if (cell + d >= 0 && cell + d < 768) taken[cell + d] = true;
    const int x = (cell % 32) * 8 + 3 + static_cast<int>(random() % 2);
    const int y = (cell / 32) * 8 + 3 + static_cast<int>(random() % 2);
    Sparkle(p, x, y, kind < 3 ? 0 : kind < 5 ? 1 : 2, colour);
  }
  CentredText(p, 184, "(C) CORVANE", WHITE);
  return p.ToScreen();
}

std::vector<uint8_t> TestCardScreen() {
  CPicture p;
  // A blue grid every 16 pixels on black.
  for (int y = 0; y < SCREEN_HEIGHT; ++y)
    for (int x = 0; x < SCREEN_WIDTH; ++x)
      if (x % 16 == 7 || y % 16 == 7) p.Set(x, y, BLUE);
  p.FillRect(0, 0, 256, 16, BLACK);
  CentredText(p, 4, "GLIMMERBOX TEST CARD", WHITE | BRIGHT);

  // Bars in falling brightness, four cells wide: normal on rows 3-9, BRIGHT on rows 10-14.
  const uint8_t order[] = {WHITE, YELLOW, CYAN, GREEN, MAGENTA, RED, BLUE, BLACK};
  const char* names[] = {"WHT", "YEL", "CYN", "GRN", "MAG", "RED", "BLU", "BLK"};
  for (int i = 0; i < 8; ++i) {
    p.FillRect(i * 32, 24, 32, 56, order[i]);
    p.FillRect(i * 32, 80, 32, 40, order[i] | BRIGHT);
    p.FillRect(i * 32, 120, 32, 8, BLACK);
    p.Text(i * 32 + 4, 120, names[i],
           static_cast<uint8_t>((i == 7 ? uint8_t{WHITE} : order[i]) | BRIGHT));
  }
  // A circle over the bars, dark on light colours and light on dark ones.
  auto light = [](uint8_t c) {
    return (c & 7) == WHITE || (c & 7) == YELLOW || (c & 7) == CYAN || (c & 7) == GREEN;
  };
  std::vector<std::pair<int, int>> ring;
  for (int a = 0; a < 2000; ++a) {
    const double t = a * 2 * PI / 2000;
    ring.emplace_back(128 + static_cast<int>(std::lround(92 * std::cos(t))),
                      72 + static_cast<int>(std::lround(52 * std::sin(t))));
  }
  std::vector<uint8_t> under(ring.size());
  for (size_t i = 0; i < ring.size(); ++i) under[i] = p.At(ring[i].first, ring[i].second);
  for (size_t i = 0; i < ring.size(); ++i) {
    const auto [x, y] = ring[i];
    if (y >= 24 && y < 120) p.Set(x, y, light(under[i]) ? BLACK : WHITE | BRIGHT);
  }

  // Gratings of 1, 2 and 4 pixel lines, and a pixel checkerboard, on rows 17 and 18.
  p.FillRect(0, 136, 256, 16, BLACK);
  for (int y = 136; y < 152; ++y) {
    for (int x = 8; x < 248; ++x) {
      const int group = (x - 8) / 60;
      const int width = 1 << group;
      const bool on = group < 3 ? ((x - 8) / width) % 2 == 0 : ((x + y) & 1) == 0;
      if (on) p.Set(x, y, WHITE | BRIGHT);
    }
  }
  // The FLASH box: red and white, changing places every 16 frames.
  p.FillRect(96, 160, 64, 16, RED | BRIGHT);
  p.Text(108, 164, "FLASH", WHITE | BRIGHT);
  for (int column = 12; column < 20; ++column) {
    p.Flash(column, 20);
    p.Flash(column, 21);
  }
  p.FillRect(0, 184, 256, 8, BLACK);
  CentredText(p, 184, "8 COLOURS, NORMAL AND BRIGHT", WHITE);
  return p.ToScreen();
}

std::vector<uint8_t> SunsetScreen() {
  CPicture p;
  constexpr int HORIZON = 128;
  // Sky: black at the top through blue, magenta and red to yellow at the horizon, two colours
  // per band of cells so that the dither never needs a third.
  struct Band {
    int top;
    uint8_t from, to;
  };
  const Band bands[] = {
      {0, BLACK, BLUE}, {32, BLUE, MAGENTA}, {64, MAGENTA, RED}, {96, RED, YELLOW}};
  // Around the sun the sky is plain, so that the sun's cells hold two colours only.
  const int sunX = 128, sunY = 104, sunR = 40, glowR = 46;
  for (int y = 0; y < HORIZON; ++y) {
    const Band& band = bands[std::min(y / 32, 3)];
    const int level = (y - band.top) * 17 / 32;
    for (int x = 0; x < SCREEN_WIDTH; ++x) {
      const int d2 = (x - sunX) * (x - sunX) + (y - sunY) * (y - sunY);
      if (d2 <= glowR * glowR)
        p.Set(x, y, y < 64 ? MAGENTA : RED);
      else
        p.Dither(x, y, band.from, band.to, level);
    }
  }
  // The sun, bright yellow, cut by stripes that widen towards the horizon.
  for (int y = sunY - sunR; y < HORIZON; ++y) {
    const int k = y - (sunY - 10);
    if (k >= 0 && k % 7 < 1 + k / 9) continue;
    for (int x = sunX - sunR; x <= sunX + sunR; ++x)
      if ((x - sunX) * (x - sunX) + (y - sunY) * (y - sunY) <= sunR * sunR)
        p.Set(x, y, YELLOW | BRIGHT);
  }
  // Mountains: two ridges of summed sines, the far one dark blue, the near one black.
  for (int x = 0; x < SCREEN_WIDTH; ++x) {
    const double far =
        98 + 10 * std::sin(x * 0.045) + 6 * std::sin(x * 0.11 + 1.3) + 3 * std::sin(x * 0.31);
    const double near =
        116 + 6 * std::sin(x * 0.03 + 2.0) + 4 * std::sin(x * 0.13) + 2 * std::sin(x * 0.47 + 0.5);
    // The far ridge stays behind the sun's glow.
    for (int y = static_cast<int>(far); y < HORIZON; ++y)
      if ((x - sunX) * (x - sunX) + (y - sunY) * (y - sunY) > glowR * glowR) p.Set(x, y, BLUE);
    for (int y = static_cast<int>(near); y < HORIZON; ++y) p.Set(x, y, BLACK);
  }
  // The ground: a grid in perspective, magenta fading to black at the horizon.
  for (int y = HORIZON; y < SCREEN_HEIGHT; ++y) {
    const double depth = 600.0 / (y - HORIZON + 6);  // distance of this line
    const bool across = std::fmod(depth, 12.0) < 12.0 * 0.02 * (y - HORIZON + 6) / 8;
    for (int x = 0; x < SCREEN_WIDTH; ++x) {
      const double worldX = (x - 128) * depth / 60.0;
      const bool along = std::fabs(std::remainder(worldX, 16.0)) < 0.05 * depth / 1.2 + 0.6;
      uint8_t colour = BLACK;
      if (across || along) colour = y < HORIZON + 10 ? MAGENTA : MAGENTA | BRIGHT;
      p.Set(x, y, colour);
    }
  }
  p.FillRect(0, HORIZON, 256, 1, RED | BRIGHT);
  return p.ToScreen();
}

std::vector<uint8_t> SpheresScreen() {
  CPicture p;
  // Camera at the origin looking down +z; floor at y = -1; light from upper left.
  constexpr int HORIZON = 56;
  struct Sphere {
    double x, y, z, r;
    uint8_t colour;
  };
  const Sphere spheres[] = {{-2.0, -0.1, 6.0, 0.9, RED | BRIGHT},
                            {0.3, -0.35, 4.2, 0.65, MAGENTA | BRIGHT},
                            {2.6, 0.2, 8.0, 1.2, GREEN | BRIGHT}};
  const double lx = -0.5, ly = 0.7, lz = -0.5;
  const double ll = std::sqrt(lx * lx + ly * ly + lz * lz);
  for (int py = 0; py < SCREEN_HEIGHT; ++py) {
    for (int px = 0; px < SCREEN_WIDTH; ++px) {
      const double dx = (px - 128) / 128.0, dy = -(py - HORIZON) / 128.0, dz = 1.0;
      const double dl = std::sqrt(dx * dx + dy * dy + dz * dz);
      const double ux = dx / dl, uy = dy / dl, uz = dz / dl;
      // Nearest sphere hit.
      double best = 1e9;
      const Sphere* hit = nullptr;
      for (const Sphere& s : spheres) {
        const double b = ux * s.x + uy * s.y + uz * s.z;
        const double c = s.x * s.x + s.y * s.y + s.z * s.z - s.r * s.r;
        const double disc = b * b - c;
        if (disc < 0) continue;
        const double t = b - std::sqrt(disc);
        if (t > 0 && t < best) best = t, hit = &s;
      }
      if (hit) {
        const double nx = (ux * best - hit->x) / hit->r, ny = (uy * best - hit->y) / hit->r,
                     nz = (uz * best - hit->z) / hit->r;
        double shade = (nx * lx + ny * ly + nz * lz) / ll;
        shade = std::clamp(shade, 0.0, 1.0);
        // Highlight: a white spot where the reflected light meets the eye.
        const double glint = std::pow(std::max(0.0, shade), 40);
        if (glint > 0.6) {
          p.Set(px, py, WHITE | BRIGHT);
        } else {
          p.Dither(px, py, BLACK, hit->colour, static_cast<int>(std::lround(2 + shade * 15)));
        }
        continue;
      }
      if (uy >= -0.001) {
        // Sky: blue overhead, dark at the horizon.
        p.Dither(px, py, BLACK, BLUE, std::clamp((HORIZON - 8 - py) * 17 / (HORIZON - 16), 0, 16));
        continue;
      }
      // Floor: checkerboard of red and white squares; shadows darken it.
      // From the unnormalised ray, so that a scanline keeps one depth exactly.
      const double fz = -1.0 / dy, fx = dx * fz, t = fz;
      const bool white =
          ((static_cast<int>(std::floor(fx)) + static_cast<int>(std::floor(fz))) & 1) != 0;
      bool shadow = false;
      for (const Sphere& s : spheres) {
        // Straight towards the light from the floor point.
        const double ox = fx - s.x, oy = -1.0 - s.y, oz = fz - s.z;
        const double b = (ox * lx + oy * ly + oz * lz) / ll;
        const double c = ox * ox + oy * oy + oz * oz - s.r * s.r;
        if (b < 0 && b * b - c > 0) shadow = true;
      }
      const uint8_t square = white ? WHITE | BRIGHT : BLUE | BRIGHT;
      if (shadow) {
        p.Dither(px, py, BLACK, square, 4);
      } else {
        // Far away the squares blur into blue, then fade into the dark.
        const uint8_t far = t > 9 ? BLUE | BRIGHT : square;
        p.Dither(px, py, BLACK, far, std::clamp(static_cast<int>(16 - (t - 9) * 1.5), 0, 16));
      }
    }
  }
  p.FillRect(0, 0, 256, 16, BLACK);
  CentredText(p, 4, "GLIMMERBOX", WHITE | BRIGHT);
  return p.ToScreen();
}

std::vector<DemoScreen> DemoScreens() {
  return {
      {"glimmerbox_title.scr",
       "the Glimmerbox title: the name in large letters, sparkles and a television", TitleScreen()},
      {"test_card.scr",
       "a test card: the 8 colours normal and BRIGHT, a circle, gratings and a FLASH box",
       TestCardScreen()},
      {"sunset.scr", "a sunset over mountains and a grid in perspective", SunsetScreen()},
      {"spheres.scr", "three shaded spheres over a checkerboard floor", SpheresScreen()},
  };
}
