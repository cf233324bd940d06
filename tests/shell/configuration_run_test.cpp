// Configuration mode as the program runs it: with no display it says so and ends at once; off
// screen with --screenshot it draws the settings dialog into a picture. The password mode too, and
// the saver's modes with no display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/png.h"
#include "tests/support/temp_dir.h"

namespace {

// Runs the program with no display and private settings folders; its exit status, or -1 when it
// had to be stopped after `seconds`.
int RunWithoutDisplay(const TempDir& dir, const std::string& options, int seconds = 60) {
  const std::string command =
      "env -u DISPLAY -u WAYLAND_DISPLAY -u XSCREENSAVER_WINDOW XDG_CONFIG_HOME='" +
      dir.file("config") + "' XDG_DATA_HOME='" + dir.file("data") + "' timeout " +
      std::to_string(seconds) + " '" GLIMMERBOX_EXE "' " + options + " > '" +
      dir.file("output.txt") + "' 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) && WEXITSTATUS(status) != 124 ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(ConfigurationRun, WithNoDisplayTheProgramSaysSoAndEnds) {
  TempDir dir;
  for (const char* options : {"/c", "-c 1234"}) {
    EXPECT_EQ(RunWithoutDisplay(dir, options), 0) << options;
    const std::string output = ReadWholeFile(dir.file("output.txt"));
    EXPECT_NE(output.find("There is no display to show the settings dialog on."), std::string::npos)
        << options << ": " << output;
  }
  EXPECT_EQ(ReadWholeFile(dir.file("config/Corvane/Glimmerbox.reg")).find("Hot Key"), std::string::npos);
}

TEST(ConfigurationRun, OffScreenTheDialogIsDrawnIntoAPicture) {
  TempDir dir;
  const std::string picture = dir.file("settings.png");
  ASSERT_EQ(RunWithoutDisplay(dir, "/c --headless --screenshot '" + picture + "'"), 0)
      << ReadWholeFile(dir.file("output.txt"));
  Picture png;
  ASSERT_TRUE(LoadPng(picture, &png));
  EXPECT_EQ(png.width, 640u);
  EXPECT_GT(png.height, 500u);
  // Nothing was confirmed, so no setting was written.
  EXPECT_EQ(ReadWholeFile(dir.file("config/Corvane/Glimmerbox.reg")).find("Hot Key"), std::string::npos);
}

// "/a" has no password of its own to change: a message box says who keeps it (stderr without a
// display, nothing on stdout), and the program ends with 0.
TEST(PasswordRun, TheDesktopsScreenLockerIsNamedAsAMessage) {
  TempDir dir;
  for (const char* options : {"/a", "-a 1234", "/a --headless"}) {
    const std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME='" + dir.file("config") +
        "' XDG_DATA_HOME='" + dir.file("data") + "' timeout 60 '" GLIMMERBOX_EXE "' " + options +
        " > '" + dir.file("stdout.txt") + "' 2> '" + dir.file("stderr.txt") + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << options;
    EXPECT_EQ(WEXITSTATUS(status), 0) << options;
    EXPECT_EQ(ReadWholeFile(dir.file("stdout.txt")), "") << options;
    EXPECT_NE(ReadWholeFile(dir.file("stderr.txt"))
                  .find("Password protection is provided by your desktop's screen locker."),
              std::string::npos)
        << options;
  }
}

// Nobody would see a saver drawn nowhere: each mode that shows one says it needs a display, in the
// log and on stderr, and ends at once.
TEST(SaverRunWithoutDisplay, SaysItNeedsOneAndEnds) {
  TempDir dir;
  const std::string message = "There is no display to show the screen saver on";
  for (const char* options : {"/s", "/p 5", "/t", "-root", "-window-id 5"}) {
    EXPECT_EQ(RunWithoutDisplay(dir, options, 20), 0) << options;
    const std::string output = ReadWholeFile(dir.file("output.txt"));
    EXPECT_NE(output.find(message), std::string::npos) << options << ": " << output;
    EXPECT_NE(output.find("--headless"), std::string::npos) << options << ": " << output;
  }
  const std::string log = ReadWholeFile(dir.file("data/Corvane/Glimmerbox 1.01 Log.txt"));
  EXPECT_NE(log.find(message), std::string::npos) << log;
}
