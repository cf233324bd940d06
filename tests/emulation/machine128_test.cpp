#include "emulation/machine128.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "emulation/ay_chip.h"
#include "emulation/display.h"
#include "tests/emulation/machine_fixture.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The text of the captured display read with a ROM's character set at 0x3D00.
std::string ScreenText(const CMachine& machine, const std::vector<uint8_t>& rom) {
  std::string text;
  const uint8_t* lines = machine.DisplayLineBuffer();
  for (int row = 0; row < 24; ++row) {
    for (int column = 0; column < 32; ++column) {
      uint8_t cell[8];
      for (int k = 0; k < 8; ++k) cell[k] = lines[(row * 8 + k) * DISPLAY_LINE_BYTES + column];
      char found = '?';
      for (int ch = 32; ch < 128; ++ch)
        if (std::memcmp(cell, &rom[0x3D00 + (ch - 32) * 8], 8) == 0) found = static_cast<char>(ch);
      text += found;
    }
    text += '\n';
  }
  return text;
}

class Speccy128 : public MachineTest {
 protected:
  // Runs a short program that ends in HALT with interrupts off.
  static void RunProgram(CMachine& machine, const std::vector<uint8_t>& code) {
    LoadProgram(machine, 0x8000, code);
    RunFrames(machine, 1);
  }
};

}  // namespace

TEST_F(Speccy128, TheModelsBootToTheirMenus) {
  if (!HaveSharedRoms()) GTEST_SKIP() << "no ROM images in " << SharedRoms();
  struct Case { int32_t model; const char* charsetRom; const char* menuItem; };
  for (const Case c : {Case{SPECTRUM_128, "128-1.rom", "128 BASIC"},
                       Case{SPECTRUM_PLUS2, "plus2-1.rom", "128 BASIC"}}) {
    Machine128 machine(Setup());
    ASSERT_TRUE(machine.SetVariant(c.model));
    machine.Reset();
    const std::vector<uint8_t> rom = ReadFile(SharedRoms() + "/" + c.charsetRom);
    std::string screen;
    // The menu is drawn item by item; "48 BASIC" comes after "128 BASIC".
    for (int frame = 0; frame < 300 && screen.find("48 BASIC") == std::string::npos; ++frame) {
      RunFrames(machine, 1);
      screen = ScreenText(machine, rom);
    }
    EXPECT_NE(screen.find(c.menuItem), std::string::npos) << c.model << "\n" << screen;
    EXPECT_NE(screen.find("48 BASIC"), std::string::npos) << screen;
  }
}

TEST_F(Speccy128, In48KModeItRunsThe48KROMWithLockedPaging) {
  if (!HaveSharedRoms()) GTEST_SKIP() << "no ROM images in " << SharedRoms();
  Machine128 machine(Setup());
  ASSERT_TRUE(machine.SetVariant(SPECTRUM_48));
  EXPECT_EQ(machine.GetModel(), SPECTRUM_48);
  EXPECT_EQ(machine.MemoryPointer(0xC000), machine.Bank(3));
  EXPECT_EQ(machine.FrameLength(), 70908u);
  machine.PortWrite(0x7FFD, 0x07);  // locked: nothing changes
  EXPECT_EQ(machine.MemoryPointer(0xC000), machine.Bank(3));
  EXPECT_EQ(machine.PagingLatch(), 0x33);

  const std::vector<uint8_t> rom = ReadFile(SharedRoms() + "/48.rom");
  std::string screen;
  for (int frame = 0; frame < 300 && screen.find("1982 Sinclair") == std::string::npos; ++frame) {
    RunFrames(machine, 1);
    screen = ScreenText(machine, rom);
  }
  EXPECT_NE(screen.find("1982 Sinclair Research Ltd"), std::string::npos) << screen;
}

TEST_F(Speccy128, PagingMapsBanksAndROMsUntilLocked) {
  Machine128 machine(Setup());
  // OUT (0x7FFD),7 then LD (0xC000),0x77: bank 7 changes.
  RunProgram(machine, {0x01, 0xFD, 0x7F, 0x3E, 0x07, 0xED, 0x79,  // LD BC,0x7FFD; LD A,7; OUT (C),A
                       0x3E, 0x77, 0x32, 0x00, 0xC0, 0x76});     // LD A,0x77; LD (0xC000),A; HALT
  EXPECT_EQ(machine.Bank(7)[0], 0x77);
  EXPECT_EQ(machine.PagingLatch(), 7);
  machine.MakeContextCurrent();
  machine.PortWrite(0x7FFD, 0x14);  // bank 4, second ROM
  machine.SaveContext();
  EXPECT_EQ(machine.Peek(0xC000), machine.Bank(4)[0]);
  EXPECT_EQ(machine.MemoryPointer(0x0000), roms_.RomImage(ROM_128_1, {}));

  machine.MakeContextCurrent();
  machine.PortWrite(0x7FFD, 0x20);  // lock with bank 0
  machine.PortWrite(0x7FFD, 0x01);
  machine.SaveContext();
  EXPECT_EQ(machine.PagingLatch(), 0x20);
  EXPECT_EQ(machine.MemoryPointer(0xC000), machine.Bank(0));
  machine.Reset();  // reset unlocks
  EXPECT_EQ(machine.PagingLatch(), 0);
  EXPECT_EQ(machine.MemoryPointer(0x0000), roms_.RomImage(ROM_128_0, {}));
}

TEST_F(Speccy128, APortWithBits0_1And15ClearIsBothPagingAndULA) {
  Machine128 machine(Setup());
  machine.MakeContextCurrent();
  machine.PortWrite(0x0004, 0x13);  // bits 0, 1 and 15 clear
  machine.SaveContext();
  EXPECT_EQ(machine.PagingLatch(), 0x13);
  EXPECT_EQ(machine.GetBorder(), 3);
}

TEST_F(Speccy128, TheAYChipAnswersOnlyWhenEmulated) {
  {
    Machine128 silent(Setup());  // no AY asked for: no chip
    EXPECT_EQ(silent.AYChip(), nullptr);
    silent.PortWrite(0xFFFD, 7);
    silent.PortWrite(0xBFFD, 0x3F);
    EXPECT_EQ(silent.PortRead(0xFFFD), 0xFF);
  }
  Machine128 machine(Setup({.ay = true}));
  ASSERT_NE(machine.AYChip(), nullptr);
  machine.PortWrite(0xFFFD, 0x17);  // selects register 7
  machine.PortWrite(0xBFFD, 0x3F);
  EXPECT_EQ(machine.PortRead(0xFFFD), 0x3F);
  machine.PortWrite(0xFFFD, 15);
  EXPECT_EQ(machine.PortRead(0xFFFD), 0xFF);  // register 15 while port B is an input
  machine.PortWrite(0xFFFD, 7);
  machine.PortWrite(0xBFFD, 0xBF);
  machine.PortWrite(0xFFFD, 15);
  machine.PortWrite(0xBFFD, 0x42);
  EXPECT_EQ(machine.PortRead(0xFFFD), 0x42);
}

TEST_F(Speccy128, VariantsSelectTheirROMPairs) {
  Machine128 machine(Setup());
  EXPECT_FALSE(machine.SetVariant(4));
  EXPECT_FALSE(machine.SetVariant(-1));
  EXPECT_TRUE(machine.SetVariant(SPECTRUM_PLUS2));
  EXPECT_EQ(machine.GetModel(), SPECTRUM_PLUS2);
  machine.Reset();
  EXPECT_EQ(machine.MemoryPointer(0x0000), roms_.RomImage(ROM_PLUS2_0, {}));
  machine.MakeContextCurrent();
  machine.PortWrite(0x7FFD, 0x10);
  machine.SaveContext();
  EXPECT_EQ(machine.MemoryPointer(0x0000), roms_.RomImage(ROM_PLUS2_1, {}));
}

TEST_F(Speccy128, SnapshotPagesLandInTheBanksOfTheMode) {
  Machine128 machine(Setup());
  struct Case { int32_t page; int bank; };
  for (const Case c : {Case{3, 0}, Case{4, 1}, Case{5, 2}, Case{8, 5}, Case{10, 7}, Case{0, 0}})
    EXPECT_EQ(machine.SnapshotPagePointer(c.page), machine.Bank(c.bank)) << c.page;
  EXPECT_EQ(machine.RamBankPointer(13), machine.Bank(5));
  machine.SetVariant(SPECTRUM_48);
  for (const Case c : {Case{4, 2}, Case{5, 3}, Case{8, 5}, Case{3, 0}})
    EXPECT_EQ(machine.SnapshotPagePointer(c.page), machine.Bank(c.bank)) << c.page;
  // A 48K snapshot's RAM page 0 is the RAM at 0xC000, which is bank 3 in this mode.
  EXPECT_EQ(machine.RamBankPointer(0), machine.Bank(3));
  EXPECT_EQ(machine.RamBankPointer(5), machine.Bank(5));
}

TEST_F(Speccy128, A48KImageSpreadsIntoTheBanksOf48KMode) {
  Machine128 machine(Setup());
  for (int bank = 0; bank < 3; ++bank) std::memset(machine.Bank(bank), 0x10 + bank, 16384);
  machine.Spread48KImage();
  EXPECT_EQ(machine.Bank(5)[100], 0x10);
  EXPECT_EQ(machine.Bank(2)[100], 0x11);
  EXPECT_EQ(machine.Bank(3)[100], 0x12);

  std::vector<uint8_t> image(49152);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i / 16384 + 1);
  machine.Load48KImage(image.data());
  EXPECT_EQ(machine.Bank(5)[0], 1);
  EXPECT_EQ(machine.Bank(2)[0], 2);
  EXPECT_EQ(machine.Bank(3)[0], 3);
}

TEST_F(Speccy128, ScreenImagesGoToTheScreenInForce) {
  Machine128 machine(Setup());
  std::vector<uint8_t> image(SCREEN_IMAGE_SIZE, 0xA5);
  machine.MakeContextCurrent();
  machine.PortWrite(0x7FFD, 0x08);  // shadow screen
  machine.SaveContext();
  machine.LoadScreenImage(image.data());
  EXPECT_EQ(machine.Bank(7)[0], 0xA5);
  EXPECT_EQ(machine.DisplayLineBuffer()[0], 0xA5);
}

TEST_F(Speccy128, FlippingTheScreenMidFrameShowsBothScreens) {
  Machine128 machine(Setup());
  std::memset(machine.Bank(5), 0x11, SCREEN_IMAGE_SIZE);
  std::memset(machine.Bank(7), 0x77, SCREEN_IMAGE_SIZE);
  // Switch to bank 7 half-way down the picture. Each run ends after the instruction that uses up
  // its budget, so the captures drift a little later in the program than the nominal line times.
  std::vector<uint8_t> code = Delay(14364 + 96 * 228);
  code.insert(code.end(), {0x01, 0xFD, 0x7F, 0x3E, 0x08, 0xED, 0x79, 0x76});  // OUT (0x7FFD),8
  RunProgram(machine, code);
  const uint8_t* lines = machine.DisplayLineBuffer();
  int firstShadowLine = -1;
  for (int line = 0; line < DISPLAY_LINES; ++line) {
    const uint8_t expected = firstShadowLine < 0 ? 0x11 : 0x77;
    if (firstShadowLine < 0 && lines[line * DISPLAY_LINE_BYTES] == 0x77) firstShadowLine = line;
    else EXPECT_EQ(lines[line * DISPLAY_LINE_BYTES], expected) << line;
  }
  EXPECT_GT(firstShadowLine, 85);
  EXPECT_LE(firstShadowLine, 96);
}

// The shadow-screen bit picks the picture whether paging is locked or not, in free frames and in
// frames played from a recording alike.
TEST_F(Speccy128, TheScreenBitPicksTheScreenInEveryFrame) {
  // A recording's frame as an input source gives it: a fixed number of fetches, no port inputs.
  struct OneRecordedFrame : CInputSource {
    bool FrameStart(int32_t& fetchCount) override {
      fetchCount = 500;
      return true;
    }
    uint8_t ReadPort(uint16_t) override { return 0xFF; }
    bool FrameEnd() override { return false; }
  } recorded;
  for (const uint8_t latch : {0x00, 0x08, 0x20, 0x28}) {
    for (const bool fromRecording : {false, true}) {
      SCOPED_TRACE(std::to_string(latch) + (fromRecording ? " recorded" : " free"));
      Machine128 machine(Setup());
      std::memset(machine.Bank(5), 0x55, 6912);
      std::memset(machine.Bank(7), 0xAA, 6912);
      machine.MakeContextCurrent();
      machine.PortWrite(0x7FFD, latch);
      machine.SaveContext();
      LoadProgram(machine, 0x8000, {0x18, 0xFE});  // JR $
      if (fromRecording) machine.SetInputSource(&recorded);
      RunFrames(machine, 1);
      EXPECT_EQ(machine.DisplayLineBuffer()[0], (latch & 0x08) ? 0xAA : 0x55);
    }
  }
}

// The Pentagon 128: its model number, the 128K ROM pair, and its own frame: 320 lines of 224
// T-states with the picture's first line 80 lines after the interrupt, so a screen flip timed
// for line 96 there shows from line 96 (the 128K's timing would put it near line 110).
TEST_F(Speccy128, ThePentagonHasItsOwnFrame) {
  Machine128 machine(Setup());
  ASSERT_TRUE(machine.SetVariant(SPECTRUM_PENTAGON));
  EXPECT_EQ(machine.GetModel(), SPECTRUM_PENTAGON);
  EXPECT_EQ(machine.FrameLength(), 71680u);
  machine.Reset();
  EXPECT_EQ(machine.MemoryPointer(0x0000), roms_.RomImage(ROM_128_0, {}));
  std::memset(machine.Bank(5), 0x11, SCREEN_IMAGE_SIZE);
  std::memset(machine.Bank(7), 0x77, SCREEN_IMAGE_SIZE);
  std::vector<uint8_t> code = Delay(80 * 224 + 68 + 96 * 224);
  code.insert(code.end(), {0x01, 0xFD, 0x7F, 0x3E, 0x08, 0xED, 0x79, 0x76});  // OUT (0x7FFD),8
  RunProgram(machine, code);
  const uint8_t* lines = machine.DisplayLineBuffer();
  int firstShadowLine = DISPLAY_LINES;
  for (int line = DISPLAY_LINES - 1; line >= 0 && lines[line * DISPLAY_LINE_BYTES] == 0x77; --line) firstShadowLine = line;
  EXPECT_GT(firstShadowLine, 90);
  EXPECT_LE(firstShadowLine, 97);
  // Paging as on the 128K, and back to its frame as a 128K.
  EXPECT_EQ(machine.PagingLatch(), 0x08);
  ASSERT_TRUE(machine.SetVariant(SPECTRUM_128));
  EXPECT_EQ(machine.FrameLength(), 70908u);
}
