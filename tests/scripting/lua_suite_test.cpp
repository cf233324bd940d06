// The Lua test scripts of lua/, each run through the headless frame loop and checked against the
// expectations in its comments; and the bundled scripts of data/Scripts, which must play without
// an error on a fresh installation (OpenSE ROMs, no snapshots), with a broken snapshot archive and
// with the demo content, putting each file on a machine of its own model; the typing show and the
// script author's examples on both the original ROMs and OpenSE BASIC.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "formats/zip.h"
#include "platform/folders.h"
#include "tests/scripting/script_driver.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    const std::string extension = it->path().extension().string();
    if (extension == ".lua" || extension == ".zip") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

const std::string SUITE = std::string(GLIMMERBOX_TEST_DIR) + "/scripting/lua";
const std::string BUNDLED = std::string(GLIMMERBOX_SOURCE_DATA) + "/Scripts";
const std::string DEMO = std::string(GLIMMERBOX_SOURCE_DATA) + "/Snapshots";

// Debian's OpenSE BASIC under the standard names in dir/Roms; empty when it is not installed.
std::string OpenSERoms(const TempDir& dir) {
  const std::string opense = "/usr/share/spectrum-roms";
  if (!fs::exists(opense + "/opense.rom") || !fs::exists(opense + "/opense-stub.rom")) return {};
  const std::string roms = dir.file("Roms");
  fs::create_directories(roms);
  for (const char* name : {"48.rom", "128-1.rom", "plus2-1.rom"})
    fs::copy_file(opense + "/opense.rom", roms + "/" + name);
  for (const char* name : {"128-0.rom", "plus2-0.rom"})
    fs::copy_file(opense + "/opense-stub.rom", roms + "/" + name);
  return roms;
}

// The original ROMs from ../shared; empty when they are not there.
std::string OriginalRoms() {
  const std::string roms = std::string(GLIMMERBOX_SHARED_DIR) + "/roms";
  return fs::exists(roms + "/48.rom") ? roms : std::string();
}

// The ROMs of a fresh installation: OpenSE BASIC, else the original ROMs, else none (machines
// then run on an empty bus).
std::string RomsFolder(const TempDir& dir) {
  const std::string opense = OpenSERoms(dir);
  return opense.empty() ? std::string(GLIMMERBOX_SHARED_DIR) + "/roms" : opense;
}

enum class Roms { OpenSE, Original };

std::string RomsFolder(const TempDir& dir, Roms roms) {
  return roms == Roms::OpenSE ? OpenSERoms(dir) : OriginalRoms();
}

std::string RomsName(const ::testing::TestParamInfo<Roms>& info) {
  return info.param == Roms::OpenSE ? "OpenSE" : "Original";
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "  " + line + "\n";
  return text;
}

// The texts that no line of the log contains, wherever they may come.
std::vector<std::string> NeverLogged(const std::vector<std::string>& lines, const std::vector<std::string>& texts) {
  std::vector<std::string> missing;
  for (const std::string& text : texts) {
    if (std::none_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; }))
      missing.push_back("never logged: " + text);
  }
  return missing;
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name;
}

class LuaSuite : public ::testing::TestWithParam<std::string> {};

TEST_P(LuaSuite, RunsAsItsCommentsSay) {
  TempDir dir;
  fs::create_directories(dir.file("Scripts"));
  fs::copy_file(SUITE + "/" + GetParam(), dir.file("Scripts/" + GetParam()));
  const ScriptSpec spec = ReadScriptSpec(SUITE + "/" + GetParam());
  ASSERT_FALSE(spec.expect.empty()) << "a test script needs at least one expect line";
  const auto lines = RunScript({dir.path().string(), RomsFolder(dir), GetParam(), dir.file("log.txt")}, spec);
  const auto problems = CheckLog(spec, lines);
  EXPECT_TRUE(problems.empty()) << Join(problems) << "log:\n" << Join(lines);
}

INSTANTIATE_TEST_SUITE_P(Scripts, LuaSuite, ::testing::ValuesIn(FilesIn(SUITE)), TestName);

// What a bundled script must never show.
ScriptSpec BundledSpec(int frames) {
  ScriptSpec spec;
  spec.frames = frames;
  spec.playTime = 0;
  spec.expect = {"Script loaded OK: "};
  spec.expectAbsent = {"Lua error", "Script failed", "not responding", "No valid scripts", "Error in "};
  return spec;
}

// Shows that load no files at all.
const std::set<std::string> kShowsWithoutFiles = {"typing.lua"};

class BundledScripts : public ::testing::TestWithParam<std::string> {};

TEST_P(BundledScripts, PlayOnAFreshInstallation) {
  TempDir dir;
  fs::create_directories(dir.file("Scripts"));
  fs::create_directories(dir.file("Snapshots"));
  fs::copy_file(BUNDLED + "/" + GetParam(), dir.file("Scripts/" + GetParam()));
  const ScriptSpec spec = BundledSpec(3000);  // 60 seconds of play
  const auto lines = RunScript({dir.path().string(), RomsFolder(dir), GetParam(), dir.file("log.txt")}, spec);
  const auto problems = CheckLog(spec, lines);
  EXPECT_TRUE(problems.empty()) << Join(problems) << "log:\n" << Join(lines);
}

TEST_P(BundledScripts, PlayWhenTheArchiveHoldsFilesThatDoNotLoad) {
  TempDir dir;
  fs::create_directories(dir.file("Scripts"));
  fs::create_directories(dir.file("Snapshots/games"));
  WriteWholeFile(dir.file("Snapshots/games/broken.z80"), "not a snapshot");
  WriteWholeFile(dir.file("Snapshots/short.sna"), std::string(100, '\0'));
  WriteWholeFile(dir.file("Snapshots/empty.rzx"), "");
  fs::copy_file(BUNDLED + "/" + GetParam(), dir.file("Scripts/" + GetParam()));
  const ScriptSpec spec = BundledSpec(3000);
  const auto lines = RunScript({dir.path().string(), RomsFolder(dir), GetParam(), dir.file("log.txt")}, spec);
  const auto problems = CheckLog(spec, lines);
  EXPECT_TRUE(problems.empty()) << Join(problems) << "log:\n" << Join(lines);
}

TEST_P(BundledScripts, PlayTheDemoContent) {
  TempDir dir;
  fs::create_directories(dir.file("Scripts"));
  fs::copy(DEMO, dir.file("Snapshots"));
  fs::copy_file(BUNDLED + "/" + GetParam(), dir.file("Scripts/" + GetParam()));
  ScriptSpec spec = BundledSpec(3000);
  // Every demo file loads on the first machine it is offered to that can take it.
  spec.expectAbsent.push_back("Couldn't load snapshot");
  spec.expectAbsent.push_back("failed to load snapshot");
  const auto lines = RunScript({dir.path().string(), RomsFolder(dir), GetParam(), dir.file("log.txt")}, spec);
  auto problems = CheckLog(spec, lines);
  if (kShowsWithoutFiles.count(GetParam()) == 0)
    for (const std::string& missing : NeverLogged(lines, {"CSpeccy:LoadSnapshot loading: "})) problems.push_back(missing);
  EXPECT_TRUE(problems.empty()) << Join(problems) << "log:\n" << Join(lines);
}

INSTANTIATE_TEST_SUITE_P(Data, BundledScripts, ::testing::ValuesIn(FilesIn(BUNDLED)), TestName);

// Shows that play programs of their own choosing rather than what the archive offers.
const std::set<std::string> kDedicatedShows = {"ay_concert.lua", "demo_collection.lua", "input_replay.lua",
                                                "tape_loading.lua", "typing.lua"};

std::vector<std::string> ArchiveScripts() {
  std::vector<std::string> names = FilesIn(BUNDLED);
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const std::string& name) {
                               return !HasExtension(name.c_str(), "lua") || kDedicatedShows.count(name) != 0;
                             }),
              names.end());
  return names;
}

class BundledArchiveScripts : public ::testing::TestWithParam<std::string> {};

// A 128K program, a 48K program and a screen: each script shows all three within a minute, each on
// a machine of its own model, and says so in the log.
TEST_P(BundledArchiveScripts, PutEachFileOnAMachineOfItsModel) {
  TempDir dir;
  fs::create_directories(dir.file("Scripts"));
  fs::create_directories(dir.file("Snapshots"));
  for (const char* name : {"bouncing_balls.z80", "plasma.z80", "test_card.scr"})
    fs::copy_file(DEMO + "/" + name, dir.file(std::string("Snapshots/") + name));
  fs::copy_file(BUNDLED + "/" + GetParam(), dir.file("Scripts/" + GetParam()));
  ScriptSpec spec = BundledSpec(6000);
  spec.expectAbsent.push_back("Couldn't load snapshot");
  const auto lines = RunScript({dir.path().string(), RomsFolder(dir), GetParam(), dir.file("log.txt")}, spec);
  auto problems = CheckLog(spec, lines);
  for (const std::string& missing :
       NeverLogged(lines, {": bouncing_balls.z80 on a 128K Spectrum", ": plasma.z80 on a 48K Spectrum", ": test_card.scr, a screen"}))
    problems.push_back(missing);
  EXPECT_TRUE(problems.empty()) << Join(problems) << "log:\n" << Join(lines);
}

INSTANTIATE_TEST_SUITE_P(Data, BundledArchiveScripts, ::testing::ValuesIn(ArchiveScripts()), TestName);

TEST(BundledZippedShow, LoadsItsProgramFromItsOwnZip) {
  TempDir dir;
  fs::create_directories(dir.file("Scripts"));
  fs::create_directories(dir.file("Snapshots"));
  fs::copy_file(BUNDLED + "/zipped_show.zip", dir.file("Scripts/zipped_show.zip"));
  ScriptSpec spec = BundledSpec(1500);
  spec.expect.insert(spec.expect.begin(), "  opening \"bouncing_balls.z80\" within compressed file ");
  spec.expectAbsent.push_back("did not load");
  spec.expectAbsent.push_back("Couldn't load snapshot");
  const auto lines = RunScript({dir.path().string(), RomsFolder(dir), "zipped_show.zip", dir.file("log.txt")}, spec);
  const auto problems = CheckLog(spec, lines);
  EXPECT_TRUE(problems.empty()) << Join(problems) << "log:\n" << Join(lines);
}

TEST(BundledZippedShow, ScriptCopiedOutOfItsZipStillPlays) {
  TempDir dir;
  fs::create_directories(dir.file("Scripts"));
  fs::create_directories(dir.file("Snapshots"));
  const std::string source = std::string(GLIMMERBOX_SOURCE_DATA) + "/../tools/zipped_show/zipped_show.lua";
  fs::copy_file(source, dir.file("Scripts/zipped_show.lua"));
  ScriptSpec spec = BundledSpec(1500);
  spec.expect.insert(spec.expect.begin(), "Zipped Show: bouncing_balls.z80 did not load (result 4)");
  const auto lines = RunScript({dir.path().string(), RomsFolder(dir), "zipped_show.lua", dir.file("log.txt")}, spec);
  const auto problems = CheckLog(spec, lines);
  EXPECT_TRUE(problems.empty()) << Join(problems) << "log:\n" << Join(lines);
}

// The zip is written by tools/make-zipped-show; it must hold its sources as they are now, the
// script first.
TEST(BundledZippedShow, ZipHoldsItsSources) {
  const std::string tools = std::string(GLIMMERBOX_SOURCE_DATA) + "/../tools";
  const struct {
    const char* member;
    std::string source;
  } members[] = {
      {"zipped_show.lua", tools + "/zipped_show/zipped_show.lua"},
      {"bouncing_balls.z80", DEMO + "/bouncing_balls.z80"},
  };
  CZip zip;
  ASSERT_EQ(zip.Open((BUNDLED + "/zipped_show.zip").c_str()), UNZ_OK);
  ASSERT_EQ(unzGoToFirstFile(zip.Handle()), UNZ_OK);
  for (size_t i = 0; i < std::size(members); ++i) {
    SCOPED_TRACE(members[i].member);
    if (i > 0) {
      ASSERT_EQ(unzGoToNextFile(zip.Handle()), UNZ_OK);
    }
    ASSERT_EQ(zip.ReadCurrentInfo(), UNZ_OK);
    EXPECT_STREQ(zip.MemberName(), members[i].member);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(zip.ReadCurrentMember(bytes), UNZ_OK);
    EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == ReadWholeFile(members[i].source))
        << "data/Scripts/zipped_show.zip is out of date: run tools/make-zipped-show";
  }
  EXPECT_EQ(unzGoToNextFile(zip.Handle()), UNZ_END_OF_LIST_OF_FILE);
}

class TypingShow : public ::testing::TestWithParam<Roms> {};

// Each ROM takes the program its own way (keyword keys, or keywords spelt out); the show looks
// at the colour cells and the border the program leaves and says whether it ran.
TEST_P(TypingShow, TypesItsProgramAndRunsIt) {
  TempDir dir;
  const std::string roms = RomsFolder(dir, GetParam());
  if (roms.empty()) GTEST_SKIP() << "no such ROMs here";
  fs::create_directories(dir.file("Scripts"));
  fs::copy_file(BUNDLED + "/typing.lua", dir.file("Scripts/typing.lua"));
  ScriptSpec spec = BundledSpec(3000);
  spec.expect.push_back(GetParam() == Roms::OpenSE ? "Typing: the program ran (keywords spelt out)"
                                                   : "Typing: the program ran (keywords by their keys)");
  spec.expectAbsent.push_back("did not run");
  const auto lines = RunScript({dir.path().string(), roms, "typing.lua", dir.file("log.txt")}, spec);
  const auto problems = CheckLog(spec, lines);
  EXPECT_TRUE(problems.empty()) << Join(problems) << "log:\n" << Join(lines);
}

INSTANTIATE_TEST_SUITE_P(Data, TypingShow, ::testing::Values(Roms::OpenSE, Roms::Original), RomsName);

const std::string EXAMPLES = std::string(GLIMMERBOX_SOURCE_DATA) + "/../docs/examples";

class DocumentedExamples : public ::testing::TestWithParam<std::tuple<std::string, Roms>> {};

// The reference's examples play for ten seconds without an error on either ROM, and the
// reference quotes each file whole.
TEST_P(DocumentedExamples, PlayAndAreQuotedWhole) {
  const auto& [name, romKind] = GetParam();
  const std::string text = ReadWholeFile(EXAMPLES + "/" + name);
  const std::string reference = ReadWholeFile(std::string(GLIMMERBOX_SOURCE_DATA) + "/../docs/scripting.md");
  EXPECT_NE(reference.find("```lua\n" + text + "```\n"), std::string::npos)
      << "docs/scripting.md does not quote docs/examples/" << name << " as it is";

  TempDir dir;
  const std::string roms = RomsFolder(dir, romKind);
  if (roms.empty()) GTEST_SKIP() << "no such ROMs here";
  fs::create_directories(dir.file("Scripts"));
  fs::copy(DEMO, dir.file("Snapshots"));
  fs::copy_file(EXAMPLES + "/" + name, dir.file("Scripts/" + name));
  const ScriptSpec spec = BundledSpec(500);
  const auto lines = RunScript({dir.path().string(), roms, name, dir.file("log.txt")}, spec);
  const auto problems = CheckLog(spec, lines);
  EXPECT_TRUE(problems.empty()) << Join(problems) << "log:\n" << Join(lines);
}

INSTANTIATE_TEST_SUITE_P(Docs, DocumentedExamples,
                         ::testing::Combine(::testing::ValuesIn(FilesIn(EXAMPLES)),
                                            ::testing::Values(Roms::OpenSE, Roms::Original)),
                         [](const ::testing::TestParamInfo<std::tuple<std::string, Roms>>& info) {
                           return TestName({std::get<0>(info.param), info.index}) + "_" +
                                  RomsName({std::get<1>(info.param), info.index});
                         });

TEST(BundledScriptsCatalogue, EveryScriptDescribesItself) {
  const auto names = FilesIn(BUNDLED);
  ASSERT_GE(names.size(), 3u);
  TempDir dir;
  fs::create_directories(dir.file("Scripts"));
  for (const std::string& name : names) fs::copy_file(BUNDLED + "/" + name, dir.file("Scripts/" + name));
  ScriptSpec spec;
  spec.catalogue = true;
  spec.frames = 1;
  for (const std::string& name : names) spec.expect.push_back("Added script to list: " + name + " (");
  spec.expectAbsent = {"*** Error loading script", "<no name>"};
  const auto lines = RunScript({dir.path().string(), RomsFolder(dir), "", dir.file("log.txt")}, spec);
  const auto problems = CheckLog(spec, lines);
  EXPECT_TRUE(problems.empty()) << Join(problems) << "log:\n" << Join(lines);
}

}  // namespace
