#include "emulation/machine48.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "emulation/ay_chip.h"
#include "emulation/display.h"
#include "emulation/machine_setup.h"
#include "emulation/rom_source.h"
#include "tests/emulation/machine_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Reads the text on the machine's captured display with a ROM's own character set (at 0x3D00,
// characters 32-127); cells that match no character read as '?', blank cells as ' '. Character
// 127 is the copyright sign.
std::vector<std::string> ScreenText(const CMachine& machine, const std::vector<uint8_t>& rom) {
  std::vector<std::string> rows;
  const uint8_t* lines = machine.DisplayLineBuffer();
  for (int row = 0; row < 24; ++row) {
    std::string text;
    for (int column = 0; column < 32; ++column) {
      uint8_t cell[8];
      for (int k = 0; k < 8; ++k) cell[k] = lines[(row * 8 + k) * DISPLAY_LINE_BYTES + column];
      std::string found = "?";
      for (int ch = 32; ch < 128; ++ch) {
        if (std::memcmp(cell, &rom[0x3D00 + (ch - 32) * 8], 8) == 0) {
          found = ch == 127 ? "\u00a9" : std::string(1, static_cast<char>(ch));
          break;
        }
      }
      text += found;
    }
    rows.push_back(text);
  }
  return rows;
}

bool ScreenShows(const CMachine& machine, const std::vector<uint8_t>& rom, const std::string& text) {
  for (const std::string& row : ScreenText(machine, rom))
    if (row.find(text) != std::string::npos) return true;
  return false;
}

using Speccy48 = MachineTest;

}  // namespace

// A 48K machine needs nothing but what its setup record hands it: here a ROM image and a key
// matrix. After booting, P held for a few frames is read by the ROM's keyboard scan: in K mode it
// is the PRINT token, which the ROM keeps in LAST_K.
TEST(Machine48, RunsFromAROMAndAKeyMatrixAlone) {
  const std::vector<uint8_t> image = ReadFile(std::string(GLIMMERBOX_SHARED_DIR) + "/roms/48.rom");
  if (image.size() != ROM_SIZE) GTEST_SKIP() << "no 48.rom in " GLIMMERBOX_SHARED_DIR "/roms";
  CRomImages roms;
  roms.Set(ROM_48, image);
  uint8_t keys[8] = {};
  MachineSetup setup;
  setup.roms = &roms;
  setup.keyMatrix = keys;
  CMachine48 machine(std::move(setup));
  machine.Throttle(false);
  float clock = 0;
  const auto run = [&](int frames) {
    for (int i = 0; i < frames; ++i) machine.UpdateFrame(clock += 0.02f);
  };
  constexpr uint16_t LAST_K = 23560;
  run(100);
  EXPECT_NE(machine.Peek(LAST_K), 0xF5);
  keys[5] = 0x01;  // half-row 5 (P O I U Y), bit 0: P
  run(5);
  keys[5] = 0;
  run(5);
  EXPECT_EQ(machine.Peek(LAST_K), 0xF5);  // PRINT
}

TEST_F(Speccy48, BootsTheOriginalROMFromRandomRAMToItsCopyrightLine) {
  if (!HaveSharedRoms()) GTEST_SKIP() << "no ROM images in " << SharedRoms();
  const std::vector<uint8_t> rom = ReadFile(SharedRoms() + "/48.rom");
  Machine48 machine(Setup());
  int frames = 0;
  while (frames < 200 && !ScreenShows(machine, rom, "\u00a9 1982 Sinclair Research Ltd")) {
    RunFrames(machine, 1);
    ++frames;
  }
  EXPECT_LT(frames, 200) << "copyright line not shown";
  EXPECT_EQ(ScreenText(machine, rom)[23].substr(0, 29), "\u00a9 1982 Sinclair Research Ltd");
}

TEST_F(Speccy48, BootsOpenSEBasic) {
  const std::string folder = "/usr/share/spectrum-roms";
  if (!std::filesystem::exists(folder + "/opense.rom")) GTEST_SKIP() << "opense-basic not installed";
  TempDir roms;
  std::filesystem::copy_file(folder + "/opense.rom", roms.file("48.rom"));
  roms_.SetFolder(roms.path().string());
  const std::vector<uint8_t> rom = ReadFile(roms.file("48.rom"));
  Machine48 machine(Setup());
  RunFrames(machine, 200);
  EXPECT_TRUE(ScreenShows(machine, rom, "\u00a9 1981 Nine Tiles Networks Ltd"));
}

TEST_F(Speccy48, AMissingROMReadsAsAnEmptyBus) {
  roms_.SetFolder("/nonexistent");
  Machine48 machine(Setup());
  EXPECT_EQ(machine.Peek(0x0000), 0xFF);
  RunFrames(machine, 2);  // RST 38 forever on 0xFF: harmless
  EXPECT_EQ(machine.Peek(0x3FFF), 0xFF);
}

TEST_F(Speccy48, PowerOnAndResetState) {
  Machine48 machine(Setup());
  EXPECT_EQ(machine.GetModel(), SPECTRUM_48);
  EXPECT_EQ(Register(machine, REG_PC), 0);
  EXPECT_EQ(Register(machine, REG_SP), 0xFFFF);
  EXPECT_EQ(Register(machine, REG_AF), 0xFFFF);
  EXPECT_EQ(Register(machine, REG_IFF1), 0);
  EXPECT_EQ(Register(machine, REG_IM), 0);
  EXPECT_EQ(machine.GetBorder(), 0);
  EXPECT_EQ(machine.PortFE() & 0x10, 0x10);
  EXPECT_TRUE(machine.PictureChanged());
}

TEST_F(Speccy48, VariantsOfTheClass) {
  Machine48 machine(Setup());
  EXPECT_FALSE(machine.SetVariant(SPECTRUM_128));
  EXPECT_EQ(machine.GetModel(), SPECTRUM_48);
  EXPECT_TRUE(machine.SetVariant(SPECTRUM_16));
  EXPECT_EQ(machine.GetModel(), SPECTRUM_16);
  machine.Poke(0xFFFF, 0x5A);
  EXPECT_EQ(machine.Peek(0xFFFF), 0x5A);  // the 16K model keeps the 48K layout
  EXPECT_EQ(machine.FrameLength(), 69888u);
}

TEST_F(Speccy48, PokeNeverChangesROMAndPagesMapLikeTheHardware) {
  Machine48 machine(Setup());
  const uint8_t romByte = machine.Peek(0x3FFF);
  EXPECT_EQ(machine.Poke(0x3FFF, romByte ^ 1), romByte);
  EXPECT_EQ(machine.Peek(0x3FFF), romByte);
  machine.Poke(0x4000, 0x12);
  EXPECT_EQ(machine.Poke(0x4000, 1), 0x12);
  EXPECT_EQ(machine.Peek(0x4000), 1);

  struct Case { int32_t page; uint16_t address; };
  for (const Case c : {Case{4, 0x8000}, Case{5, 0xC000}, Case{8, 0x4000}, Case{3, 0x4000}})
    EXPECT_EQ(machine.SnapshotPagePointer(c.page), machine.MemoryPointer(c.address)) << c.page;
  for (const Case c : {Case{5, 0x4000}, Case{2, 0x8000}, Case{0, 0xC000}})
    EXPECT_EQ(machine.RamBankPointer(c.page), machine.MemoryPointer(c.address)) << c.page;
  EXPECT_EQ(machine.RamBankPointer(7), nullptr);
}

TEST_F(Speccy48, Z80CodeCannotWriteROM) {
  Machine48 machine(Setup());
  const uint8_t before = machine.Peek(0x0000);
  // LD A,0x77; LD (0x0000),A; LD (0x4000),A; HALT
  LoadProgram(machine, 0x8000, {0x3E, 0x77, 0x32, 0x00, 0x00, 0x32, 0x00, 0x40, 0x76});
  RunFrames(machine, 1);
  EXPECT_EQ(machine.Peek(0x0000), before);
  EXPECT_EQ(machine.Peek(0x4000), 0x77);
}

TEST_F(Speccy48, ResetOrLoadOfOneMachineKeepsTheOtherMachinesMemoryMaps) {
  Machine48 first(Setup());
  Machine48 second(Setup());
  second.Reset();  // leaves the second machine's context in the core
  LoadProgram(first, 0x8000, {0x3E, 0x42, 0x32, 0x00, 0x90, 0x76});  // LD (0x9000),0x42; HALT
  second.Poke(0x9000, 0);
  RunFrames(first, 1);
  EXPECT_EQ(first.Peek(0x9000), 0x42);
  EXPECT_EQ(second.Peek(0x9000), 0);
}

TEST_F(Speccy48, DisplayLinesAreCapturedFromTheInterleavedLayoutLineByLine) {
  Machine48 machine(Setup());
  // Display lines 1, 8 and 64 live at 0x4100, 0x4020 and 0x4800.
  EXPECT_EQ(DisplayLineOffset(1), 0x0100u);
  EXPECT_EQ(DisplayLineOffset(8), 0x0020u);
  EXPECT_EQ(DisplayLineOffset(64), 0x0800u);

  // A program that sets attribute 0x5800 to 0x01 until display line 3 has been captured, then to
  // 0x02: lines 0-3 of the first character row show one colour, lines 4-7 another.
  machine.Poke(0x5800, 0x01);
  std::vector<uint8_t> code = Delay(14336 + 3 * 224 + 100);  // past the capture of line 3
  code.insert(code.end(), {0x3E, 0x02, 0x32, 0x00, 0x58, 0x76});  // LD A,2; LD (0x5800),A; HALT
  LoadProgram(machine, 0x8000, code);
  RunFrames(machine, 1);
  const uint8_t* lines = machine.DisplayLineBuffer();
  for (int line = 0; line < 8; ++line)
    EXPECT_EQ(lines[line * DISPLAY_LINE_BYTES + 32], line <= 3 ? 0x01 : 0x02) << line;
}

TEST_F(Speccy48, ThrottleKeepsFiftyFramesASecondAndForgetsLargerDebts) {
  Machine48 machine(Setup());
  // A frame that ran leaves its executed T-states; an update without a frame leaves 0.
  LoadProgram(machine, 0x8000, {0xFB, 0x76, 0x18, 0xFD});  // EI; HALT; JR -3
  float now = 1.0f;
  auto framesRun = [&](float step, int updates) {
    int frames = 0;
    for (int i = 0; i < updates; ++i) {
      machine.UpdateFrame(now);
      if (machine.ExecutedTStates() != 0) ++frames;
      now += step;
    }
    return frames;
  };
  machine.UpdateFrame(0.5f);
  const int fast = framesRun(0.01f, 100);  // one second at 100 updates a second
  EXPECT_NEAR(fast, 50, 2);
  const int slow = framesRun(0.04f, 25);  // one second at 25 updates a second: half speed
  EXPECT_EQ(slow, 25);
  machine.Throttle(false);
  EXPECT_EQ(framesRun(0.001f, 30), 30);
}

TEST_F(Speccy48, FlashPhaseIsZeroForSixteenFramesThenOneForSixteen) {
  Machine48 machine(Setup());
  std::vector<int> phases;
  machine.Throttle(false);
  for (int i = 0; i < 40; ++i) {
    machine.UpdateFrame(static_cast<float>(i));
    phases.push_back(machine.FlashPhase());
  }
  // The phase after frame k reflects the counter before the step.
  for (int i = 0; i < 40; ++i) EXPECT_EQ(phases[i], (i % 32) >= 16 ? 1 : 0) << i;
  machine.Pause(true);
  machine.UpdateFrame(100.0f);  // paused: FLASH still counts
  EXPECT_EQ(machine.FlashPhase(), 0);
}

TEST_F(Speccy48, PortReadsDecodeKeyboardKempstonAndFuller) {
  Machine48 machine(Setup());
  EXPECT_EQ(machine.PortRead(0x001F), 0xFF);
  machine.AttachHardware(HARDWARE_KEMPSTON, true);
  EXPECT_EQ(machine.PortRead(0x001F), 0x00);

  keyMatrix_[0] = 0x01;  // CAPS SHIFT
  EXPECT_EQ(machine.PortRead(0xFEFE), 0xFE);
  EXPECT_EQ(machine.PortRead(0xFDFE), 0xFF);  // another half-row
  EXPECT_EQ(machine.PortRead(0x00FE), 0xFE);  // every address line low: all rows
  keyMatrix_[0] = 0;
  EXPECT_EQ(machine.PortRead(0xFEFE), 0xFF);

  EXPECT_TRUE(machine.AttachHardware(HARDWARE_FULLER, true));
  CAYChip* chip = machine.FullerChip();
  EXPECT_TRUE(machine.AttachHardware(HARDWARE_FULLER, true));
  EXPECT_EQ(machine.FullerChip(), chip);  // made once
  machine.PortWrite(0x003F, 7);
  machine.PortWrite(0x005F, 0x38);
  EXPECT_EQ(machine.PortRead(0x003F), 0x38);
  EXPECT_EQ(machine.PortRead(0x013F), 0xFF);  // the whole 16-bit port must match

  EXPECT_FALSE(machine.AttachHardware(2, true));
  EXPECT_FALSE(machine.IsHardwareAttached(2));
  EXPECT_FALSE(machine.IsHardwareAttached(-1));
  machine.DetachAllHardware();
  EXPECT_FALSE(machine.IsHardwareAttached(HARDWARE_FULLER));
  EXPECT_EQ(machine.FullerChip(), chip);  // detaching keeps the chip
}

TEST_F(Speccy48, BeeperEdgeAtTheMiddleOfTheFrameLandsOnSample441) {
  RecordingStream* stream = nullptr;
  Machine48 machine(Setup({.beeper = true, .stream = &stream}));
  ASSERT_NE(stream, nullptr);
  // The latch starts at 0x18 (EAR set) after reset; switch EAR off at T-state 34944. The OUT
  // is timed from the start of the instruction: DI (4), LD A,0 (7), delay (leaves A at 0),
  // OUT (0xFE),A.
  std::vector<uint8_t> code = {0xF3, 0x3E, 0x00};
  std::vector<uint8_t> delay = Delay(34944 - 4 - 7);
  code.insert(code.end(), delay.begin(), delay.end());
  code.insert(code.end(), {0xD3, 0xFE, 0x76});  // OUT (0xFE),A; HALT
  LoadProgram(machine, 0x8000, code);
  RunFrames(machine, 1);
  ASSERT_EQ(stream->frames.size(), 1u);
  const std::vector<int16_t>& samples = stream->frames[0];
  EXPECT_EQ(samples[440], 7936);
  EXPECT_EQ(samples[441], 0);
  EXPECT_EQ(samples[881], 0);
}

TEST_F(Speccy48, VolumeClampsAndScalesTheBeeper) {
  Machine48 machine(Setup());
  struct Case { int32_t set; uint16_t stored; };
  for (const Case c : {Case{150, 100}, Case{-5, 100}, Case{101, 100}, Case{40, 40}, Case{0, 0}}) {
    machine.SetVolume(c.set);
    EXPECT_EQ(machine.GetVolume(), c.stored) << c.set;
  }
  EXPECT_EQ(BeeperLevel(0x10, 40), 3174);
}

TEST_F(Speccy48, PauseAndMuteDriveTheSoundStream) {
  RecordingStream* stream = nullptr;
  Machine48 machine(Setup({.stream = &stream}));
  machine.Pause(true);
  EXPECT_EQ(stream->stops, 1);
  machine.Pause(false);
  EXPECT_EQ(stream->restarts, 1);
  machine.Mute(true);
  EXPECT_EQ(stream->stops, 2);
  machine.Pause(false);  // muted: no restart
  EXPECT_EQ(stream->restarts, 1);
  RunFrames(machine, 2);
  EXPECT_TRUE(stream->frames.empty());  // muted machines hand over nothing
  machine.Mute(false);
  EXPECT_EQ(stream->restarts, 2);
  RunFrames(machine, 1);
  EXPECT_EQ(stream->frames.size(), 1u);
}

TEST_F(Speccy48, PausedMachinesKeepTheirProcessorState) {
  Machine48 machine(Setup());
  LoadProgram(machine, 0x8000, {0x3C, 0x18, 0xFD});  // INC A; JR -3
  RunFrames(machine, 1);
  machine.Pause(true);
  const uint16_t af = Register(machine, REG_AF);
  RunFrames(machine, 3);
  EXPECT_EQ(Register(machine, REG_AF), af);
  EXPECT_TRUE(machine.PictureChanged());
  machine.Pause(false);
  RunFrames(machine, 1);
  EXPECT_NE(Register(machine, REG_AF), af);
}
