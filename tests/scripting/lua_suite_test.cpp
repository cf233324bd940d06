// The Lua test scripts of lua/, each run through the headless frame loop and checked against the
// expectations in its comments; and the bundled scripts of data/Scripts, which must play without
// an error on a fresh installation (OpenSE ROMs, no snapshots) and with a broken snapshot archive.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

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

// The ROMs of a fresh installation: Debian's OpenSE BASIC under the standard names, else the
// original ROMs from ../shared, else none (machines then run on an empty bus).
std::string RomsFolder(const TempDir& dir) {
  const std::string opense = "/usr/share/spectrum-roms";
  const std::string roms = dir.file("Roms");
  fs::create_directories(roms);
  if (fs::exists(opense + "/opense.rom") && fs::exists(opense + "/opense-stub.rom")) {
    for (const char* name : {"48.rom", "128-1.rom", "plus2-1.rom"})
      fs::copy_file(opense + "/opense.rom", roms + "/" + name);
    for (const char* name : {"128-0.rom", "plus2-0.rom"})
      fs::copy_file(opense + "/opense-stub.rom", roms + "/" + name);
    return roms;
  }
  return std::string(GLIMMERBOX_SHARED_DIR) + "/roms";
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "  " + line + "\n";
  return text;
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

INSTANTIATE_TEST_SUITE_P(Data, BundledScripts, ::testing::ValuesIn(FilesIn(BUNDLED)), TestName);

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
