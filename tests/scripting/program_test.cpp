// Scripts as the program plays them: the playlist switching on play time and skipping scripts
// that fail, SmartPlay choosing every file once across two runs, and captions on the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/support/png.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// A base folder of its own (the bundled model, the ROMs when there are any) and private settings
// and data folders, in which the program is run headless and unthrottled.
class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = dir_.path() / "base";
    fs::create_directories(base_ / "Scripts");
    fs::create_directories(base_ / "Snapshots");
    fs::create_directories(dir_.path() / "config" / "Corvane");
    fs::copy(fs::path(GLIMMERBOX_SOURCE_DATA) / "Models", base_ / "Models");
    const fs::path roms = fs::path(GLIMMERBOX_SHARED_DIR) / "roms";
    if (fs::exists(roms / "48.rom")) fs::copy(roms, base_ / "Roms");
  }

  void Script(const std::string& name, const std::string& text) {
    WriteWholeFile((base_ / "Scripts" / name).string(), text);
  }

  // The user's settings: values as REGEDIT4 lines.
  void Settings(const std::string& values) {
    WriteWholeFile(dir_.file("config/Corvane/Glimmerbox.reg"),
                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox]\n" +
                       values);
  }

  int Run(const std::string& options) {
    const std::string command = "env XDG_CONFIG_HOME=" + Quoted(dir_.file("config")) +
                                " XDG_DATA_HOME=" + Quoted(dir_.file("data")) + " XDG_RUNTIME_DIR=" +
                                Quoted(dir_.path().string()) + " " + Quoted(GLIMMERBOX_EXE) +
                                " --headless --unthrottled --base " + Quoted(base_.string()) + " " +
                                options + " > " + Quoted(dir_.file("output.txt")) + " 2>&1";
    return std::system(command.c_str());
  }

  // The log's messages (without time stamps) that start with `prefix`.
  std::vector<std::string> LogLines(const std::string& prefix) const {
    std::vector<std::string> lines;
    const std::string log = ReadWholeFile(dir_.file("data/Corvane/Glimmerbox 1.01 Log.txt"));
    size_t start = 0;
    while (start < log.size()) {
      size_t end = log.find('\n', start);
      if (end == std::string::npos) end = log.size();
      const std::string message = log.substr(start, end - start).substr(std::min<size_t>(11, end - start));
      if (message.rfind(prefix, 0) == 0) lines.push_back(message);
      start = end + 1;
    }
    return lines;
  }

  TempDir dir_;
  fs::path base_;
};

// A script that logs its name when it starts and then sleeps.
std::string Announcing(const std::string& name) {
  return "Script_Details = { Name = '" + name + "' }\n"
         "function Script_Start()\n  gbox.Log('Playing " + name + "')\n"
         "  while true do gbox.Sleep(0.1) end\nend\n";
}

// A script that is catalogued (its details load) but fails as soon as it is started.
std::string Failing(const std::string& name) {
  return "Script_Details = { Name = '" + name + "' }\n"
         "function Script_Start() error('" + name + " cannot start') end\n";
}

bool IsYellow(uint32_t argb) {
  return ((argb >> 16) & 0xFF) > 0xC0 && ((argb >> 8) & 0xFF) > 0xC0 && (argb & 0xFF) < 0x40;
}

// Yellow pixels inside a rectangle of a screenshot.
int YellowPixels(const Picture& picture, uint32_t left, uint32_t top, uint32_t right, uint32_t bottom) {
  int count = 0;
  for (uint32_t y = top; y < bottom && y < picture.height; ++y)
    for (uint32_t x = left; x < right && x < picture.width; ++x) count += IsYellow(picture.At(x, y));
  return count;
}

}  // namespace

TEST_F(Program, ASequentialPlaylistSwitchesOnPlayTimeAndSkipsAFailingScript) {
  Script("a.lua", Announcing("a"));
  Script("b.lua", Failing("b"));
  Script("c.lua", Announcing("c"));
  // In sequence, one second each: 50 unthrottled frames.
  Settings("\"Play Mode\"=dword:00000000\n\"Play Time\"=dword:00000001\n");
  ASSERT_EQ(Run("--frames 240"), 0) << ReadWholeFile(dir_.file("output.txt"));

  // b fails when its turn comes; the schedule starts again from the first script that has not
  // failed, and b is never tried again.
  EXPECT_EQ(LogLines("Playing "),
            (std::vector<std::string>{"Playing a", "Playing a", "Playing c", "Playing a", "Playing c"}));
  EXPECT_EQ(LogLines("Script failed to load: ").size(), 1u);
  EXPECT_TRUE(LogLines("No valid scripts available").empty());
}

TEST_F(Program, WhenEveryScriptFailsNothingIsLeftToPlay) {
  for (const char* name : {"a", "b", "c"}) Script(std::string(name) + ".lua", Failing(name));
  Settings("\"Play Mode\"=dword:00000000\n\"Play Time\"=dword:00000001\n");
  ASSERT_EQ(Run("--frames 20"), 0);
  EXPECT_EQ(LogLines("Script failed to load: ").size(), 3u);
  // Said by the scheduler, then shown (and logged) as the saver's error message.
  EXPECT_FALSE(LogLines("No valid scripts available").empty())
      << ReadWholeFile(dir_.file("data/Corvane/Glimmerbox 1.01 Log.txt"));
}

TEST_F(Program, SmartPlayShowsEveryFileOnceAcrossTwoRuns) {
  const std::string screen(6912, '\0');
  for (const char* name : {"one.scr", "two.scr", "three.scr"})
    WriteWholeFile((base_ / "Snapshots" / name).string(), screen);
  Script("pick.lua",
         "Script_Details = { Name = 'Pick' }\n"
         "function Script_Start()\n"
         "  for i = 1, 2 do gbox.Log('Selected ' .. gbox.SelectFileFromArchive()) end\n"
         "  while true do gbox.Sleep(1) end\nend\n");

  ASSERT_EQ(Run("--frames 5 --script pick.lua"), 0) << ReadWholeFile(dir_.file("output.txt"));
  ASSERT_TRUE(fs::exists(dir_.file("data/Corvane/SmartPlay.dat")));
  ASSERT_EQ(Run("--frames 5 --script pick.lua"), 0);

  const std::vector<std::string> selected = LogLines("Selected ");
  ASSERT_EQ(selected.size(), 4u);
  // The first three choices, two in the first run and one in the second, are three different
  // files; only then does a file come round again.
  EXPECT_EQ(std::set<std::string>(selected.begin(), selected.begin() + 3).size(), 3u);
  EXPECT_EQ(LogLines("Successfully restored 3 files from the SmartPlay database").size(), 1u);
}

TEST_F(Program, CaptionsAppearInYellowWhereTheyArePutAndGoWhenTheirTimeIsUp) {
  // One second on screen: 50 unthrottled frames.
  Script("caption.lua",
         "Script_Details = { Name = 'Caption' }\n"
         "function Script_Start()\n"
         "  gbox.Text(100, 60, 'GLIMMERBOX', 1)\n"
         "  gbox.Text(300, 200, 'SECOND LINE\\nTHIRD', 1)\n"
         "  while true do gbox.Sleep(1) end\nend\n");
  const std::string early = dir_.file("early.png"), late = dir_.file("late.png");
  ASSERT_EQ(Run("--frames 10 --script caption.lua --screenshot " + Quoted(early)), 0);
  ASSERT_EQ(Run("--frames 80 --script caption.lua --screenshot " + Quoted(late)), 0);

  Picture shown, gone;
  ASSERT_TRUE(LoadPng(early, &shown));
  ASSERT_TRUE(LoadPng(late, &gone));
  // The first caption's letters start at (100, 60) and are 16 pixels high at 12 points.
  EXPECT_GT(YellowPixels(shown, 100, 60, 220, 80), 100);
  EXPECT_EQ(YellowPixels(shown, 0, 0, 98, 400), 0) << "nothing left of the first caption";
  EXPECT_EQ(YellowPixels(shown, 100, 0, 300, 58), 0) << "nothing above it";
  // The second one at (300, 200), with a second line below.
  EXPECT_GT(YellowPixels(shown, 300, 200, 420, 218), 50);
  EXPECT_GT(YellowPixels(shown, 300, 218, 400, 238), 30);
  // After their second on screen both are gone.
  EXPECT_EQ(YellowPixels(gone, 0, 0, gone.width, gone.height), 0);
}
