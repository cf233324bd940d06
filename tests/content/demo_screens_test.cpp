#include "tools/content/demo_screens.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "emulation/display.h"
#include "tests/content/content_support.h"
#include "tools/content/demo_font.h"
#include "tools/content/screen_image.h"

TEST(DemoFont, GlyphsLeaveRoomBetweenCharacters) {
  for (char ch = 32; ch < 127; ++ch) {
    const Glyph& glyph = GlyphOf(ch);
    for (int row = 0; row < 8; ++row)
      EXPECT_EQ(glyph[row] & 0x01, 0) << "column 7 of '" << ch << "'";
    if (ch != ',' && ch != ';' && ch != '_') {
      EXPECT_EQ(glyph[7], 0) << "row 7 of '" << ch << "'";
    }
  }
}

TEST(DemoFont, LettersAndDigitsAreAllThereAndDistinct) {
  std::set<Glyph> seen;
  for (const char* set : {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "0123456789"}) {
    for (const char* ch = set; *ch; ++ch) {
      EXPECT_NE(GlyphOf(*ch), Glyph{}) << *ch;
      EXPECT_TRUE(seen.insert(GlyphOf(*ch)).second) << *ch << " looks like another character";
    }
  }
  EXPECT_EQ(GlyphOf('g'), GlyphOf('G'));
  EXPECT_EQ(GlyphOf('\x01'), GlyphOf(' '));
  const auto bytes = FontBytes();
  EXPECT_TRUE(std::equal(GlyphOf('A').begin(), GlyphOf('A').end(), &bytes[('A' - 32) * 8]));
}

// The demo font is our own: no glyph may be the 48K ROM's glyph for the same character.
TEST(DemoFont, IsNotTheROMCharacterSet) {
  const std::string path = std::string(GLIMMERBOX_SHARED_DIR) + "/roms/48.rom";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "no ROM image at " << path;
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> rom((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
  ASSERT_EQ(rom.size(), 16384u);
  for (char ch = 33; ch < 127; ++ch) {
    const Glyph& glyph = GlyphOf(ch);
    EXPECT_FALSE(std::equal(glyph.begin(), glyph.end(), &rom[0x3D00 + (ch - 32) * 8])) << ch;
  }
}

TEST(ScreenConversion, KeepsTheTwoMostUsedColoursOfACell) {
  struct Case {
    const char* what;
    std::vector<std::pair<uint8_t, int>> pixels;  // colour, how many of the 64
    uint8_t attribute;
  };
  const Case cases[] = {
      {"plain black: white ink for later drawing", {{BLACK, 64}}, 0x07},
      {"the rarer colour is ink", {{BLUE, 40}, {YELLOW, 24}}, 0x0E},
      {"BRIGHT by majority, black counts for neither",
       {{BLACK, 30}, {RED | BRIGHT, 20}, {GREEN, 14}},
       0x42},
      {"a third colour is dropped", {{RED, 30}, {WHITE, 20}, {MAGENTA, 14}}, 0x17},
  };
  for (const Case& c : cases) {
    CPicture picture;
    int n = 0;
    for (const auto& [colour, count] : c.pixels)
      for (int k = 0; k < count; ++k, ++n) picture.Set(n % 8, n / 8, colour);
    const std::vector<uint8_t> screen = picture.ToScreen();
    EXPECT_EQ(screen[ATTRIBUTE_OFFSET], c.attribute) << c.what;
  }
  // Other colours go to the nearer of the two: black to red paper, cyan to white ink.
  CPicture picture;
  picture.FillRect(0, 0, 8, 4, RED);
  picture.FillRect(0, 4, 8, 2, WHITE);
  picture.FillRect(0, 6, 8, 1, BLACK);
  picture.FillRect(0, 7, 8, 1, CYAN);
  const std::vector<uint8_t> screen = picture.ToScreen();
  EXPECT_EQ(screen[ATTRIBUTE_OFFSET], 0x17);
  EXPECT_FALSE(InkAt(screen, 0, 6));
  EXPECT_TRUE(InkAt(screen, 0, 7));

  // Mostly white text on black: white is paper, unless black paper is asked for.
  CPicture text;
  text.FillRect(0, 0, 8, 6, WHITE | BRIGHT);
  EXPECT_EQ(text.ToScreen()[ATTRIBUTE_OFFSET], 0x78);
  const std::vector<uint8_t> inked = text.ToScreen(true);
  EXPECT_EQ(inked[ATTRIBUTE_OFFSET], 0x47);
  EXPECT_TRUE(InkAt(inked, 0, 0));
  EXPECT_FALSE(InkAt(inked, 0, 7));
}

TEST(DemoScreens, AreScreenImages) {
  const std::vector<DemoScreen> screens = DemoScreens();
  EXPECT_GE(screens.size(), 3u);
  for (const DemoScreen& screen : screens) {
    EXPECT_EQ(screen.bytes.size(), SCREEN_IMAGE_SIZE) << screen.file;
    EXPECT_EQ(std::filesystem::path(screen.file).extension(), ".scr");
    // A picture, not a blank: many cells in several colours.
    std::set<uint8_t> attributes(screen.bytes.begin() + ATTRIBUTE_OFFSET, screen.bytes.end());
    EXPECT_GE(attributes.size(), 6u) << screen.file;
  }
}

TEST(DemoScreens, TitleGivesEachLetterItsOwnInk) {
  const std::vector<uint8_t> screen = TitleScreen();
  const uint8_t inks[] = {RED, YELLOW, GREEN, CYAN, MAGENTA};
  for (int letter = 0; letter < 10; ++letter) {
    for (int row = 3; row <= 5; ++row) {
      for (int column = 1 + letter * 3; column < 4 + letter * 3; ++column) {
        bool anyInk = false;
        for (int y = row * 8; y < row * 8 + 8; ++y)
          for (int x = column * 8; x < column * 8 + 8; ++x) anyInk = anyInk || InkAt(screen, x, y);
        if (!anyInk) continue;
        // The letter's colour and black; which of them is ink depends on which covers more.
        const CellAttribute a = AttributeAt(screen, column, row);
        EXPECT_EQ(std::set<uint8_t>({a.ink, a.paper}), std::set<uint8_t>({inks[letter % 5], BLACK}))
            << "letter " << letter << " cell " << column << "," << row;
        EXPECT_TRUE(a.bright);
      }
    }
  }
  const std::vector<uint8_t> lines = ScreenToLines(screen);
  EXPECT_EQ(TextAt(lines.data(), 32, 72, 24), "SPECTRUMS ON TELEVISIONS");
}

TEST(DemoScreens, TestCardShowsEveryColourNormalAndBright) {
  const std::vector<uint8_t> screen = TestCardScreen();
  const uint8_t order[] = {WHITE, YELLOW, CYAN, GREEN, MAGENTA, RED, BLUE, BLACK};
  for (int bar = 0; bar < 8; ++bar) {
    for (int column = bar * 4; column < bar * 4 + 4; ++column) {
      const CellAttribute normal = AttributeAt(screen, column, 5);
      EXPECT_EQ(normal.paper, order[bar]) << column;
      EXPECT_FALSE(normal.bright) << column;
      const CellAttribute bright = AttributeAt(screen, column, 12);
      EXPECT_EQ(bright.paper, order[bar]) << column;
      EXPECT_TRUE(bright.bright || order[bar] == BLACK) << column;
    }
  }
  const std::vector<uint8_t> lines = ScreenToLines(screen);
  const char* names[] = {"WHT", "YEL", "CYN", "GRN", "MAG", "RED", "BLU", "BLK"};
  for (int bar = 0; bar < 8; ++bar)
    EXPECT_EQ(TextAt(lines.data(), bar * 32 + 4, 120, 3), names[bar]);
  EXPECT_EQ(TextAt(lines.data(), 108, 164, 5, RED | BRIGHT), "FLASH");
  for (int row = 0; row < 24; ++row)
    for (int column = 0; column < 32; ++column)
      EXPECT_EQ(AttributeAt(screen, column, row).flash,
                (row == 20 || row == 21) && column >= 12 && column < 20)
          << column << "," << row;
}
