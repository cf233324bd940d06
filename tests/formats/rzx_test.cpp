// Recording playback, frame by frame, against recordings built here: a program that reads a
// port in a loop and stores every value shows exactly which recorded input each read received.
#include <gtest/gtest.h>

#include "emulation/machine48.h"
#include "tests/formats/format_fixture.h"

namespace {

class Recordings : public FormatTest {};

// 0x8000: LD HL,0xC000; loop: IN A,(0xFE); LD (HL),A; INC HL; JR loop. One fetch to start, then
// four fetches per port read.
MachineImage PortReader() {
  MachineImage image = MakeImage(SPECTRUM_48, 11);
  for (auto& bank : image.banks) bank.assign(16384, 0);
  const uint8_t code[] = {0x21, 0x00, 0xC0, 0xDB, 0xFE, 0x77, 0x23, 0x18, 0xFA};
  std::copy(std::begin(code), std::end(code), image.banks[2].begin());  // 0x8000
  image.pc = 0x8000;
  image.sp = 0xF000;
  image.iff1 = image.iff2 = 0;
  return image;
}

uint16_t Reads(int count) { return static_cast<uint16_t>(4 * count); }

// What the program has stored so far at `address`.
Bytes Stored(CMachine& machine, uint16_t address, size_t count) {
  Bytes out;
  for (size_t k = 0; k < count; ++k) out.push_back(machine.Peek(static_cast<uint16_t>(address + k)));
  return out;
}

}  // namespace

TEST_F(Recordings, ReplayRecordedInputsFrameByFrame) {
  const std::vector<RZXFrame> frames = {
      {static_cast<uint16_t>(1 + Reads(3)), {1, 2, 3}},
      {Reads(2), {4, 5}},
      {Reads(2), {}, true},  // the previous frame's inputs again
      {Reads(0), {}},
      {Reads(1), {9}},
  };
  const Bytes expected = {1, 2, 3, 4, 5, 4, 5, 9};
  const size_t after[] = {3, 5, 7, 7, 8};
  for (const bool compressed : {true, false}) {
    SCOPED_TRACE(compressed ? "compressed" : "stored");
    Bytes file = RZXHeader();
    AddRZXCreator(file, "Glimmerbox tests", 1, 2);
    AddRZXBlock(file, 0x20, Bytes(8, 0));  // security information: logged only
    AddRZXBlock(file, 0x21, Bytes(3, 0));  // unknown: skipped
    if (compressed)
      AddRZXSnapshot(file, "z80", WriteZ80V3(PortReader(), true), true);
    else
      AddRZXSnapshot(file, "sna", WriteSNA(PortReader()), false);
    AddRZXInput(file, frames, compressed);

    Loadable48 machine(Setup());
    ASSERT_EQ(Load(machine, file, "play.rzx"), GX_NONE);
    EXPECT_TRUE(machine.loader.IsPlayingRZX());
    EXPECT_EQ(machine.loader.GetRZXPart(), 1u);
    EXPECT_STREQ(machine.GetSnapshotCreator(), "Glimmerbox tests");
    uint32_t progress = 0;
    for (size_t f = 0; f < frames.size(); ++f) {
      RunFrames(machine, 1);
      Bytes stored(expected.begin(), expected.begin() + static_cast<long>(after[f]));
      stored.push_back(0);  // nothing read beyond the recorded inputs
      EXPECT_EQ(Stored(machine, 0xC000, after[f] + 1), stored) << "frame " << f;
      const uint32_t now = machine.loader.GetRZXProgress();
      EXPECT_GE(now, progress);
      EXPECT_LE(now, 100u);
      if (!compressed) {
        EXPECT_EQ(now, 100u);
      }
      progress = now;
      EXPECT_TRUE(machine.loader.IsPlayingRZX());
    }
    EXPECT_FALSE(machine.loader.RZXCompleted());
    RunFrames(machine, 1);  // finds the end of the file
    EXPECT_FALSE(machine.loader.IsPlayingRZX());
    EXPECT_TRUE(machine.loader.RZXCompleted());
    EXPECT_EQ(machine.loader.GetRZXProgress(), 0xFFFFFFFFu);
    EXPECT_TRUE(Logged("RZX: End of frame data."));
    EXPECT_TRUE(Logged("RZX: End of file"));
    EXPECT_TRUE(Logged("RZX: playback file created by \"Glimmerbox tests\" version 01.02"));
    EXPECT_TRUE(Logged("RZX: Security Information: Key ID = 00000000, Week 0"));
    EXPECT_TRUE(Logged("RZX: Warning! Skipping unhandled block type of 0x21"));
    EXPECT_FALSE(Logged("RZX: Lost sync"));
    RunFrames(machine, 1);  // runs on from where the recording left it
    EXPECT_NE(machine.Peek(0xC008), 0);
  }
}

TEST_F(Recordings, ALaterPartStartsFromItsOwnSnapshot) {
  // The second part runs with interrupts on (IM 2, vector 0x9090). Its snapshot ends the frame
  // that loads it, and that frame's interrupt comes before the part's first recorded frame: so
  // the routine, which reads a port and keeps the value at 0x9200 in seven fetches, takes the
  // first input of each of the part's frames.
  MachineImage second = PortReader();
  second.pc = 0x8003;
  second.hl = 0xD000;
  second.iff1 = second.iff2 = 1;
  second.im = 2;
  second.i = 0xFE;
  second.banks[0][0x3EFF] = 0x90;  // 0xFEFF
  second.banks[0][0x3F00] = 0x90;
  const uint8_t isr[] = {0xF5, 0xDB, 0xFE, 0x32, 0x00, 0x92, 0xF1, 0xFB, 0xED, 0x4D};
  std::copy(std::begin(isr), std::end(isr), second.banks[2].begin() + 0x1090);

  Bytes file = RZXHeader();
  AddRZXSnapshot(file, "sna", WriteSNA(PortReader()), true);
  AddRZXInput(file, {{static_cast<uint16_t>(1 + Reads(2)), {1, 2}}}, true);
  AddRZXSnapshot(file, "z80", WriteZ80V3(second, false), false);
  const uint16_t withRoutine = static_cast<uint16_t>(7 + Reads(1));
  AddRZXInput(file, {{static_cast<uint16_t>(7 + Reads(2)), {0x55, 7, 8}}, {withRoutine, {0x66, 9}}, {withRoutine, {0x77, 10}}},
              true);

  Loadable48 machine(Setup());
  ASSERT_EQ(Load(machine, file, "parts.rzx"), GX_NONE);
  RunFrames(machine, 1);
  EXPECT_EQ(Stored(machine, 0xC000, 2), (Bytes{1, 2}));
  EXPECT_EQ(machine.loader.GetRZXPart(), 1u);
  RunFrames(machine, 1);
  EXPECT_TRUE(Logged("RZX: Loading snapshot #2"));
  EXPECT_EQ(machine.loader.GetRZXPart(), 2u);
  EXPECT_EQ(Stored(machine, 0xD000, 1), (Bytes{0}));
  EXPECT_EQ(Register(machine, REG_PC), 0x9090);  // the interrupt was taken at the frame's end
  RunFrames(machine, 1);
  EXPECT_EQ(Stored(machine, 0xD000, 2), (Bytes{7, 8}));
  EXPECT_EQ(machine.Peek(0x9200), 0x55);
  RunFrames(machine, 2);
  EXPECT_EQ(Stored(machine, 0xD000, 4), (Bytes{7, 8, 9, 10}));
  EXPECT_EQ(machine.Peek(0x9200), 0x77);
  EXPECT_FALSE(Logged("RZX: Lost sync")) << LogText();
  RunFrames(machine, 1);
  EXPECT_TRUE(machine.loader.RZXCompleted());
  EXPECT_EQ(machine.loader.GetRZXPart(), 2u);
}

TEST_F(Recordings, LostSyncIsLoggedOnceAndStopsPlaybackAtTheNextFrame) {
  struct Case {
    RZXFrame frame;
    const char* line;
  };
  const Case cases[] = {
      // One read more than recorded: it gets 255.
      {{static_cast<uint16_t>(1 + Reads(3)), {1, 2}}, "RZX: Lost sync in frame 0 (100%) at port read #3 (only expected 2)"},
      // One recorded input left unread.
      {{static_cast<uint16_t>(1 + Reads(1)), {1, 2}},
       "RZX: Lost sync in frame 0 (100%)\nThere were 1 unread inputs (only 1 out of 2 were read)."},
  };
  for (const Case& c : cases) {
    Bytes file = RZXHeader();
    AddRZXSnapshot(file, "sna", WriteSNA(PortReader()), false);
    AddRZXInput(file, {c.frame, {Reads(1), {3}}}, false);
    Loadable48 machine(Setup());
    ASSERT_EQ(Load(machine, file, "sync.rzx"), GX_NONE);
    const size_t lost = CountLogged("Lost sync"), dumps = CountLogged("     PC = ");
    RunFrames(machine, 1);
    EXPECT_TRUE(Logged(c.line)) << LogText();
    EXPECT_EQ(CountLogged("Lost sync"), lost + 1);
    EXPECT_EQ(CountLogged("     PC = "), dumps + 1);
    EXPECT_TRUE(machine.loader.IsPlayingRZX());
    RunFrames(machine, 1);
    EXPECT_FALSE(machine.loader.IsPlayingRZX());
    EXPECT_FALSE(machine.loader.RZXCompleted());
    EXPECT_EQ(CountLogged("Lost sync"), lost + 1);
  }
}

// A block is read for as many frames as it says it holds, whatever data follow them.
TEST_F(Recordings, ABlockPlaysNoMoreFramesThanItCounts) {
  Bytes file = RZXHeader();
  AddRZXSnapshot(file, "sna", WriteSNA(PortReader()), false);
  const size_t block = file.size();
  AddRZXInput(file, {{static_cast<uint16_t>(1 + Reads(1)), {1}}, {Reads(1), {2}}, {Reads(1), {3}}}, true);
  Set32(file, block + 5, 2);
  Loadable48 machine(Setup());
  ASSERT_EQ(Load(machine, file, "count.rzx"), GX_NONE);
  RunFrames(machine, 3);
  EXPECT_TRUE(machine.loader.RZXCompleted());
  EXPECT_EQ(Stored(machine, 0xC000, 2), (Bytes{1, 2}));
  EXPECT_FALSE(Logged("RZX: Lost sync"));
}

TEST_F(Recordings, BrokenRecordingsAreRefused) {
  const Bytes snapshot = WriteSNA(PortReader());
  auto build = [&](auto&& add) {
    Bytes file = RZXHeader();
    add(file);
    return file;
  };
  const RZXFrame frame{Reads(1), {1}};
  Bytes badZlib = build([&](Bytes& f) { AddRZXSnapshot(f, "sna", snapshot, false, 2); });
  Bytes shortBlock = build([&](Bytes& f) { AddRZXBlock(f, 0x21, Bytes(10, 0)); });
  Set32(shortBlock, 11, 4);
  Bytes pastEnd = build([&](Bytes& f) { AddRZXBlock(f, 0x21, Bytes(10, 0)); });
  Set32(pastEnd, 11, 16);
  Bytes badSnapshot = build([&](Bytes& f) {
    AddRZXSnapshot(f, "z80", Bytes(20, 0), false);
    AddRZXInput(f, {frame}, true);
  });
  // A version 1 .z80 padded with zeros to 2 MiB: it would load, but no snapshot is that large.
  Bytes huge = Z80MainHeader(PortReader(), 0x8000, false);
  huge.resize(2u << 20);
  const Bytes hugeClaim = build([&](Bytes& f) { AddRZXSnapshot(f, "z80", huge, true); });
  Bytes giantClaim = hugeClaim;
  Set32(giantClaim, 10 + 5 + 8, 1000u << 20);
  struct Case {
    const char* what;
    Bytes file;
    int32_t result;
    const char* line;
  };
  const Case cases[] = {
      {"snapshot of 2 MiB", hugeClaim, GX_BAD_SNAPSHOT, "RZX: embedded snapshot claims 2097152 bytes; refused"},
      {"snapshot claiming 1000 MB", giantClaim, GX_BAD_SNAPSHOT, "RZX: embedded snapshot claims 1048576000 bytes; refused"},
      {"input before a snapshot", build([&](Bytes& f) { AddRZXInput(f, {frame}, true); }), GX_INCOMPLETE_RZX,
       "RZX: Error - RZX file appears to be missing a snapshot block."},
      {"external snapshot", build([&](Bytes& f) { AddRZXSnapshot(f, "sna", snapshot, false, 1); }), GX_NOT_SUPPORTED,
       "External snapshot descriptor found in RZX file - these are not supported"},
      {"nested recording", build([&](Bytes& f) { AddRZXSnapshot(f, "rzx", snapshot, false); }), GX_NESTED_RZX, nullptr},
      {"snapshot that does not inflate", badZlib, GX_BAD_SNAPSHOT, nullptr},
      {"block length below 5", shortBlock, GX_BAD_SNAPSHOT, nullptr},
      {"block length past the end", pastEnd, GX_BAD_SNAPSHOT, nullptr},
      {"embedded snapshot that fails", badSnapshot, GX_SNAPSHOT_BAD_SIZE,
       "Couldn't load snapshot: Bad snapshot (size) \"<embedded snapshot>\"."},
      {"11 bytes", Bytes{'R', 'Z', 'X', '!', 0, 13, 0, 0, 0, 0, 0}, GX_BAD_SNAPSHOT, nullptr},
      {"wrong signature", Bytes{'R', 'Z', 'X', '?', 0, 13, 0, 0, 0, 0, 0, 0}, GX_BAD_SNAPSHOT, nullptr},
  };
  for (const Case& c : cases) {
    Loadable48 machine(Setup());
    EXPECT_EQ(Load(machine, c.file, "bad.rzx"), c.result) << c.what;
    EXPECT_FALSE(machine.loader.IsPlayingRZX()) << c.what;
    EXPECT_FALSE(machine.loader.RZXCompleted()) << c.what;
    if (c.line) {
      EXPECT_TRUE(Logged(c.line)) << c.what;
    }
  }

  // A snapshot alone loads and is complete at once.
  Loadable48 machine(Setup());
  ASSERT_EQ(Load(machine, build([&](Bytes& f) { AddRZXSnapshot(f, "sna", snapshot, true); }), "only.rzx"), GX_NONE);
  EXPECT_TRUE(machine.loader.RZXCompleted());
  EXPECT_FALSE(machine.loader.IsPlayingRZX());
  EXPECT_EQ(Register(machine, REG_PC), 0x8000);
}
