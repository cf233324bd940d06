// The saver's error mode as the program meets it, off screen: the application's resources go once,
// a failed reset is not tried again, and every error shows in a box the framework draws itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/log.h"
#include "platform/gfx.h"
#include "platform/registry.h"
#include "platform/window.h"
#include "shell/glimmerbox.h"
#include "shell/settings.h"
#include "tests/support/png.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

enum class Fault { None, Restore, Reset };

// The application with a fault of choice, counting what the framework asks of it.
class ErrorProbe : public CGlimmerbox {
 public:
  Fault fault = Fault::None;
  int resizeAtPaint = 0;  // a window resize while the error shows (0: none)
  uint32_t errorWidth = 700, errorHeight = 450;

  int invalidates = 0, deletes = 0, paints = 0;
  std::vector<int> waits;

  ErrorProbe() {
    resetWait = [this](int seconds) { waits.push_back(seconds); };
  }

 protected:
  int32_t InitDeviceResources() override {
    const int32_t result = CGlimmerbox::InitDeviceResources();
    // Held until deletion, so that no reset can succeed before then.
    if (fault == Fault::Reset)
      Device()->CreateVertexBuffer(64, 0, 0, GFX_POOL_DEFAULT, &held_);
    return result;
  }
  int32_t RestoreDeviceResources() override {
    if (fault == Fault::Restore) return SAVER_E_FAIL;
    return CGlimmerbox::RestoreDeviceResources();
  }
  int32_t AdvanceFrame() override {
    const int32_t result = CGlimmerbox::AdvanceFrame();
    if (++frames_ == 10 && fault == Fault::Reset) Window()->Resize(800, 500);
    return result;
  }
  int32_t InvalidateDeviceResources() override {
    ++invalidates;
    return CGlimmerbox::InvalidateDeviceResources();
  }
  int32_t DeleteDeviceResources() override {
    ++deletes;
    delete held_;
    held_ = nullptr;
    return CGlimmerbox::DeleteDeviceResources();
  }
  void PaintMessage() override {
    if (++paints == resizeAtPaint) Window()->Resize(errorWidth, errorHeight);
    CGlimmerbox::PaintMessage();
  }

 private:
  GfxVertexBuffer* held_ = nullptr;
  int frames_ = 0;
};

uint32_t Rgb(uint32_t argb) { return argb & 0xFFFFFF; }
uint32_t Luminance(uint32_t argb) {
  return (((argb >> 16) & 0xFF) * 3 + ((argb >> 8) & 0xFF) * 6 + (argb & 0xFF)) / 10;
}

struct Rect {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive
  bool Empty() const { return right < 0; }
  void Add(int x, int y) {
    left = std::min(left, x);
    right = std::max(right, x);
    top = std::min(top, y);
    bottom = std::max(bottom, y);
  }
};

// What a picture of the error display shows: the box's inside (window colour), the ink of its
// text, the number of text lines, the frame's pixels not in the frame's colour or too dark to show
// on black, and what is neither black nor inside the frame.
struct ErrorPicture {
  Rect inside, ink;
  int lines = 0, strayOutside = 0, frameOff = 0, frameDark = 0;
};

ErrorPicture Look(const Picture& picture) {
  ErrorPicture seen;
  const int w = static_cast<int>(picture.width), h = static_cast<int>(picture.height);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (Rgb(picture.At(x, y)) == (ERROR_BOX_COLOUR & 0xFFFFFF)) seen.inside.Add(x, y);
  if (seen.inside.Empty()) return seen;
  const Rect& in = seen.inside;
  bool lastRowInked = false;
  for (int y = 0; y < h; ++y) {
    bool rowInked = false;
    for (int x = 0; x < w; ++x) {
      const uint32_t pixel = picture.At(x, y);
      const bool inside = x >= in.left && x <= in.right && y >= in.top && y <= in.bottom;
      const bool frame = !inside && x >= in.left - 1 && x <= in.right + 1 && y >= in.top - 1 &&
                         y <= in.bottom + 1;
      if (inside && Luminance(pixel) < 0x80) {
        seen.ink.Add(x, y);
        rowInked = true;
      }
      if (frame && Rgb(pixel) != (ERROR_FRAME_COLOUR & 0xFFFFFF)) ++seen.frameOff;
      if (frame && Luminance(pixel) < 0x40) ++seen.frameDark;
      if (!inside && !frame && Rgb(pixel) != 0) ++seen.strayOutside;
    }
    if (rowInked && !lastRowInked) ++seen.lines;
    lastRowInked = rowInked;
  }
  return seen;
}

class ErrorDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", dir_.file("config").c_str(), 1);
    setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1);
    RegForgetFiles();
  }
  void TearDown() override {
    CloseLog();
    SetBaseFolderOverride("");
    RegForgetFiles();
  }

  // Runs the probe off screen for `frames` frames and keeps the last one as a picture.
  void Run(ErrorProbe& probe, const std::string& base, std::vector<std::string> extra,
           int frames = 60) {
    std::vector<std::string> args = {"--headless", "--frames", std::to_string(frames),
                                     "--unthrottled", "--base", base, "--screenshot", Shot()};
    args.insert(args.end(), extra.begin(), extra.end());
    ASSERT_EQ(probe.StartSaver(args), 0);
    EXPECT_EQ(probe.RunSaver(), 0);
  }
  std::string Shot() const { return dir_.file("error.png"); }
  std::string Log() const {
    return ReadWholeFile(dir_.file("data") + "/Corvane/Glimmerbox 1.01 Log.txt");
  }
  size_t Count(const std::string& text, const std::string& part) const {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
      ++count;
    return count;
  }

  TempDir dir_;
};

}  // namespace

TEST_F(ErrorDisplay, AFailedResetReleasesOnceAndAResizeInErrorModeIsOnePlainReset) {
  ErrorProbe probe;
  probe.fault = Fault::Reset;
  probe.resizeAtPaint = 5;
  Run(probe, GLIMMERBOX_SOURCE_DATA, {});
  ASSERT_TRUE(probe.InErrorMode());
  EXPECT_EQ(probe.ErrorText(), "There was an unspecified problem with this screen saver.");
  // Ten attempts, once: the error display never tries again.
  EXPECT_EQ(probe.waits, (std::vector<int>{4, 6, 8, 10, 12, 14, 16, 18, 20}));
  EXPECT_EQ(Count(Log(), "Error - unable to reset the D3D device"), 1u) << Log();
  // Only the message path logs the message; the device description is no log line either.
  EXPECT_EQ(Count(Log(), probe.ErrorText()), 0u) << Log();
  EXPECT_EQ(Count(Log(), "] Device: "), 0u) << Log();
  // Invalidated before the reset, deleted once when the error display took over.
  EXPECT_EQ(probe.invalidates, 1);
  EXPECT_EQ(probe.deletes, 1);
  EXPECT_GT(probe.paints, 5);

  Picture picture;
  ASSERT_TRUE(LoadPng(Shot(), &picture));
  EXPECT_EQ(picture.width, probe.errorWidth) << "the resize in error mode took effect";
  EXPECT_EQ(picture.height, probe.errorHeight);
  const ErrorPicture seen = Look(picture);
  EXPECT_FALSE(seen.ink.Empty()) << "the message shows";
}

TEST_F(ErrorDisplay, EveryErrorShowsInAFramedBoxWithCentredWrappedText) {
  // A base whose script needs the television model, which is missing.
  const fs::path noModel = dir_.path() / "no-model";
  fs::create_directories(noModel / "Scripts");
  fs::copy_file(fs::path(GLIMMERBOX_TEST_DIR) / "shell" / "scripts" / "two_machines.lua",
                noModel / "Scripts" / "two_machines.lua");
  // A base without a single script.
  const fs::path noScripts = dir_.path() / "no-scripts";
  fs::create_directories(noScripts / "Scripts");

  struct Case {
    const char* name;
    Fault fault;
    std::string base;
    std::vector<std::string> extra;
    std::string text;
    bool preview, manyLines;
  } cases[] = {
      {"a failed reset", Fault::Reset, GLIMMERBOX_SOURCE_DATA, {},
       "There was an unspecified problem with this screen saver.", false, true},
      {"a failed restore", Fault::Restore, GLIMMERBOX_SOURCE_DATA, {},
       "There was an unspecified problem with this screen saver.", false, true},
      {"a missing television model", Fault::None, noModel.string(), {},
       "Couldn't load TV model. Please re-install Glimmerbox.", false, true},
      {"no valid scripts", Fault::None, noScripts.string(), {}, "No valid scripts available",
       false, false},
      {"no valid scripts in a preview", Fault::None, noScripts.string(), {"/p", "1"},
       "No valid scripts available", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(Shot());
    {
      ErrorProbe probe;
      probe.fault = c.fault;
      Run(probe, c.base, c.extra);
      ASSERT_TRUE(probe.InErrorMode());
      EXPECT_EQ(probe.ErrorText(), c.text);
    }
    Picture picture;
    ASSERT_TRUE(LoadPng(Shot(), &picture));
    const ErrorPicture seen = Look(picture);
    ASSERT_FALSE(seen.inside.Empty()) << "no box";
    const Rect& in = seen.inside;
    if (c.preview) {
      // The whole area, inside a one-pixel frame.
      EXPECT_EQ(in.left, 1);
      EXPECT_EQ(in.top, 1);
      EXPECT_EQ(in.right, static_cast<int>(picture.width) - 2);
      EXPECT_EQ(in.bottom, static_cast<int>(picture.height) - 2);
    } else {
      EXPECT_EQ(in.right - in.left + 1, 298);
      EXPECT_EQ(in.bottom - in.top + 1, 148);
    }
    EXPECT_EQ(seen.frameOff, 0) << "the frame has its own colour all round";
    EXPECT_EQ(seen.frameDark, 0) << "the box's edge shows on the black around it";
    EXPECT_EQ(seen.strayOutside, 0) << "the rest of the display is black";
    ASSERT_FALSE(seen.ink.Empty()) << "the message shows";
    // Centred: as much room on either side of the text, give or take the glyphs' own margins.
    EXPECT_NEAR(seen.ink.left - in.left, in.right - seen.ink.right, 4);
    EXPECT_NEAR(seen.ink.top - in.top, in.bottom - seen.ink.bottom, 6);
    if (c.manyLines)
      EXPECT_GE(seen.lines, 2) << "wrapped to the box";
    else
      EXPECT_EQ(seen.lines, 1);
  }
}
