// End to end with Debian's XScreenSaver daemon under Xvfb: a private HOME whose .xscreensaver
// selects only Glimmerbox, five activations in a row (one with the machine kept busy), each
// checked on the screen (televisions, not black, not the error box), in the log (the normal close)
// and in SmartPlay.dat, with no Glimmerbox process left behind. The daemon refuses to run hacks
// as root, so as root the test runs it as nobody, with copies of the program and its data that
// nobody can read. Pictures go to the build folder's x-pictures/.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/support/processes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xwd.h"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// What the daemon's screen shows: televisions have many colours over much of it; the error box
// is one grey box on black.
struct ScreenLook {
  double lit = 0;
  size_t colours = 0;
  double errorGrey = 0;
};

ScreenLook Look(const Picture& picture) {
  ScreenLook look;
  std::set<uint32_t> colours;
  size_t lit = 0, grey = 0;
  for (uint32_t y = 0; y < picture.height; y += 2)
    for (uint32_t x = 0; x < picture.width; x += 2) {
      const uint32_t rgb = picture.At(x, y) & 0xFFFFFF;
      lit += rgb != 0;
      grey += rgb == 0xD4D0C8;
      if (colours.size() < 1000) colours.insert(rgb);
    }
  const double samples = (picture.width / 2.0) * (picture.height / 2.0);
  look.lit = static_cast<double>(lit) / samples;
  look.errorGrey = static_cast<double>(grey) / samples;
  look.colours = colours.size();
  return look;
}

class DaemonEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* program : {"Xvfb", "xscreensaver", "xscreensaver-command", "xwd", "setpriv"})
      if (!HaveProgram(program)) GTEST_SKIP() << "no " << program << " (tools/install-deps)";
    // The program and its data where the daemon's user can read them.
    fs::create_directories(dir_.path() / "bin");
    exe_ = (dir_.path() / "bin" / "glimmerbox").string();
    fs::copy_file(GLIMMERBOX_EXE, exe_);
    data_ = (dir_.path() / "data").string();
    fs::copy(GLIMMERBOX_SOURCE_DATA, data_, fs::copy_options::recursive);
    const fs::path shared = fs::path(GLIMMERBOX_SHARED_DIR) / "roms";
    for (const char* rom : {"48.rom", "128-0.rom", "128-1.rom", "plus2-0.rom", "plus2-1.rom"})
      if (!fs::exists(fs::path(data_) / "Roms" / rom) && fs::exists(shared / rom))
        fs::copy_file(shared / rom, fs::path(data_) / "Roms" / rom);
    if (!fs::exists(fs::path(data_) / "Roms" / "48.rom"))
      GTEST_SKIP() << "no ROMs (tools/install-roms, or ../shared/roms)";
    home_ = (dir_.path() / "home").string();
    fs::create_directories(home_);
    fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
    if (geteuid() == 0) {
      as_ = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
      ASSERT_EQ(std::system(("chown -R nobody:nogroup " + Quoted(home_)).c_str()), 0);
    }
    WriteWholeFile(home_ + "/.xscreensaver",
                   "mode: one\nselected: 0\ntimeout: 1:00:00\ncycle: 0:00:00\nlock: False\n"
                   "fade: False\nunfade: False\nsplash: False\ndpmsEnabled: False\n"
                   "programs: \"Glimmerbox\" " + exe_ + " --root --base " + data_ +
                   " --script wall_of_screens.lua\n");
    if (geteuid() == 0) std::system(("chown nobody:nogroup " + Quoted(home_ + "/.xscreensaver")).c_str());
    ASSERT_EQ(AsDaemonUser("test -x " + Quoted(exe_) + " && test -r " + Quoted(data_ + "/Models/tv.x") +
                           " && test -r " + Quoted(data_ + "/Roms/48.rom") + " && test -w " +
                           Quoted(home_)),
              0)
        << "the daemon's user cannot reach the program, its data or its HOME";
  }

  void TearDown() override {
    for (pid_t pid : busy_) WaitForExit(pid, 0);
    if (daemon_ > 0) {
      Command("-exit");
      WaitForExit(daemon_, 10);
    }
  }

  int AsDaemonUser(const std::string& command) {
    return std::system((as_ + "sh -c " + Quoted(command)).c_str());
  }

  // xscreensaver-command as the daemon's user; its exit status.
  int Command(const std::string& option) {
    return std::system((as_ + "env HOME=" + Quoted(home_) + " DISPLAY=" + display_ +
                        " xscreensaver-command " + option + " > /dev/null 2>&1")
                           .c_str());
  }

  std::string LogPath() const { return home_ + "/.local/share/Corvane/Glimmerbox 1.01 Log.txt"; }
  std::string SmartPlayPath() const { return home_ + "/.local/share/Corvane/SmartPlay.dat"; }
  // The log from `offset` on: this activation's run.
  std::string LogFrom(size_t offset) const {
    const std::string log = ReadWholeFile(LogPath());
    return offset < log.size() ? log.substr(offset) : "";
  }
  bool HackRunning() const {
    return std::system(("pgrep -f " + Quoted("^" + exe_) + " > /dev/null").c_str()) == 0;
  }

  TempDir dir_;
  std::string exe_, data_, home_, as_, display_;
  pid_t daemon_ = 0;
  std::vector<pid_t> busy_;
};

}  // namespace

TEST_F(DaemonEndToEnd, FiveActivationsDrawTheShowAndEachEndsThroughTheNormalClose) {
  XvfbServer server({"-screen", "0", "800x600x24"});
  ASSERT_FALSE(server.Display().empty());
  display_ = server.Display();
  // The hack's leak report would only be about the X11 driver's session-bus library.
  daemon_ = StartInBackground(as_ + "env -i HOME=" + Quoted(home_) + " DISPLAY=" + display_ +
                              " PATH=/usr/bin:/bin ASAN_OPTIONS=detect_leaks=0 xscreensaver "
                              "-no-splash -verbose > " + Quoted(dir_.file("daemon.txt")) + " 2>&1");
  ASSERT_TRUE(WaitFor(60, [&] { return Command("-version") == 0; }))
      << ReadWholeFile(dir_.file("daemon.txt"));

  const std::string pictures = std::string(GLIMMERBOX_BUILD_DIR) + "/x-pictures";
  fs::create_directories(pictures);
  constexpr int kBusyRun = 3;
  for (int run = 1; run <= 5; ++run) {
    SCOPED_TRACE("activation " + std::to_string(run));
    const size_t offset = ReadWholeFile(LogPath()).size();
    ASSERT_EQ(Command("-activate"), 0);
    ASSERT_TRUE(WaitFor(120, [&] { return LogFrom(offset).find("Script loaded OK") != std::string::npos; }))
        << LogFrom(offset) << ReadWholeFile(dir_.file("daemon.txt"));

    // Polled: the first frames take a moment under the software renderer.
    Picture picture;
    ScreenLook look;
    const std::string shot = pictures + "/daemon-run-" + std::to_string(run);
    const bool drawn = WaitFor(60, [&] {
      if (std::system(("xwd -display " + display_ + " -root -silent > " + Quoted(shot + ".xwd")).c_str()) != 0 ||
          !LoadXwd(shot + ".xwd", &picture))
        return false;
      look = Look(picture);
      return look.lit > 0.5 && look.colours > 16;
    });
    SavePng(picture, shot + ".png");
    EXPECT_TRUE(drawn) << "televisions on the screen: see " << shot << ".png (lit " << look.lit
                       << ", " << look.colours << " colours)";
    EXPECT_LT(look.errorGrey, 0.05) << "no error box";

    // As the machine once hung a saver: busy when the daemon ends it.
    if (run == kBusyRun) {
      for (int i = 0; i < 3; ++i) busy_.push_back(StartInBackground("sh -c 'while :; do :; done'"));
      std::this_thread::sleep_for(std::chrono::seconds(3));
    }
    const auto ended = std::chrono::steady_clock::now();
    ASSERT_EQ(Command("-deactivate"), 0);
    EXPECT_TRUE(WaitFor(20, [&] { return !HackRunning(); })) << "a Glimmerbox process is left";
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - ended).count();
    for (pid_t pid : busy_) WaitForExit(pid, 0);
    busy_.clear();

    const std::string log = LogFrom(offset);
    EXPECT_NE(log.find("Peforming final cleanup"), std::string::npos) << log;
    EXPECT_NE(log.find("Writing SmartPlay state to disk..."), std::string::npos) << log;
    const std::string closing = "Glimmerbox closing normally with return code of 0\n";
    const size_t closed = log.rfind(closing);
    ASSERT_NE(closed, std::string::npos) << log;
    EXPECT_NE(log.find("Log is being closed.", closed), std::string::npos) << log;
    EXPECT_TRUE(fs::exists(SmartPlayPath()));
    EXPECT_LT(seconds, 10) << "gone soon after the daemon's SIGTERM";
  }
}
