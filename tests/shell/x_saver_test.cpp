// The program under a private Xvfb, as a desktop runs it: a preview into a window that does not
// exist or that goes away, a signal in the middle of a run, and full screen over two monitors.
// Pictures of what the screen showed go to the build folder's x-pictures/.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/support/processes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xwd.h"

// Last: Xlib's macros (None, Bool) would clash with the test library's names.
#include <X11/Xlib.h>

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

class XSaverRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("Xvfb")) GTEST_SKIP() << "no Xvfb";
    if (!fs::exists(fs::path(GLIMMERBOX_SOURCE_DATA) / "Roms" / "48.rom"))
      GTEST_SKIP() << "no ROMs in data/Roms (tools/install-roms)";
  }

  // Starts the program on `display` with `options`; output goes to output.txt.
  pid_t Start(const std::string& display, const std::string& options) {
    const std::string command =
        "env DISPLAY=" + display + " XDG_CONFIG_HOME=" + Quoted(dir_.file("config")) +
        " XDG_DATA_HOME=" + Quoted(dir_.file("data")) + " ASAN_OPTIONS=detect_leaks=0 " +
        Quoted(GLIMMERBOX_EXE) + " " + options + " --base " + Quoted(GLIMMERBOX_SOURCE_DATA) +
        " > " + Quoted(dir_.file("output.txt")) + " 2>&1";
    const pid_t pid = StartInBackground(command);
    running_.push_back(pid);
    return pid;
  }

  // Waits for the program to end: its exit status, -1 when it had to be killed.
  int Finish(pid_t pid, double seconds) {
    std::erase(running_, pid);
    return WaitForExit(pid, seconds);
  }

  void TearDown() override {
    // A test that stopped half-way leaves nothing running.
    for (pid_t pid : running_) WaitForExit(pid, 0);
  }

  std::string LogPath() const { return dir_.file("data") + "/Corvane/Glimmerbox 1.01 Log.txt"; }
  std::string Log() const { return ReadWholeFile(LogPath()); }
  bool WaitForLog(const std::string& text, double seconds = 60) {
    return WaitFor(seconds, [&] { return FileContains(LogPath(), text); });
  }
  std::string Output() const { return ReadWholeFile(dir_.file("output.txt")); }

  void ExpectNormalClose() {
    const std::string log = Log();
    EXPECT_NE(log.find("Peforming final cleanup"), std::string::npos) << log;
    EXPECT_NE(log.find("Glimmerbox closing normally with return code of 0"), std::string::npos)
        << log;
    EXPECT_EQ(log.rfind("Log is being closed."), log.size() - 21) << log;
  }

  TempDir dir_;
  std::vector<pid_t> running_;
};

// The fraction of the area's pixels that are not black.
double LitShare(const Picture& picture, uint32_t left, uint32_t right) {
  size_t lit = 0;
  for (uint32_t y = 0; y < picture.height; ++y)
    for (uint32_t x = left; x < right; ++x) lit += (picture.At(x, y) & 0xFFFFFF) != 0;
  return static_cast<double>(lit) / (static_cast<double>(right - left) * picture.height);
}

bool TakeScreenshot(const std::string& display, const std::string& path, Picture* picture) {
  const std::string command = "xwd -display " + display + " -root -silent > " + Quoted(path);
  return std::system(command.c_str()) == 0 && LoadXwd(path, picture);
}

// Two 48K machines booting on a dark blue background.
std::string TestScript() {
  return Quoted(std::string(GLIMMERBOX_TEST_DIR) + "/shell/scripts/two_machines.lua");
}

std::string PicturesFolder() {
  const std::string folder = std::string(GLIMMERBOX_BUILD_DIR) + "/x-pictures";
  fs::create_directories(folder);
  return folder;
}

}  // namespace

TEST_F(XSaverRun, APreviewIntoAWindowThatDoesNotExistEndsCleanly) {
  XvfbServer server({"-screen", "0", "640x480x24"});
  ASSERT_FALSE(server.Display().empty());
  const pid_t saver = Start(server.Display(), "/p 4242");
  EXPECT_EQ(Finish(saver, 60), 0) << Output();
  EXPECT_NE(Log().find("No preview available"), std::string::npos) << Log();
  ExpectNormalClose();
}

TEST_F(XSaverRun, APreviewEndsCleanlyWhenItsParentWindowIsDestroyed) {
  XvfbServer server({"-screen", "0", "640x480x24"});
  ASSERT_FALSE(server.Display().empty());
  Display* display = XOpenDisplay(server.Display().c_str());
  ASSERT_NE(display, nullptr);
  const Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 150,
                                            0, 0, 0);
  XMapWindow(display, parent);
  XSync(display, False);

  const pid_t saver = Start(server.Display(), "/p " + std::to_string(parent) +
                                                  " --script " + TestScript());
  ASSERT_TRUE(WaitForLog("Script loaded OK")) << Output();
  XDestroyWindow(display, parent);
  XSync(display, False);
  EXPECT_EQ(Finish(saver, 30), 0) << Output();
  XCloseDisplay(display);
  EXPECT_NE(Log().find("The saver's window is gone"), std::string::npos) << Log();
  ExpectNormalClose();
}

TEST_F(XSaverRun, SigtermInTheMiddleOfARunSavesSmartPlayAndClosesTheLog) {
  XvfbServer server({"-screen", "0", "800x600x24"});
  ASSERT_FALSE(server.Display().empty());
  const pid_t saver = Start(server.Display(), "/t --script snapshot_gallery.lua");
  // The gallery takes its snapshots from the archive, which makes SmartPlay active.
  ASSERT_TRUE(WaitForLog("Snapshot Gallery: ")) << Output() << Log();
  const auto signalled = std::chrono::steady_clock::now();
  kill(saver, SIGTERM);
  EXPECT_EQ(Finish(saver, 30), 0) << Output();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
  EXPECT_LT(seconds, 1.5) << "the end watch allows one second";
  EXPECT_TRUE(fs::exists(dir_.file("data") + "/Corvane/SmartPlay.dat"));
  EXPECT_NE(Log().find("Ending on signal 15"), std::string::npos) << Log();
  EXPECT_NE(Log().find("Writing SmartPlay state to disk..."), std::string::npos) << Log();
  ExpectNormalClose();
}

// The X server going away is no X error to die of: the saver closes as on a key press.
TEST_F(XSaverRun, TheDisplayGoingAwayEndsTheSaverCleanly) {
  XvfbServer server({"-screen", "0", "640x480x24"});
  ASSERT_FALSE(server.Display().empty());
  const pid_t saver = Start(server.Display(), "/t --script " + TestScript());
  ASSERT_TRUE(WaitForLog("Script loaded OK")) << Output();
  server.Stop();
  EXPECT_EQ(Finish(saver, 30), 0) << Output();
  EXPECT_NE(Log().find("The saver's window is gone"), std::string::npos) << Log();
  ExpectNormalClose();
}

// Two X screens are two displays for SDL: the scene on the first, black on the second, and the
// mouse moving over the second ends the saver.
TEST_F(XSaverRun, FullScreenCoversBothMonitorsAndTheSecondOneEndsIt) {
  if (!HaveProgram("xwd") || !HaveProgram("xdotool")) GTEST_SKIP() << "no xwd or xdotool";
  XvfbServer server({"-screen", "0", "800x600x24", "-screen", "1", "640x480x24"});
  ASSERT_FALSE(server.Display().empty());
  const pid_t saver = Start(server.Display(), "/s --script " + TestScript());
  ASSERT_TRUE(WaitForLog("Script loaded OK")) << Output();

  const std::string folder = PicturesFolder();
  Picture first, second;
  // Polled: the first frames take a moment under the software renderer.
  const bool drawn = WaitFor(30, [&] {
    return TakeScreenshot(server.Display() + ".0", folder + "/first-monitor.xwd", &first) &&
           LitShare(first, 0, first.width) > 0.5;
  });
  SavePng(first, folder + "/first-monitor.png");
  ASSERT_TRUE(drawn) << "the scene on the first monitor; see x-pictures/first-monitor.png";
  ASSERT_TRUE(TakeScreenshot(server.Display() + ".1", folder + "/second-monitor.xwd", &second));
  SavePng(second, folder + "/second-monitor.png");
  EXPECT_EQ(second.width, 640u);
  EXPECT_EQ(LitShare(second, 0, second.width), 0.0) << "the second monitor is black";

  // Small moves, each to a new place, on the second monitor only.
  for (int step = 0; step < 8; ++step) {
    std::system(("DISPLAY=" + server.Display() + " xdotool mousemove --screen 1 " +
                 std::to_string(200 + 20 * step) + " 300").c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(Finish(saver, 30), 0) << Output();
  ExpectNormalClose();
}
