// The saver as a whole: the program run headless with a script of two machines, its screenshots
// looked at, and the device reset of a window resize, off-screen and in a real X window under Xvfb.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>

#include <sys/wait.h>

#include "platform/gfx_math.h"
#include "shell/settings.h"
#include "tests/shell/resize_probe.h"
#include "tests/support/png.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kBackground = 0x182840;  // the test scripts' (RGB)
constexpr float kFrontX = -45;              // where they put their first television

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

uint32_t Luminance(uint32_t argb) {
  return (((argb >> 16) & 0xFF) * 3 + ((argb >> 8) & 0xFF) * 6 + (argb & 0xFF)) / 10;
}

// A base folder with the original 48K ROM and the bundled model, and private settings folders.
class SaverRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path rom = fs::path(GLIMMERBOX_SHARED_DIR) / "roms" / "48.rom";
    if (!fs::exists(rom)) GTEST_SKIP() << "no original ROMs in ../shared";
    base_ = dir_.path() / "base";
    fs::create_directories(base_ / "Roms");
    fs::copy_file(rom, base_ / "Roms" / "48.rom");
    fs::copy(fs::path(GLIMMERBOX_SOURCE_DATA) / "Models", base_ / "Models");
    fs::copy(fs::path(GLIMMERBOX_TEST_DIR) / "shell" / "scripts", base_ / "Scripts");
  }

  // Runs the program; returns its exit status (0 when it ended normally with 0).
  int Run(const std::string& options, const std::string& environment = "") {
    const std::string command =
        "env XDG_CONFIG_HOME=" + Quoted(dir_.file("config")) +
        " XDG_DATA_HOME=" + Quoted(dir_.file("data")) + " " + environment + " " +
        Quoted(GLIMMERBOX_EXE) + " " + options + " --base " + Quoted(base_.string()) + " > " +
        Quoted(dir_.file("output.txt")) + " 2>&1";
    return std::system(command.c_str());
  }

  std::string Log() const {
    return ReadWholeFile(dir_.file("data") + "/Corvane/Glimmerbox 1.01 Log.txt");
  }

  TempDir dir_;
  fs::path base_;
};

// Where a point of the first television lands in a 600 x 400 picture of the test scene.
struct Pixel {
  int x, y;
};
Pixel ProjectFront(float x, float y, float z) {
  const float eye[3] = {0, 0, -300}, at[3] = {0, 0, 0}, up[3] = {0, 1, 0};
  const GfxMatrix all = GfxMatrixMultiply(
      GfxMatrixMultiply(GfxMatrixTranslation(kFrontX, 0, 0), GfxMatrixLookAtLH(eye, at, up)),
      GfxMatrixPerspectiveFovLH(std::numbers::pi_v<float> / 4, 1.5f, 1.0f, 8000.0f));
  const float in[4] = {x, y, z, 1};
  float out[4] = {};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) out[c] += in[r] * all.m[r][c];
  return {static_cast<int>(std::floor((out[0] / out[3] + 1) / 2 * 600)),
          static_cast<int>(std::floor((1 - out[1] / out[3]) / 2 * 400))};
}

}  // namespace

TEST_F(SaverRun, HeadlessRunShowsTheBootedSpectrumOnItsTelevision) {
  const std::string shot = dir_.file("shot.png");
  ASSERT_EQ(Run("--headless --frames 200 --unthrottled --script two_machines.lua --screenshot " +
                Quoted(shot)),
            0)
      << ReadWholeFile(dir_.file("output.txt"));
  const std::string log = Log();
  EXPECT_NE(log.find("Peforming final cleanup"), std::string::npos) << log;
  EXPECT_NE(log.find("Glimmerbox closing normally with return code of 0"), std::string::npos);

  Picture picture;
  ASSERT_TRUE(LoadPng(shot, &picture));
  ASSERT_EQ(picture.width, 600u);
  ASSERT_EQ(picture.height, 400u);
  EXPECT_EQ(picture.At(2, 2) & 0xFFFFFF, kBackground);
  EXPECT_EQ(picture.At(597, 397) & 0xFFFFFF, kBackground);

  // The screen (x -47..25, y -25..29 on the model's front) shows white paper...
  const Pixel centre = ProjectFront(-11, 2, -39.5f);
  EXPECT_GT(Luminance(picture.At(centre.x, centre.y)), 0xA0u);
  // ...and its bottom text row the copyright line: ink on paper.
  uint32_t darkest = 0xFF, brightest = 0;
  for (float x = -46.5f; x < 16; x += 0.1f) {
    const Pixel p = ProjectFront(x, -23.9f, -39.5f);
    darkest = std::min(darkest, Luminance(picture.At(p.x, p.y)));
    brightest = std::max(brightest, Luminance(picture.At(p.x, p.y)));
  }
  EXPECT_LT(darkest, 0x50u) << "no ink in the bottom text row";
  EXPECT_GT(brightest, 0xA0u) << "no paper in the bottom text row";
  // The cabinet around the screen, above and below the bezel.
  for (float y : {41.0f, -41.0f}) {
    const Pixel p = ProjectFront(-11, y, -38.5f);
    EXPECT_NE(picture.At(p.x, p.y) & 0xFFFFFF, kBackground) << "cabinet at y " << y;
  }
}

TEST_F(SaverRun, TheExclusiveViewFillsTheDisplayWithThePicture) {
  const std::string shot = dir_.file("exclusive.png");
  ASSERT_EQ(Run("--headless --frames 200 --unthrottled --script two_machines_exclusive.lua "
                "--screenshot " + Quoted(shot)),
            0);
  Picture picture;
  ASSERT_TRUE(LoadPng(shot, &picture));
  // 600 x 400: the 240 rows of picture and border fill the height at 400/240 pixels a row, so
  // the 320 columns take 533 pixels in the middle and the background shows on both sides.
  uint32_t left = 0, right = picture.width - 1;
  while (left < picture.width && (picture.At(left, 200) & 0xFFFFFF) == kBackground) ++left;
  while (right > 0 && (picture.At(right, 200) & 0xFFFFFF) == kBackground) --right;
  EXPECT_NEAR(left, 33, 2);
  EXPECT_NEAR(right, 566, 2);
  // The white border's 24 lines above and below the picture take 40 pixels each.
  EXPECT_GT(Luminance(picture.At(300, 20)), 0xA0u) << "the border above the picture";
  EXPECT_GT(Luminance(picture.At(300, 385)), 0xA0u) << "the border below the picture";
  uint32_t darkest = 0xFF;
  for (uint32_t y = 345; y < 361; ++y)
    for (uint32_t x = 100; x < 480; ++x) darkest = std::min(darkest, Luminance(picture.At(x, y)));
  EXPECT_LT(darkest, 0x30u) << "the copyright line is in the picture's bottom row";
}

TEST_F(SaverRun, AnUnusableCommandLineGivesTheUsageAndStatusTwo) {
  for (const char* options : {"--headless --frames zero", "--headless --delay 5", "-geometry 5"}) {
    const int status = Run(options);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << options;
    const std::string output = ReadWholeFile(dir_.file("output.txt"));
    EXPECT_NE(output.find("usage: glimmerbox"), std::string::npos) << output;
    EXPECT_EQ(Log(), "") << "nothing started: " << options;
  }
}

TEST(SaverResize, AHeadlessResizeResetsTheDeviceWithoutLeaks) {
  TempDir dir;
  setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
  setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  ResizeProbe probe;
  ASSERT_EQ(probe.StartSaver({"--headless", "--frames", "40", "--unthrottled", "--base",
                              GLIMMERBOX_SOURCE_DATA}),
            0);
  probe.RunSaver();
  SetBaseFolderOverride("");
  EXPECT_FALSE(probe.InErrorMode()) << probe.ErrorText();
  EXPECT_EQ(probe.restores, 2);
  EXPECT_GT(probe.liveBeforeResize, 0u);
  EXPECT_EQ(probe.liveAfterInvalidate, 0u);
  EXPECT_EQ(probe.liveAfterRestore, probe.liveBeforeResize);
  EXPECT_EQ(probe.lastWidth, 800u);
  EXPECT_EQ(probe.lastHeight, 500u);
}

// Mesa's software rasteriser, forced, is described as the software device it is.
TEST(SaverDevice, TheSoftwareRendererIsDescribedAsSoftware) {
  TempDir dir;
  setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
  setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  ResizeProbe probe;
  probe.resizeAtFrame = 0;
  ASSERT_EQ(probe.StartSaver({"--headless", "--frames", "2", "--unthrottled", "--base",
                              GLIMMERBOX_SOURCE_DATA}),
            0);
  probe.RunSaver();
  SetBaseFolderOverride("");
  EXPECT_FALSE(probe.InErrorMode()) << probe.ErrorText();
  EXPECT_EQ(probe.DeviceDescriptionText(), "SW (sw vp)");
}

// The probe counts the device's resources itself. The leak checker stays off for it: the X11
// video driver's session-bus library keeps allocations until exit; the program's own memory is
// checked by the headless resize above, which runs the same code.
TEST(SaverResize, TheTestWindowResizedUnderXvfb) {
  if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  TempDir dir;
  const std::string output = dir.file("probe.txt");
  const std::string command =
      "env XDG_CONFIG_HOME=" + Quoted(dir.file("config")) + " XDG_DATA_HOME=" +
      Quoted(dir.file("data")) + " ASAN_OPTIONS=detect_leaks=0" +
      " xvfb-run -a -s '-screen 0 1024x768x24' " +
      Quoted(RESIZE_PROBE_EXE) + " " + Quoted(GLIMMERBOX_SOURCE_DATA) + " > " + Quoted(output) +
      " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << ReadWholeFile(output);
}

// Full screen on an Xvfb display whose only mode is 1024 x 768: a stored mode the display has is
// used as it is, one it lacks gives way to the desktop's mode, which is stored for the next run.
TEST(SaverFullScreen, TheStoredDisplayModeOrTheDesktopsUnderXvfb) {
  if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  const std::string key = "[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox]\n\n"
                          "[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox\\Screen 1]\n";
  const struct {
    const char* what;
    std::string screen;       // the stored values
    std::string storedAfter;  // what a fall-back stores; empty: the file stays as it was
  } cases[] = {
      {"the desktop's own mode", "", ""},
      {"a mode the display has", "\"Width\"=dword:00000400\n\"Height\"=dword:00000300\n", ""},
      {"a mode the display lacks",
       "\"Width\"=dword:00000280\n\"Height\"=dword:000001e0\n\"Format\"=dword:00000017\n",
       "\"Width\"=dword:00000400\n\"Height\"=dword:00000300\n\"Format\"=dword:00000016\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    fs::create_directories(dir.file("config/Corvane"));
    const std::string reg = dir.file("config/Corvane/Glimmerbox.reg");
    const std::string before = "REGEDIT4\n\n" + key + c.screen;
    WriteWholeFile(reg, before);
    const std::string shot = dir.file("full.png"), output = dir.file("output.txt");
    const std::string command =
        "env XDG_CONFIG_HOME=" + Quoted(dir.file("config")) + " XDG_DATA_HOME=" +
        Quoted(dir.file("data")) + " ASAN_OPTIONS=detect_leaks=0 timeout 120" +
        " xvfb-run -a -s '-screen 0 1024x768x24' " + Quoted(GLIMMERBOX_EXE) +
        " /s --frames 10 --base " + Quoted(GLIMMERBOX_SOURCE_DATA) + " --screenshot " +
        Quoted(shot) + " > " + Quoted(output) + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadWholeFile(output);
    Picture picture;
    ASSERT_TRUE(LoadPng(shot, &picture)) << ReadWholeFile(output);
    EXPECT_EQ(picture.width, 1024u);
    EXPECT_EQ(picture.height, 768u);
    const std::string after = ReadWholeFile(reg);
    if (!c.storedAfter.empty()) {
      EXPECT_NE(after.find(c.storedAfter), std::string::npos) << after;
      EXPECT_NE(after.find("\"Adapter ID\"=hex:"), std::string::npos) << after;
    } else {
      EXPECT_EQ(after, before) << "nothing to store";
    }
  }
}
