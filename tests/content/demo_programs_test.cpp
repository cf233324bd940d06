#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "emulation/ay_chip.h"
#include "emulation/display.h"
#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "tests/content/content_support.h"
#include "tests/emulation/machine_fixture.h"
#include "tools/content/demo_program.h"
#include "tools/content/screen_image.h"

namespace {

class ContentPrograms : public MachineTest {
 protected:
  const std::vector<DemoProgram>& programs_ = AssembledPrograms();

  static const DemoProgram& Program(const std::string& file) {
    const DemoProgram* program = FindProgram(file);
    if (!program) {
      ADD_FAILURE() << "no program " << file;
      return AssembledPrograms().front();
    }
    return *program;
  }

  std::unique_ptr<CMachine> MachineFor(const DemoProgram& program, bool class128) {
    if (program.is128K || class128) return std::make_unique<Machine128>(Setup());
    return std::make_unique<Machine48>(Setup());
  }

  static bool InCode(const DemoProgram& program, uint16_t pc) {
    for (const auto& [first, last] : program.codeRanges)
      if (pc >= first && pc <= last) return true;
    return false;
  }

  // Every ROM byte HALT: a program that jumps into the ROM stays there and is seen.
  static void TrapROM(CMachine& machine) {
    uint8_t* rom = machine.CustomROM();
    std::memset(rom, 0x76, 16384);
    machine.MapROM(rom);
  }

  static std::vector<uint8_t> Lines(const CMachine& machine) {
    return {machine.DisplayLineBuffer(), machine.DisplayLineBuffer() + DISPLAY_LINE_BUFFER_SIZE};
  }

  // Half-period lengths, in samples, between the level changes of a sound block.
  static std::vector<int> EdgeSpacings(const std::vector<int16_t>& samples) {
    std::vector<int> spacings;
    int last = -1;
    for (size_t i = 1; i < samples.size(); ++i) {
      if (samples[i] == samples[i - 1]) continue;
      if (last >= 0) spacings.push_back(static_cast<int>(i) - last);
      last = static_cast<int>(i);
    }
    return spacings;
  }
};

}  // namespace

TEST_F(ContentPrograms, AreAssembledWithTheirStartAndStack) {
  ASSERT_FALSE(programs_.empty());
  for (const DemoProgram& program : programs_) {
    SCOPED_TRACE(program.file);
    EXPECT_TRUE(program.errors.empty()) << program.errors.front();
    EXPECT_EQ(program.memory.size(), program.format == DemoFormat::ROM ? 16384u
                                     : program.is128K                  ? 131072u
                                                                       : 49152u);
    EXPECT_TRUE(InCode(program, program.pc));
    if (program.format != DemoFormat::ROM) {
      // The stack lies below the IM 2 table, in RAM that no 128K paging moves.
      EXPECT_EQ(program.sp, 0xBE00);
    }
  }
}

// Between frames every program is in its own code (never in the ROM, which is all HALTs for
// the RAM programs), waiting in its HALT for the next frame (its frame's work done in time), and
// the picture keeps changing: at least every other frame, and never still for more than three
// frames running. 48K programs run on both machine classes.
TEST_F(ContentPrograms, RunInTheirOwnCodeAndKeepMoving) {
  for (const DemoProgram& program : programs_) {
    for (const bool class128 : {false, true}) {
      if (program.is128K && !class128) continue;
      SCOPED_TRACE(program.file + (class128 ? " on a 128K machine" : " on a 48K machine"));
      std::unique_ptr<CMachine> machine = MachineFor(program, class128);
      PokeProgram(*machine, program);
      if (program.format != DemoFormat::ROM && !program.is128K) TrapROM(*machine);
      std::vector<uint8_t> before = Lines(*machine);
      int changed = 0, still = 0, longestStill = 0;
      for (int frame = 0; frame < 150; ++frame) {
        RunFrames(*machine, 1);
        const uint16_t pc = Register(*machine, REG_PC);
        ASSERT_TRUE(InCode(program, pc)) << "frame " << frame << " PC " << std::hex << pc;
        if (frame >= 4) {  // after setting up: clearing the screen alone takes two frames
          EXPECT_EQ(Register(*machine, REG_HALT), 1) << "frame " << frame << " ran late";
        }
        std::vector<uint8_t> now = Lines(*machine);
        if (now != before) {
          ++changed;
          still = 0;
        } else {
          longestStill = std::max(longestStill, ++still);
        }
        before = std::move(now);
      }
      EXPECT_GE(changed, 75);
      EXPECT_LE(longestStill, 3);
    }
  }
}

TEST_F(ContentPrograms, MarqueeSpellsItsMessage) {
  const DemoProgram& program = Program("marquee.sna");
  // The message as LED columns: 8 a character, bit r for row r.
  std::vector<uint8_t> stream;
  for (uint16_t at = program.Symbol("message"); program.At(at) != 0; ++at) {
    const Glyph& glyph = GlyphOf(static_cast<char>(program.At(at)));
    for (int column = 0; column < 8; ++column) {
      uint8_t bits = 0;
      for (int row = 0; row < 8; ++row)
        if (glyph[row] & (0x80 >> column)) bits |= static_cast<uint8_t>(1 << row);
      stream.push_back(bits);
    }
  }
  const size_t length = stream.size();
  stream.insert(stream.end(), stream.begin(), stream.begin() + 32);  // it starts again

  Machine48 machine(Setup());
  PokeProgram(machine, program);
  size_t lastOffset = 0;
  int steps = 0;
  for (int frame = 0; frame < 400; ++frame) {
    RunFrames(machine, 1);
    const uint8_t* lines = machine.DisplayLineBuffer();
    std::vector<uint8_t> wall(32, 0);
    for (int row = 0; row < 8; ++row)
      for (int column = 0; column < 32; ++column)
        if (lines[(64 + row * 8) * 64 + 32 + column] != 0x01)
          wall[column] |= static_cast<uint8_t>(1 << row);
    // The wall must be a window of the message; it moves on by one column at a time.
    size_t offset = length;
    for (size_t k = 0; k < length; ++k)
      if (std::equal(wall.begin(), wall.end(), stream.begin() + static_cast<long>(k))) {
        offset = k;
        break;
      }
    if (std::all_of(wall.begin(), wall.end(), [](uint8_t b) { return b == 0; }))
      continue;  // spaces
    ASSERT_LT(offset, length) << "frame " << frame;
    if (steps > 0 && offset != lastOffset) {
      EXPECT_EQ(offset, (lastOffset + 1) % length) << "frame " << frame;
    }
    if (offset != lastOffset) ++steps;
    lastOffset = offset;
  }
  EXPECT_GE(steps, 150);  // a column every other frame
}

TEST_F(ContentPrograms, PlasmaRecoloursTheCellsOverTheCheckerboard) {
  Machine48 machine(Setup());
  PokeProgram(machine, Program("plasma.z80"));
  RunFrames(machine, 20);
  std::vector<uint8_t> before = Lines(machine);
  for (int frame = 0; frame < 10; ++frame) {
    RunFrames(machine, 1);
    const std::vector<uint8_t> now = Lines(machine);
    int cells = 0;
    for (int row = 0; row < 24; ++row)
      for (int column = 0; column < 32; ++column)
        cells += now[row * 8 * 64 + 32 + column] != before[row * 8 * 64 + 32 + column];
    EXPECT_GE(cells, 200) << "frame " << frame;
    for (int line = 0; line < 192; ++line)
      for (int column = 0; column < 32; ++column)
        ASSERT_EQ(now[line * 64 + column], (line & 1) ? 0xAA : 0x55);
    before = now;
  }
}

// Stars are drawn and erased with XOR: however long it runs, the screen differs from the
// starting picture only where stars are (two pixels at most each, in old and new places).
TEST_F(ContentPrograms, StarfieldLeavesNoDebris) {
  const DemoProgram& program = Program("starfield.z80");
  Machine48 machine(Setup());
  PokeProgram(machine, program);
  int done = 0;
  for (const int frames : {50, 250, 500}) {
    RunFrames(machine, frames - done);
    done = frames;
    const uint8_t* lines = machine.DisplayLineBuffer();
    int differing = 0;
    for (int line = 0; line < 192; ++line)
      for (int column = 0; column < 32; ++column) {
        const uint8_t start = program.memory[DisplayLineOffset(line) + column];
        differing += __builtin_popcount(lines[line * 64 + column] ^ start);
      }
    EXPECT_GT(differing, 0) << frames;
    EXPECT_LE(differing, 4 * 64) << frames;
  }
}

// E5, the tune's first note, is 659.26 Hz: a level change every 33.45 samples at 44100 Hz.
TEST_F(ContentPrograms, BeeperPlaysTheTuneInTune) {
  RecordingStream* stream = nullptr;
  Machine48 machine(Setup({.beeper = true, .stream = &stream}));
  PokeProgram(machine, Program("starfield.z80"));
  RunFrames(machine, 200);
  ASSERT_EQ(stream->frames.size(), 200u);
  // Frame 0 sets up and waits for the first interrupt; the tune starts with frame 1.
  std::vector<int> first = EdgeSpacings(stream->frames[1]);
  ASSERT_GE(first.size(), 8u);
  std::sort(first.begin(), first.end());
  EXPECT_NEAR(first[first.size() / 2], 33.45, 1.0);
  // A melody: several pitches, and silent frames between the notes.
  std::set<int> pitches;
  int silent = 0;
  for (const std::vector<int16_t>& frame : stream->frames) {
    std::vector<int> spacings = EdgeSpacings(frame);
    if (spacings.size() < 4) {
      ++silent;
      continue;
    }
    std::sort(spacings.begin(), spacings.end());
    pitches.insert(spacings[spacings.size() / 2]);
  }
  EXPECT_GE(pitches.size(), 5u);
  EXPECT_GE(silent, 10);
  EXPECT_LE(silent, 50);
}

TEST_F(ContentPrograms, AYPlaysMelodyAndBassAndTheBallsDrum) {
  RecordingStream* stream = nullptr;
  Machine128 machine(Setup({.ay = true, .stream = &stream}));
  ASSERT_NE(machine.AYChip(), nullptr);
  PokeProgram(machine, Program("bouncing_balls.z80"));
  std::set<int> melody, bass;
  int drums = 0;
  uint32_t lastCycles = 0;
  for (int frame = 0; frame < 300; ++frame) {
    RunFrames(machine, 1);
    const CAYChip& ay = *machine.AYChip();
    if (frame == 1) {  // the first frame after the set-up
      // A4 (440 Hz) on a 1.7734 MHz chip.
      EXPECT_EQ(ay.registers[0] | ay.registers[1] << 8, 252);
      EXPECT_EQ(ay.registers[7], 0x1C);  // tones A and B, noise C
    }
    melody.insert(ay.registers[0] | ay.registers[1] << 8);
    bass.insert(ay.registers[2] | ay.registers[3] << 8);
    // A bounce rewrites the envelope shape, which starts its fall again.
    if (ay.envelopeCycleCount < lastCycles) ++drums;
    lastCycles = ay.envelopeCycleCount;
  }
  EXPECT_GE(melody.size(), 6u);
  EXPECT_GE(bass.size(), 4u);
  EXPECT_GE(drums, 3);
  int sounding = 0;
  for (const std::vector<int16_t>& frame : stream->frames)
    sounding += *std::max_element(frame.begin(), frame.end()) !=
                *std::min_element(frame.begin(), frame.end());
  EXPECT_GE(sounding, 290);
}

TEST_F(ContentPrograms, BallsAreDrawnOnTheHiddenScreenAndShownByTurns) {
  Machine128 machine(Setup());
  PokeProgram(machine, Program("bouncing_balls.z80"));
  int lastScreen = -1;
  for (int frame = 0; frame < 40; ++frame) {
    RunFrames(machine, 1);
    const int screen = (machine.PagingLatch() & 0x08) ? 7 : 5;
    EXPECT_NE(screen, lastScreen) << "frame " << frame;
    lastScreen = screen;
    // What the television shows is the screen the latch selects.
    for (int line = 8; line < 176; ++line)
      ASSERT_EQ(std::memcmp(machine.DisplayLineBuffer() + line * 64,
                            machine.Bank(screen) + DisplayLineOffset(line), 32),
                0)
          << "frame " << frame << " line " << line;
  }
  for (const int bank : {5, 7}) {
    int ink = 0;
    for (int line = 8; line < 176; ++line)
      for (int column = 0; column < 32; ++column)
        ink += __builtin_popcount(machine.Bank(bank)[DisplayLineOffset(line) + column]);
    EXPECT_GT(ink, 3 * 150) << "bank " << bank;      // three balls of a few hundred pixels
    EXPECT_LT(ink, 3 * 24 * 24) << "bank " << bank;  // and no trails
  }
}

TEST_F(ContentPrograms, ROMDemoPrintsWithItsOwnFont) {
  Machine48 machine(Setup());
  PokeProgram(machine, Program("glimmer.rom"));
  RunFrames(machine, 10);  // clearing the screen alone takes two frames
  const uint8_t* lines = machine.DisplayLineBuffer();
  EXPECT_EQ(TextAt(lines, 4 * 8, 5 * 8, 23), "A ROM IMAGE OF OUR OWN:");
  EXPECT_EQ(TextAt(lines, 10 * 8, 22 * 8, 11), "(C) CORVANE");
}

// The letters move two pixels left a frame, new ones coming in at the right edge, and the
// sixteen lines below mirror them; all of it in place before the picture is drawn.
TEST_F(ContentPrograms, ScrollerGlidesTwoPixelsAFrameOverItsReflection) {
  const DemoProgram& program = Program("scroller.szx");
  const int top = program.Symbol("BAND_TOP");
  const auto ink = [](const std::vector<uint8_t>& lines, int x, int y) {
    return (lines[y * 64 + x / 8] & (0x80 >> (x & 7))) != 0;
  };
  Machine48 machine(Setup());
  PokeProgram(machine, program);
  RunFrames(machine, 10);
  std::vector<uint8_t> before = Lines(machine);
  int inked = 0;
  for (int frame = 0; frame < 50; ++frame) {
    RunFrames(machine, 1);
    const std::vector<uint8_t> now = Lines(machine);
    for (int k = 0; k < 16; ++k) {
      for (int x = 2; x < 256; ++x) {
        ASSERT_EQ(ink(now, x - 2, top + k), ink(before, x, top + k))
            << "frame " << frame << " line " << k;
        inked += ink(now, x, top + k);
      }
      ASSERT_EQ(std::memcmp(&now[(top + 16 + k) * 64], &now[(top + 15 - k) * 64], 32), 0)
          << "reflection " << k;
    }
    before = now;
  }
  EXPECT_GT(inked, 50 * 300);  // letters, not an empty band
}

// Kick and snare flash the border red and yellow and light their columns of LEDs; the beeper
// sounds in most frames.
TEST_F(ContentPrograms, BeatBoxFlashesTheBorderOnTheBeat) {
  RecordingStream* stream = nullptr;
  const DemoProgram& program = Program("beat_box.szx");
  Machine48 machine(Setup({.beeper = true, .stream = &stream}));
  PokeProgram(machine, program);
  std::map<int, int> borders;
  int kickLit = 0;
  const int bottom = program.Symbol("BOTTOM_ROW") * 8;
  for (int frame = 0; frame < 400; ++frame) {
    RunFrames(machine, 1);
    ++borders[machine.GetBorder()];
    kickLit += machine.DisplayLineBuffer()[bottom * 64 + 32 + 2] != BLUE;
  }
  EXPECT_GT(borders[RED], 25);
  EXPECT_GT(borders[YELLOW], 20);
  EXPECT_GT(borders[BLACK], 200);
  EXPECT_GT(kickLit, 150);
  int sounding = 0;
  for (const std::vector<int16_t>& frame : stream->frames)
    sounding += EdgeSpacings(frame).size() >= 4;
  EXPECT_GE(sounding, 180);
}

// Melody, chord and bass on their channels (the chord a new note every frame), noise for the
// drums, and the notes rolling left through the piano roll.
TEST_F(ContentPrograms, AYMusicPlaysItsThreeChannelsAndRollsTheNotes) {
  const DemoProgram& program = Program("ay_music.szx");
  const int top = program.Symbol("ROLL_TOP"), bottom = program.Symbol("ROLL_BOTTOM");
  Machine128 machine(Setup({.ay = true}));
  ASSERT_NE(machine.AYChip(), nullptr);
  PokeProgram(machine, program);
  RunFrames(machine, 10);
  std::set<int> melody, bass;
  int chordChanges = 0, noisy = 0, rolled = 0, lastChord = -1;
  std::vector<uint8_t> before = Lines(machine);
  for (int frame = 0; frame < 300; ++frame) {
    RunFrames(machine, 1);
    const CAYChip& ay = *machine.AYChip();
    melody.insert(ay.registers[0] | ay.registers[1] << 8);
    bass.insert(ay.registers[4] | ay.registers[5] << 8);
    const int chord = ay.registers[2] | ay.registers[3] << 8;
    chordChanges += chord != lastChord;
    lastChord = chord;
    noisy += (ay.registers[7] & 0x20) == 0;  // noise on C
    const std::vector<uint8_t> now = Lines(machine);
    if (now == before) continue;
    bool moved = true;
    for (int row = top; row <= bottom; ++row)
      moved = moved && std::memcmp(&now[row * 8 * 64 + 32], &before[row * 8 * 64 + 33], 31) == 0;
    rolled += moved;
    before = now;
  }
  EXPECT_GE(melody.size(), 8u);
  EXPECT_GE(bass.size(), 4u);
  EXPECT_GE(chordChanges, 280);
  EXPECT_GT(noisy, 20);
  EXPECT_GE(rolled, 140);  // a column every other frame
}

// Each picture is paged in from its bank and wiped on until the screen is the picture; each
// change strikes a chime on the envelope.
TEST_F(ContentPrograms, SlideshowShowsEachBanksPictureInTurn) {
  const DemoProgram& program = Program("slideshow.szx");
  RecordingStream* stream = nullptr;  // the chip's envelope runs as its sound is made
  Machine128 machine(Setup({.ay = true, .stream = &stream}));
  ASSERT_NE(machine.AYChip(), nullptr);
  PokeProgram(machine, program);
  std::vector<int> shown;
  int chimes = 0;
  uint32_t lastCycles = 0;
  for (int frame = 0; frame < 4 * (program.Symbol("SHOW_FRAMES") + 16) + 20; ++frame) {
    RunFrames(machine, 1);
    const int bank = machine.PagingLatch() & 7;
    if (bank != 0 && std::memcmp(machine.Bank(5), machine.Bank(bank), 6144) == 0 &&
        (shown.empty() || shown.back() != bank))
      shown.push_back(bank);
    const CAYChip& ay = *machine.AYChip();
    chimes += ay.envelopeCycleCount < lastCycles;
    lastCycles = ay.envelopeCycleCount;
  }
  EXPECT_EQ(shown, (std::vector<int>{1, 3, 4, 6, 1}));
  EXPECT_GE(chimes, 4);
}

// Every cell is mirrored into the other three quarters, whatever the pens have painted.
TEST_F(ContentPrograms, KaleidoscopeStaysSymmetrical) {
  Machine48 machine(Setup());
  PokeProgram(machine, Program("kaleidoscope.sna"));
  int painted = 0;
  for (int frame = 0; frame < 200; ++frame) {
    RunFrames(machine, 1);
    painted = 0;
    for (int row = 0; row < 24; ++row)
      for (int column = 0; column < 32; ++column) {
        const uint8_t cell = machine.Peek(static_cast<uint16_t>(0x5800 + row * 32 + column));
        painted += cell != 0;
        ASSERT_EQ(cell, machine.Peek(static_cast<uint16_t>(0x5800 + row * 32 + 31 - column)));
        ASSERT_EQ(cell, machine.Peek(static_cast<uint16_t>(0x5800 + (23 - row) * 32 + column)));
      }
  }
  EXPECT_GT(painted, 300);
}
