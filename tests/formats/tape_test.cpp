// Tapes built here from the published layouts, loaded as a person would: the load typed on the
// original ROMs and OpenSE BASIC, the ROM's loader and a turbo loader of ours reading the edges,
// the machine fast while it loads. And damaged tapes: each gives its result code and none plays
// for ever.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "formats/tape.h"
#include "tests/formats/format_fixture.h"
#include "tests/formats/tape_writers.h"

namespace {

class Tapes : public FormatTest {};

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A loading screen: stripes of every colour under a pattern, so that half of it is plain to see.
Bytes LoadingScreen() {
  Bytes screen(6912);
  for (size_t k = 0; k < 6144; ++k) screen[k] = static_cast<uint8_t>(k & 0x20 ? 0xAA : 0x0F);
  for (size_t k = 0; k < 768; ++k) screen[6144 + k] = static_cast<uint8_t>(((k / 32) % 8) << 3 | (k % 8) | 0x40);
  return screen;
}

// The turbo block's payload: a pattern, then its XOR checksum, as the loader reads it.
Bytes TurboPayload() {
  Bytes data(2048);
  uint8_t sum = 0;
  for (size_t k = 0; k < data.size(); ++k) sum ^= data[k] = static_cast<uint8_t>(k * 13 + (k >> 7));
  data.push_back(sum);
  return data;
}

// 10 LOAD "" SCREEN$ : POKE 32768,42 : PRINT AT 0,0;"TAPE OK" [: LOAD "" CODE : RANDOMIZE USR 40000]
Bytes Program(bool withCode) {
  using namespace basic;
  std::vector<Bytes> parts = {{LOAD, '"', '"', SCREEN}, Text(":"), {POKE}, Number(32768), Text(","), Number(42),
                              Text(":"), {PRINT, AT}, Number(0), Text(","), Number(0), Text(";\"TAPE OK\"")};
  if (withCode) {
    for (const Bytes& part : std::vector<Bytes>{Text(":"), {LOAD, '"', '"', CODE}, Text(":"), {RANDOMIZE, USR}, Number(40000)})
      parts.push_back(part);
  }
  return Line(10, parts);
}

// The .tap: the program and the screen. The .tzx: the same at the ROM's speed, the turbo loader,
// and the turbo block at the loader's timings, with archive and hardware information.
Bytes TapTape() {
  std::vector<Bytes> blocks = ProgramBlocks(Program(false), 10);
  for (const Bytes& b : CodeBlocks("screen", LoadingScreen(), 16384)) blocks.push_back(b);
  return TapFile(blocks);
}

Bytes TzxTape(const Bytes& loader) {
  Bytes tzx = TzxHeader();
  AddBlock(tzx, 0x32, {10, 0, 1, 0, 7, 'T', 'e', 's', 't', 'i', 'n', 'g'});  // archive: title
  AddBlock(tzx, 0x33, {1, 0, 1, 0});                                        // hardware: runs on a 48K
  for (const Bytes& b : ProgramBlocks(Program(true), 10)) AddStandard(tzx, b);
  for (const Bytes& b : CodeBlocks("screen", LoadingScreen(), 16384)) AddStandard(tzx, b);
  for (const Bytes& b : CodeBlocks("loader", loader, 40000)) AddStandard(tzx, b);
  Turbo turbo;
  turbo.pilot = 1200;
  turbo.pilotPulses = 1000;
  turbo.sync1 = turbo.sync2 = 400;
  turbo.zero = 450;
  turbo.one = 900;
  AddTurbo(tzx, turbo, TurboPayload());
  return tzx;
}

bool ScreenLoaded(CMachine& machine, const Bytes& screen) {
  // Character rows 3-21, pixels and attributes: the rows above have the program's message and
  // the tape messages the ROM prints, rows 22 and 23 BASIC's report.
  for (uint32_t k = 0; k < 6912; ++k) {
    const uint32_t row = k < 6144 ? (k >> 11) * 8 + ((k >> 5) & 7) : (k - 6144) / 32;
    if (row >= 3 && row <= 21 && machine.Peek(static_cast<uint16_t>(0x4000 + k)) != screen[k]) return false;
  }
  return true;
}

}  // namespace

// Each tape on each ROM: loaded within the promised twenty seconds of display frames (the 48K
// game a user has is about five minutes of tape; these tapes are shorter and must be faster).
TEST_F(Tapes, LoadHeadlessOnTheOriginalROMsAndOpenSE) {
  if (!HaveSharedRoms()) GTEST_SKIP() << "no ROM images in " << SharedRoms();
  const Bytes turboLoader = ReadBytes(TURBO_LOADER_BIN);
  if (turboLoader.empty()) GTEST_SKIP() << "pasmo did not assemble the turbo loader";
  const std::string opense = "/usr/share/spectrum-roms/opense.rom";
  TempDir openseFolder;
  const bool haveOpenSE = std::filesystem::exists(opense);
  // As set-up fills Roms from Debian's package: a 128K boots OpenSE through its stub ROM 0.
  if (haveOpenSE) {
    for (const char* name : {"48.rom", "128-1.rom"}) std::filesystem::copy_file(opense, openseFolder.file(name));
    std::filesystem::copy_file("/usr/share/spectrum-roms/opense-stub.rom", openseFolder.file("128-0.rom"));
  }
  CRomCache openseRoms(openseFolder.path().string());

  struct Case {
    const char* what;
    int32_t model;  // on a 128K machine unless 48
    bool opense;
  };
  const Case machines[] = {{"48K", SPECTRUM_48, false},      {"128K", SPECTRUM_128, false},
                           {"+2", SPECTRUM_PLUS2, false},    {"Pentagon", SPECTRUM_PENTAGON, false},
                           {"OpenSE BASIC", SPECTRUM_48, true}, {"OpenSE BASIC 128K", SPECTRUM_128, true}};
  const Bytes screen = LoadingScreen(), payload = TurboPayload();
  for (const Case& c : machines) {
    if (c.opense && !haveOpenSE) continue;
    for (const bool tzx : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (tzx ? " .tzx" : " .tap"));
      MachineSetup setup = Setup();
      if (c.opense) setup.roms = &openseRoms;
      std::unique_ptr<CMachine> machine;
      if (c.model == SPECTRUM_48)
        machine = std::make_unique<Machine48>(std::move(setup));
      else
        machine = std::make_unique<Machine128>(std::move(setup));
      ASSERT_TRUE(machine->SetVariant(c.model));
      CSnapshotLoader loader(*machine);
      ASSERT_EQ(Load(loader, tzx ? TzxTape(turboLoader) : TapTape(), tzx ? "t.tzx" : "t.tap"), GX_NONE);
      EXPECT_EQ(machine->GetModel(), c.model);
      EXPECT_TRUE(loader.IsLoadingTape());
      const auto loaded = [&] {
        // The .tzx's program prints more tape messages over the screen, in places each ROM
        // chooses: its screen is checked by the turbo loader's run after it.
        if (machine->Peek(32768) != 42) return false;
        if (!tzx) return ScreenLoaded(*machine, screen);
        if (machine->Peek(39999) != 1) return false;
        for (size_t k = 0; k + 1 < payload.size(); ++k)
          if (machine->Peek(static_cast<uint16_t>(45000 + k)) != payload[k]) return false;
        return true;
      };
      machine->Throttle(false);
      int shown = 0;
      for (; shown < 3000 && !loaded(); ++shown) machine->UpdateFrame(0.02f * static_cast<float>(shown + 1));
      ASSERT_TRUE(loaded()) << "turbo loader result " << int{machine->Peek(39999)} << "\n" << LogText();
      EXPECT_LE(shown, 20 * 50) << "displayed frames";
      std::printf("[ loaded   ] %s %s in %d displayed frames (%.1f s)\n", c.what, tzx ? ".tzx" : ".tap", shown,
                  shown / 50.0);
      // The tape stops at its end and the machine is back to one frame per frame.
      for (int k = 0; k < 400 && loader.IsLoadingTape(); ++k) machine->UpdateFrame(0.02f * static_cast<float>(++shown));
      EXPECT_FALSE(loader.IsLoadingTape());
      EXPECT_EQ(loader.TapeDeck()->CurrentPhase(), CTapeDeck::Phase::Ended);
    }
  }
}

// The demo tapes (pasmo's BASIC loader and the scroller's code) load and run on the 48K ROM.
TEST_F(Tapes, TheDemoTapesLoad) {
  if (!HaveSharedRoms()) GTEST_SKIP() << "no ROM images in " << SharedRoms();
  for (const char* name : {"scroller.tap", "scroller.tzx"}) {
    SCOPED_TRACE(name);
    Loadable48 machine(Setup());
    ASSERT_EQ(machine.loader.LoadFile((std::string(GLIMMERBOX_SOURCE_DATA) + "/Snapshots/" + name).c_str()), GX_NONE);
    machine.Throttle(false);
    for (int shown = 0; shown < 2000 && machine.loader.IsLoadingTape(); ++shown)
      machine.UpdateFrame(0.02f * static_cast<float>(shown + 1));
    EXPECT_EQ(machine.loader.TapeDeck()->CurrentPhase(), CTapeDeck::Phase::Ended);
    RunFrames(machine, 50);
    // The program runs from its own code, out of the ROM.
    EXPECT_GE(Register(machine, REG_PC), 0x4000);
  }
}

// Damaged and hostile tapes: a result code at once, and a deck that ends or gives up within its
// bound, never one that plays on.
TEST_F(Tapes, BadTapesGiveResultCodesAndNeverHang) {
  const Bytes good = TapTape();
  const Bytes header = HeaderBlock(0, "x", 10, 0, 10);
  auto tzx = [&](std::initializer_list<std::pair<uint8_t, Bytes>> blocks, bool standardFirst = true) {
    Bytes file = TzxHeader();
    if (standardFirst) AddStandard(file, header);
    for (const auto& [id, body] : blocks) AddBlock(file, id, body);
    return file;
  };
  Bytes gzipped = {0x1F, 0x8B, 8, 0};
  gzipped.resize(100);
  Bytes zeroPulses = {255};
  zeroPulses.resize(1 + 510, 0);
  Bytes gdbPilotOnly(4 + 14, 0);
  Set32(gdbPilotOnly, 0, 14);
  Set32(gdbPilotOnly, 6, 100);  // TOTP 100, NPP 0... and TOTD 0
  gdbPilotOnly[10] = 1;
  Bytes pzx = {'P', 'Z', 'X', 'T', 2, 0, 0, 0, 1, 0, 'P', 'U', 'L', 'S', 4, 0, 0, 0, 0x10, 0x00, 0x00, 0x08};
  Bytes csw = {'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 'e', 'd', ' ', 'S', 'q', 'u', 'a', 'r', 'e', ' ', 'W',
               'a', 'v', 'e', 0x1A, 1, 1, 0x44, 0xAC, 1, 0, 0, 0, 0};
  for (int k = 0; k < 400; ++k) csw.push_back(20);
  Bytes cswZeroRate = csw;
  cswZeroRate[0x19] = cswZeroRate[0x1A] = 0;
  Bytes cswSlowRate = csw;  // a sample longer than the tape library takes
  cswSlowRate[0x19] = 6;
  cswSlowRate[0x1A] = 0;
  struct Case {
    const char* what;
    Bytes file;
    const char* name;
    int32_t result;
    bool plays;
    const char* line;
  };
  const Case cases[] = {
      {"last block cut short", Bytes(good.begin(), good.end() - 100), "a.tap", GX_BAD_SNAPSHOT, true, nullptr},
      {"first block cut short", Bytes(good.begin(), good.begin() + 10), "a.tap", GX_BAD_SNAPSHOT, false, nullptr},
      {"gzip data named .tap", gzipped, "a.tap", GX_BAD_SNAPSHOT, false, "Tape: the file is compressed; not read"},
      {"gzip data named .tzx", gzipped, "a.tzx", GX_BAD_SNAPSHOT, false, "Tape: the file is compressed; not read"},
      {"not a TZX", Bytes(40, 'x'), "a.tzx", GX_BAD_SNAPSHOT, false, nullptr},
      {"a TZX of no blocks", TzxHeader(), "a.tzx", GX_BAD_SNAPSHOT, false, nullptr},
      {"pulses of no length, looped", tzx({{0x24, {0xFF, 0xFF}}, {0x13, zeroPulses}, {0x25, {}}}), "a.tzx", GX_NONE, true,
       nullptr},
      {"a sequence of no pulses", tzx({{0x13, {0}}}), "a.tzx", GX_BAD_SNAPSHOT, true,
       "Tape: TZX block 2 (0x13) is a tone of no pulses; the tape ends before it"},
      {"a tone of no pulses", tzx({{0x12, {0x78, 0x08, 0, 0}}}, false), "a.tzx", GX_BAD_SNAPSHOT, false, nullptr},
      {"huge pulses", tzx({{0x12, {0xFF, 0xFF, 0xFF, 0xFF}}}), "a.tzx", GX_NONE, true, nullptr},
      {"a huge loop", tzx({{0x24, {0xFF, 0xFF}}, {0x12, {0xFF, 0xFF, 0xE8, 0x03}}, {0x25, {}}}), "a.tzx", GX_NONE, true,
       nullptr},
      {"a jump out of the tape", tzx({{0x23, {5, 0}}}), "a.tzx", GX_BAD_SNAPSHOT, true,
       "Tape: TZX block 2 jumps out of the tape; the tape ends before it"},
      {"a jump to itself", tzx({{0x23, {0, 0}}}), "a.tzx", GX_BAD_SNAPSHOT, true, nullptr},
      {"a jump back for ever", tzx({{0x23, {0xFF, 0xFF}}}), "a.tzx", GX_NONE, true, nullptr},
      {"a pilot tone for ever", tzx({{0x12, {0x78, 0x08, 0xFF, 0xFF}}, {0x23, {0xFF, 0xFF}}}, false), "a.tzx", GX_NONE,
       true, nullptr},
      {"pilot only", tzx({{0x19, gdbPilotOnly}}), "a.tzx", GX_BAD_SNAPSHOT, true,
       "Tape: TZX block 2 (0x19) is a generalised block without data; the tape ends before it"},
      {"an unknown block", tzx({{0x4B, {3, 0, 0, 0, 1, 2, 3}}, {0x99, {1, 0, 0, 0, 9}}}), "a.tzx", GX_NONE, true,
       "Tape: TZX block 0x99 is not played; passed over"},
      {"a block cut short", Bytes(good.begin(), good.begin() + 3), "a.tap", GX_BAD_SNAPSHOT, false, nullptr},
      {"PZX", pzx, "a.pzx", GX_NONE, true, nullptr},
      {"PZX cut short", Bytes(pzx.begin(), pzx.end() - 1), "a.pzx", GX_BAD_SNAPSHOT, false, nullptr},
      {"CSW", csw, "a.csw", GX_NONE, true, nullptr},
      {"CSW at 0 Hz", cswZeroRate, "a.csw", GX_BAD_SNAPSHOT, false, nullptr},
      {"CSW at 6 Hz", cswSlowRate, "a.csw", GX_BAD_SNAPSHOT, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Loadable48 machine(Setup());
    LoadProgram(machine, 0x9000, {0x18, 0xFE});
    EXPECT_EQ(Load(machine, c.file, c.name), c.result);
    EXPECT_EQ(machine.loader.IsLoadingTape(), c.plays);
    if (c.line) {
      EXPECT_TRUE(Logged(c.line)) << LogText();
    }
    if (!c.plays) {
      // Refused before the machine was touched.
      EXPECT_EQ(Register(machine, REG_PC), 0x9000);
      continue;
    }
    CTapeDeck& deck = *machine.loader.TapeDeck();
    deck.SetTimeLimit(120ull * 3500000);
    // Ten seconds of tape at a time: every tape here ends or is given up within its bound.
    int steps = 0;
    for (; steps < 100 && deck.Loading(); ++steps) deck.PlayFor(35000000);
    EXPECT_FALSE(deck.Loading()) << steps;
    EXPECT_LE(deck.Played(), 200ull * 3500000);
  }
}

// The blocks that shape a tape's play: a stop, a stop that only a 48K machine obeys, a group
// around pure data. A stopped tape waits; the others play to the end.
TEST_F(Tapes, StopBlocksStopTheTapeWhereTheyApply) {
  const Bytes header = HeaderBlock(0, "x", 10, 0, 10);
  Bytes pureData = {0x57, 0x03, 0xAE, 0x06, 8, 0, 0};  // 855/1710 T bits, 8 bits last, no pause
  Put24(pureData, 2);
  pureData.insert(pureData.end(), {0xAA, 0x55});
  struct Case {
    const char* what;
    uint8_t id;
    Bytes body;
    bool on48;
    CTapeDeck::Phase phase;
  };
  const Case cases[] = {
      {"pause 0 stops", 0x20, {0, 0}, false, CTapeDeck::Phase::Stopped},
      {"stop if 48K, on a 48K", 0x2A, {0, 0, 0, 0}, true, CTapeDeck::Phase::Stopped},
      {"stop if 48K, on a 128K", 0x2A, {0, 0, 0, 0}, false, CTapeDeck::Phase::Ended},
      {"a pause of 100 ms", 0x20, {100, 0}, true, CTapeDeck::Phase::Ended},
      {"pure data", 0x14, pureData, true, CTapeDeck::Phase::Ended},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = TzxHeader();
    AddBlock(file, 0x21, {1, 'g'});  // group start
    AddStandard(file, header);
    AddBlock(file, c.id, c.body);
    AddBlock(file, 0x22, {});  // group end
    AddStandard(file, header);
    std::unique_ptr<CMachine> machine = NewMachine(!c.on48);
    CSnapshotLoader loader(*machine);
    ASSERT_EQ(Load(loader, file, "s.tzx"), GX_NONE);
    loader.TapeDeck()->PlayFor(60ull * 3500000);
    EXPECT_EQ(loader.TapeDeck()->CurrentPhase(), c.phase);
  }
}
