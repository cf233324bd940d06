// Snapshot loading by name: the Scripts folder, file types by extension or size, screen and ROM
// images, zip archives and the zip the current script came from.
#include <gtest/gtest.h>

#include "emulation/machine48.h"
#include "formats/zip.h"
#include "tests/formats/format_fixture.h"
#include "tests/formats/zip_writer.h"

namespace {

class Loading : public FormatTest {
 protected:
  std::string Path(const std::string& name) const { return dir_.file(name); }
};

Bytes Sequence(size_t size) {
  Bytes out(size);
  for (size_t k = 0; k < size; ++k) out[k] = static_cast<uint8_t>(k * 7 + k / 256);
  return out;
}

}  // namespace

TEST_F(Loading, ANullNameLeavesTheMachineAlone) {
  Loadable48 machine(Setup());
  LoadProgram(machine, 0x9000, {0x00});
  EXPECT_EQ(machine.loader.LoadFile(nullptr, lookup_), GX_COULD_NOT_OPEN_FILE);
  EXPECT_TRUE(Logged("CSpeccy:LoadSnapshot attempted to load a snapshot of nil"));
  EXPECT_EQ(Register(machine, REG_PC), 0x9000);
}

TEST_F(Loading, TypeFromTheExtensionOrTheSize) {
  const MachineImage image = MakeImage(SPECTRUM_48, 21);
  WriteFile("GAME.Z80", WriteZ80V3(image, true));
  WriteFile("plain", WriteSNA(image));
  WriteFile("picture", Sequence(6912));
  WriteFile("odd", Sequence(6913));
  WriteFile("odd.scr", Sequence(6913));
  WriteFile("empty.sna", {});
  std::filesystem::create_directory(Path("folder.z80"));
  struct Case {
    std::string name;
    int32_t result;
  };
  const Case cases[] = {
      {"GAME.Z80", GX_NONE},            // any letter case; a bare name is in the Scripts folder
      {Path("GAME.Z80"), GX_NONE},      // a full path
      {"plain", GX_NONE},               // 49179 bytes: SNA
      {"picture", GX_NONE},             // 6912 bytes: screen image
      {"odd", GX_UNKNOWN_SNAPSHOT},
      {"odd.scr", GX_SNAPSHOT_BAD_SIZE},
      {"empty.sna", GX_COULD_NOT_OPEN_FILE},
      {"folder.z80", GX_COULD_NOT_OPEN_FILE},
      {"missing.z80", GX_COULD_NOT_OPEN_FILE},
  };
  for (const Case& c : cases) {
    Loadable48 machine(Setup());
    EXPECT_EQ(machine.loader.LoadFile(c.name.c_str(), lookup_), c.result) << c.name;
    EXPECT_TRUE(Logged("CSpeccy:LoadSnapshot loading: " + c.name));
  }
  EXPECT_TRUE(Logged("Windows error #2 opening \"" + Path("missing.z80") + "\""));
  EXPECT_TRUE(Logged("Windows error #21 opening \"" + Path("folder.z80") + "\""));
  EXPECT_EQ(CountLogged("CSpeccy:LoadSnapshot failed to load snapshot."), 5u);
  EXPECT_TRUE(Logged("Couldn't load snapshot: Bad snapshot (size) \"" + Path("odd.scr") + "\"."));
}

TEST_F(Loading, AScreenImageShowsStillAndSilent) {
  RecordingStream* stream = nullptr;
  Loadable48 machine(Setup({.stream = &stream}));
  const Bytes screen = Sequence(6912);
  WriteFile("title.scr", screen);
  const int stops = stream->stops;
  ASSERT_EQ(machine.loader.LoadFile("title.scr", lookup_), GX_NONE);
  EXPECT_TRUE(machine.IsPaused());
  EXPECT_EQ(machine.GetBorder(), 0);
  EXPECT_GT(stream->stops, stops);
  EXPECT_EQ(machine.Peek(0x4000 + 6911), screen[6911]);
}

TEST_F(Loading, ROMImagesAreCutOrFilledTo16K) {
  for (const size_t size : {size_t{20000}, size_t{100}}) {
    const Bytes rom = Sequence(size);
    WriteFile("custom.rom", rom);
    Loadable48 machine(Setup());
    ASSERT_EQ(machine.loader.LoadFile("custom.rom", lookup_), GX_NONE);
    for (uint16_t address = 0; address < 0x4000; ++address)
      ASSERT_EQ(machine.Peek(address), address < size ? rom[address] : 0xFF) << size << " at " << address;
    EXPECT_EQ(Register(machine, REG_PC), 0);
  }
}

TEST_F(Loading, ZipArchivesLoadTheirFirstSupportedMember) {
  const Bytes good = WriteZ80V3(MakeImage(SPECTRUM_48, 22), true);
  struct Case {
    const char* file;
    std::vector<ZipMember> members;
    int32_t result;
  };
  const Case cases[] = {
      {"good.zip", {{"readme.txt", {1, 2}}, {"dir/Game.z80", good}}, GX_NONE},
      {"firstbroken.ZIP", {{"broken.sna", Bytes(100)}, {"game.z80", good}}, GX_UNKNOWN_SNAPSHOT},
      {"nothing.zip", {{"readme.txt", {1, 2}}}, GX_UNKNOWN_SNAPSHOT},
      {"tape.zip", {{"readme.txt", {1, 2}}, {"GAME.TAP", {2, 0, 0xFF, 0xFF}}}, GX_NONE},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteZip(Path(c.file), c.members));
    Loadable48 machine(Setup());
    EXPECT_EQ(machine.loader.LoadFile(c.file, lookup_), c.result) << c.file;
    EXPECT_EQ(machine.loader.IsLoadingTape(), std::string(c.file) == "tape.zip") << c.file;
  }
  EXPECT_TRUE(Logged("  opening \"dir/Game.z80\" within compressed file \"" + Path("good.zip") + "\""));
  EXPECT_TRUE(Logged("Couldn't load snapshot: Bad snapshot (size) \"broken.sna\"."));
  WriteFile("fake.zip", {1, 2, 3});
  Loadable48 machine(Setup());
  EXPECT_EQ(machine.loader.LoadFile("fake.zip", lookup_), GX_UNKNOWN_SNAPSHOT);
}

TEST_F(Loading, ZipMembersThatCannotBeReadWhole) {
  ASSERT_TRUE(WriteZip(Path("damaged.zip"), {{"huge.sna", Bytes(10, 1), 0x7FFFFFF0u},
                                             {"short.sna", Bytes(10, 1), 49179u},
                                             {"ok.scr", Sequence(6912)}}));
  CZip zip;
  ASSERT_EQ(zip.Open(Path("damaged.zip").c_str()), UNZ_OK);
  Loadable48 machine(Setup());
  EXPECT_EQ(machine.loader.LoadFromZip(zip, "huge.sna"), GX_OUT_OF_MEMORY);
  EXPECT_EQ(machine.loader.LoadFromZip(zip, "SHORT.SNA"), GX_INCOMPLETE_FILE);
  EXPECT_EQ(machine.loader.LoadFromZip(zip, "OK.scr"), GX_NONE);
  EXPECT_EQ(machine.loader.LoadFromZip(zip, "absent.scr"), UNZ_END_OF_LIST_OF_FILE);
}

TEST_F(Loading, BareNamesComeFromTheScriptsZip) {
  const Bytes fromZip = WriteSNA(MakeImage(SPECTRUM_48, 23));
  MachineImage onDisk = MakeImage(SPECTRUM_48, 24);
  onDisk.pc = 0x9999;
  ASSERT_TRUE(WriteZip(Path("script.zip"), {{"main.lua", {'-', '-'}}, {"Game.sna", fromZip}}));
  WriteFile("Game.sna", WriteSNA(onDisk));
  CZip zip;
  ASSERT_EQ(zip.Open(Path("script.zip").c_str()), UNZ_OK);
  lookup_.scriptZip = &zip;

  Loadable48 machine(Setup());
  ASSERT_EQ(machine.loader.LoadFile("game.SNA", lookup_), GX_NONE);
  EXPECT_EQ(Register(machine, REG_PC), 0x8123);
  EXPECT_TRUE(Logged("  opening \"game.SNA\" within compressed file \"" + Path("script.zip") + "\""));
  // Not in the zip: the zip reader's status, and no fall-back to the folder.
  EXPECT_EQ(machine.loader.LoadFile("missing.sna", lookup_), UNZ_END_OF_LIST_OF_FILE);
  // A name with a '/' is a path, never a member.
  ASSERT_EQ(machine.loader.LoadFile(Path("Game.sna").c_str(), lookup_), GX_NONE);
  EXPECT_EQ(Register(machine, REG_PC), 0x9999);

  lookup_.scriptZip = nullptr;
  ASSERT_EQ(machine.loader.LoadFile("Game.sna", lookup_), GX_NONE);
  EXPECT_EQ(Register(machine, REG_PC), 0x9999);
}

// A custom ROM lasts until the next load: whatever comes after it runs on the model's own ROM.
TEST_F(Loading, ALoadAfterACustomROMRunsOnTheModelsROM) {
  Bytes rom(16384, 0xFF);
  rom[0x38] = 0xC3;
  Bytes recording = RZXHeader();
  AddRZXSnapshot(recording, "sna", WriteSNA(MakeImage(SPECTRUM_48, 25)), false);
  const struct {
    const char* name;
    Bytes file;
  } files[] = {
      {"a.sna", WriteSNA(MakeImage(SPECTRUM_48, 25))}, {"a.z80", WriteZ80V3(MakeImage(SPECTRUM_48, 25), true)},
      {"a.szx", WriteSZX(MakeImage(SPECTRUM_48, 25), true)}, {"a.scr", Sequence(6912)}, {"a.rzx", recording},
  };
  for (const bool class128 : {false, true}) {
    for (const auto& f : files) {
      SCOPED_TRACE(std::string(f.name) + (class128 ? " on 128K" : " on 48K"));
      auto fresh = NewMachine(class128), after = NewMachine(class128);
      CSnapshotLoader freshLoader(*fresh), afterLoader(*after);
      ASSERT_EQ(Load(afterLoader, rom, "custom.rom"), GX_NONE);
      ASSERT_EQ(after->Peek(0x38), 0xC3);
      ASSERT_EQ(Load(freshLoader, f.file, f.name), GX_NONE);
      ASSERT_EQ(Load(afterLoader, f.file, f.name), GX_NONE);
      EXPECT_EQ(after->Peek(0x38), fresh->Peek(0x38));
      EXPECT_NE(after->Peek(0x38), 0xC3);
    }
  }
}

// A file a reader refuses leaves the machine exactly as it was: its model, its running program,
// no reset.
TEST_F(Loading, ARefusedFileLeavesTheMachineAsItWas) {
  const MachineImage m48 = MakeImage(SPECTRUM_48, 26), m128 = MakeImage(SPECTRUM_128, 27);
  MachineImage pentagon = m128;
  pentagon.model = SPECTRUM_PENTAGON;
  Bytes sna128 = WriteSNA(m128);
  sna128.resize(131103, 0);
  sna128[49181] = 0x05;  // bank 5 paged needs the longer file
  const Bytes v3 = WriteZ80V3(m128, false);
  Bytes badSZX = WriteSZX(m48, true);
  AddSZXBlock(badSZX, "Z80R", Bytes(10));
  Bytes unknownHardware = WriteZ80V3(m128, false);
  unknownHardware[34] = 7;
  // A recording whose snapshot is sound but whose next block is damaged.
  Bytes recording = RZXHeader();
  AddRZXSnapshot(recording, "z80", WriteZ80V3(m48, true), true);
  recording.insert(recording.end(), {0x80, 3, 0, 0, 0, 0});
  Bytes ramp9 = WriteSZX(m128, false);
  AddSZXBlock(ramp9, "RAMP", Bytes{0, 0, 9});
  const struct {
    bool class128;
    const char* name;
    Bytes file;
    int32_t result;
  } cases[] = {
      {false, "a.sna", sna128, GX_NOT_SUPPORTED},
      {false, "a.z80", v3, GX_UNSUPPORTED_HARDWARE},
      {false, "p.z80", WriteZ80V3(pentagon, false), GX_UNSUPPORTED_HARDWARE},
      {false, "a.szx", WriteSZX(m128, true), GX_UNSUPPORTED_HARDWARE},
      {false, "b.szx", badSZX, GX_BAD_SNAPSHOT},
      {false, "b.z80", Bytes(v3.begin(), v3.begin() + 86 + 16387 + 10), GX_UNSUPPORTED_HARDWARE},
      {true, "b.z80", Bytes(v3.begin(), v3.begin() + 86 + 16387 + 10), GX_BAD_SNAPSHOT},
      {true, "h.z80", unknownHardware, GX_UNSUPPORTED_HARDWARE},
      {true, "a.sna", sna128, GX_BAD_SNAPSHOT},
      {true, "b.szx", badSZX, GX_BAD_SNAPSHOT},
      {true, "s.scr", Sequence(6911), GX_SNAPSHOT_BAD_SIZE},
      {true, "r.rzx", RZXHeader(), GX_BAD_SNAPSHOT},
      {true, "d.rzx", recording, GX_BAD_SNAPSHOT},
      {true, "r.szx", ramp9, GX_UNSUPPORTED_HARDWARE},
      {true, "t.tap", Bytes{19, 0, 1, 2}, GX_BAD_SNAPSHOT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.class128 ? " on +2" : " on 48K"));
    auto machine = NewMachine(c.class128);
    if (c.class128) machine->SetVariant(SPECTRUM_PLUS2);
    const int32_t model = machine->GetModel();
    CSnapshotLoader loader(*machine);
    LoadProgram(*machine, 0x9000, {0x18, 0xFE});
    EXPECT_EQ(Load(loader, c.file, c.name), c.result);
    EXPECT_EQ(machine->GetModel(), model);
    EXPECT_EQ(Register(*machine, REG_PC), 0x9000);
    EXPECT_EQ(machine->Peek(0x9000), 0x18);
  }
}
