#include "shell/glimmerbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/error_box.h"
#include "platform/gfx_math.h"
#include "platform/keyboard_state.h"
#include "platform/saver_events.h"
#include "presentation/audio_sound_output.h"
#include "presentation/script_machine.h"
#include "presentation/television.h"
#include "presentation/text_list.h"
#include "tests/support/recording_gfx_device.h"

namespace {

std::vector<std::string> g_boxes;
void CaptureBox(const std::string&, const std::string& text) { g_boxes.push_back(text); }

class TestApp : public CGlimmerbox {
 public:
  using CGlimmerbox::AdvanceFrame;
  using CGlimmerbox::InvalidateDeviceResources;
  using CGlimmerbox::RenderFrame;
  using CGlimmerbox::RenderUnitSelected;
  using CGlimmerbox::RestoreDeviceResources;
  using CGlimmerbox::SetMode;
  using CGlimmerbox::SetUpScene;
  using CGlimmerbox::ShutDownScene;
};

// A television that counts its runs.
class CountingTV : public CTV {
 public:
  explicit CountingTV(CTelevisionList& list) : CTV(list) {}
  bool UpdateFrame(float) override {
    ++runs;
    return false;
  }
  int runs = 0;
};

class Application : public ::testing::Test {
 protected:
  void SetUp() override {
    g_boxes.clear();
    SetErrorBoxPresenter(CaptureBox);
    app_.Televisions().scene = nullptr;  // plain televisions, no model
    app_.scripts.scriptScheduler = [this](float) { ++scheduled_; };
    app_.scripts.scriptResume = [this](float) { ++resumed_; };
  }
  void TearDown() override {
    app_.Televisions().DeleteAll();
    SetErrorBoxPresenter(nullptr);
  }

  SaverEvent Event(SaverEventType type, int32_t key = 0, int32_t x = 0, int32_t y = 0) {
    SaverEvent event;
    event.type = type;
    event.virtualKey = key;
    event.x = x;
    event.y = y;
    return event;
  }

  TestApp app_;
  int scheduled_ = 0, resumed_ = 0;
};

}  // namespace

TEST_F(Application, FiveSmallMouseMovesAreForgivenTheSixthEndsTheSaver) {
  app_.SetMode(SM_FULL);
  for (int i = 1; i <= 5; ++i) {
    app_.HandleMessage(Event(SaverEventType::MouseMove, 0, i, i));
    app_.HandleMessage(Event(SaverEventType::MouseMove, 0, i, i));  // same place: not counted
  }
  EXPECT_EQ(app_.MouseMoveCount(), 5u);
  EXPECT_FALSE(app_.Ended());
  app_.HandleMessage(Event(SaverEventType::MouseMove, 0, 9, 9));
  EXPECT_TRUE(app_.Ended());
}

TEST_F(Application, TheTestWindowEndsOnlyWhenClosed) {
  app_.SetMode(SM_TEST);
  for (int i = 0; i < 10; ++i) app_.HandleMessage(Event(SaverEventType::MouseMove, 0, i, 0));
  app_.HandleMessage(Event(SaverEventType::MouseButton));
  app_.HandleMessage(Event(SaverEventType::KeyDown, 'A'));
  app_.HandleMessage(Event(SaverEventType::KeyDown, VK_ESCAPE));
  app_.HandleMessage(Event(SaverEventType::Deactivated));
  EXPECT_FALSE(app_.Ended());
  app_.HandleMessage(Event(SaverEventType::WindowClosed));
  EXPECT_TRUE(app_.Ended());
}

TEST_F(Application, ThePreviewIgnoresInputButEndsWithItsWindow) {
  app_.SetMode(SM_PREVIEW);
  for (int i = 0; i < 10; ++i) app_.HandleMessage(Event(SaverEventType::MouseMove, 0, i, 0));
  app_.HandleMessage(Event(SaverEventType::MouseButton));
  app_.HandleMessage(Event(SaverEventType::KeyDown, 'A'));
  EXPECT_FALSE(app_.Ended());
  app_.HandleMessage(Event(SaverEventType::WindowClosed));
  EXPECT_TRUE(app_.Ended());
}

TEST_F(Application, FullScreenCannotBeClosedButAnyClickEndsIt) {
  app_.SetMode(SM_FULL);
  app_.HandleMessage(Event(SaverEventType::WindowClosed));
  EXPECT_FALSE(app_.Ended());
  app_.HandleMessage(Event(SaverEventType::MouseButton));
  EXPECT_TRUE(app_.Ended());
}

TEST_F(Application, TheHotKeyHandsTheKeyboardOverAndEscapeStillEnds) {
  app_.SetMode(SM_FULL);
  app_.Program().settings.hotKey = VK_F1;
  app_.HandleMessage(Event(SaverEventType::KeyDown, VK_F1));
  EXPECT_TRUE(app_.HandsOn());
  app_.HandleMessage(Event(SaverEventType::KeyDown, 'Q'));
  EXPECT_FALSE(app_.Ended());
  app_.HandleMessage(Event(SaverEventType::KeyDown, VK_ESCAPE));
  EXPECT_TRUE(app_.Ended());
}

TEST_F(Application, ASignalEndsEveryMode) {
  app_.SetMode(SM_PREVIEW);
  app_.HandleMessage(Event(SaverEventType::Quit));
  EXPECT_TRUE(app_.Ended());
}

TEST_F(Application, WhileAMachineIsExclusiveTheOthersAreFrozen) {
  auto* a = new CountingTV(app_.Televisions());
  auto* b = new CountingTV(app_.Televisions());
  app_.AdvanceFrame();
  b->SetExclusive(true);
  app_.AdvanceFrame();
  app_.AdvanceFrame();
  EXPECT_EQ(a->runs, 1);
  EXPECT_EQ(b->runs, 3);
  delete b;  // back to the scene: everyone runs again
  EXPECT_EQ(app_.Televisions().RequestedViewMode(), VIEW_SCENE);
  app_.AdvanceFrame();
  EXPECT_EQ(a->runs, 2);
}

TEST_F(Application, HandsOnModeFreezesTheScriptsButNotTheMachines) {
  auto* tv = new CountingTV(app_.Televisions());
  app_.SetHandsOn(true);
  app_.AdvanceFrame();
  app_.AdvanceFrame();
  EXPECT_EQ(scheduled_, 0);
  EXPECT_EQ(resumed_, 0);
  EXPECT_EQ(tv->runs, 2);
  app_.SetHandsOn(false);
  app_.AdvanceFrame();
  EXPECT_EQ(scheduled_, 1);
  EXPECT_EQ(resumed_, 1);
}

TEST_F(Application, SoundIsMadeOnlyFullScreenOrInTheTestWindowWithASoundSetting) {
  struct Case {
    int32_t mode, beeper, ay;
    bool sound;
  };
  const Case cases[] = {
      {SM_TEST, 1, 0, true},  {SM_FULL, 0, 1, true},     {SM_TEST, 0, 0, false},
      {SM_PREVIEW, 1, 1, false}, {SM_CONFIG, 1, 1, false},
  };
  for (const Case& c : cases) {
    Settings settings;
    settings.emulateBeeper = c.beeper;
    settings.emulateAY = c.ay;
    EXPECT_EQ(WantsSoundOutput(settings, c.mode), c.sound) << c.mode << " " << c.beeper << c.ay;
  }
}

// The machines' beeper and AY chip follow their settings, and exist only where sound is made.
TEST(MachineSwitches, FollowTheSettingsOnlyFullScreenOrInTheTestWindow) {
  struct Case {
    int32_t mode, beeper, ay;
    bool beeperOn, ayOn;
  };
  const Case cases[] = {
      {SM_TEST, 1, 1, true, true},      {SM_FULL, 1, 0, true, false},
      {SM_TEST, 0, 1, false, true},     {SM_PREVIEW, 1, 1, false, false},
      {SM_CONFIG, 1, 1, false, false},
  };
  for (const Case& c : cases) {
    Settings settings;
    settings.emulateBeeper = c.beeper;
    settings.emulateAY = c.ay;
    const MachineSwitches switches = MachineSwitchesFor(settings, c.mode);
    EXPECT_EQ(switches.beeper, c.beeperOn) << c.mode << " " << c.beeper << c.ay;
    EXPECT_EQ(switches.ay, c.ayOn) << c.mode << " " << c.beeper << c.ay;
  }
}

TEST_F(Application, APreviewGetsNoKeyboardAndNoSoundSoItsMachinesHaveNoStream) {
  app_.SetMode(SM_PREVIEW);
  app_.Program().settings.emulateBeeper = 1;
  app_.SetUpScene();
  EXPECT_EQ(app_.SoundOutput(), nullptr);
  EXPECT_TRUE(g_boxes.empty()) << "no keyboard was even tried";
  auto* machine = new CSpeccy48(app_.Televisions());
  EXPECT_EQ(machine->Core().SoundStream(), nullptr);
  delete machine;
  app_.ShutDownScene();
}

TEST_F(Application, TheTestWindowWithSoundGivesEveryMachineAStream) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  app_.SetMode(SM_TEST);
  app_.Program().settings.emulateAY = 1;
  app_.SetUpScene();
  unsetenv("SDL_AUDIODRIVER");
  ASSERT_NE(app_.SoundOutput(), nullptr);
  auto* machine = new CSpeccy48(app_.Televisions());
  EXPECT_NE(machine->Core().SoundStream(), nullptr);
  delete machine;
  app_.ShutDownScene();
  EXPECT_EQ(app_.SoundOutput(), nullptr);
  EXPECT_EQ(app_.Televisions().machines.sound, nullptr);
}

TEST_F(Application, TheExclusiveViewAndBackToTheScene) {
  RecordingGfxDevice device;
  device.width = 600;
  device.height = 400;
  app_.RenderUnitSelected(&device);
  app_.SetBackgroundColour(0xFF102030);
  auto* tv = new CountingTV(app_.Televisions());
  app_.RestoreDeviceResources();

  tv->SetExclusive(true);
  app_.RenderFrame();
  EXPECT_EQ(app_.ViewMode(), VIEW_EXCLUSIVE);
  EXPECT_EQ(app_.Televisions().RequestedViewMode(), VIEW_NONE);
  ASSERT_NE(app_.ExclusiveQuad(), nullptr);
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.draws[0].type, GFX_PT_TRIANGLEFAN);
  EXPECT_EQ(device.clears.back(), 0xFF102030u);
  const GfxMatrix ortho = GfxMatrixOrthoLH(600 / (400.0f / 240), 240, 0, 1);
  EXPECT_EQ(std::memcmp(&device.transforms[GFX_TS_PROJECTION], &ortho, sizeof ortho), 0);

  // A reset while exclusive: the quad goes, and comes back with the projection on the next frame.
  app_.InvalidateDeviceResources();
  EXPECT_EQ(device.liveBuffers, 0);
  EXPECT_EQ(app_.Televisions().RequestedViewMode(), VIEW_EXCLUSIVE);
  app_.RestoreDeviceResources();
  app_.RenderFrame();
  EXPECT_EQ(device.liveBuffers, 1);
  EXPECT_EQ(std::memcmp(&device.transforms[GFX_TS_PROJECTION], &ortho, sizeof ortho), 0);

  // Leaving the exclusive view puts the camera back, though the camera itself did not move.
  tv->SetExclusive(false);
  const int viewSets = device.transformSets[GFX_TS_VIEW];
  app_.RenderFrame();
  EXPECT_EQ(app_.ViewMode(), VIEW_SCENE);
  EXPECT_EQ(device.transformSets[GFX_TS_VIEW], viewSets + 1);
  const float eye[3] = {0, 0, -300}, at[3] = {0, 0, 0}, up[3] = {0, 1, 0};
  const GfxMatrix view = GfxMatrixLookAtLH(eye, at, up);
  EXPECT_EQ(std::memcmp(&device.transforms[GFX_TS_VIEW], &view, sizeof view), 0);
  app_.InvalidateDeviceResources();
  app_.RenderUnitSelected(nullptr);
}

TEST_F(Application, AResetKeepsAViewChangeThatWasAskedForAndNotYetMade) {
  RecordingGfxDevice device;
  app_.RenderUnitSelected(&device);
  app_.RenderFrame();
  EXPECT_EQ(app_.ViewMode(), VIEW_SCENE);
  auto* tv = new CountingTV(app_.Televisions());
  tv->SetExclusive(true);
  app_.InvalidateDeviceResources();  // before any frame showed the exclusive view
  EXPECT_EQ(app_.Televisions().RequestedViewMode(), VIEW_EXCLUSIVE);
  EXPECT_EQ(app_.ViewMode(), VIEW_NONE);
  app_.RenderFrame();
  EXPECT_EQ(app_.ViewMode(), VIEW_EXCLUSIVE);
  app_.InvalidateDeviceResources();
  app_.RenderUnitSelected(nullptr);
}

TEST_F(Application, CaptionsExpireEvenWithoutAnOverlayFont) {
  RecordingGfxDevice device;
  app_.RenderUnitSelected(&device);
  const int32_t id = app_.Captions().Add("hello", 10, 10, 0);
  app_.RenderFrame();
  EXPECT_FALSE(app_.Captions().IsActive(id));
  app_.RenderUnitSelected(nullptr);
}

TEST(DeviceReset, TenAttemptsWithGrowingWaits) {
  struct FailingDevice : RecordingGfxDevice {
    GfxResult Reset(uint32_t, uint32_t) override {
      ++attempts;
      return attempts >= succeedAt ? GFX_OK : GFX_E_INVALIDCALL;
    }
    int attempts = 0, succeedAt = 1000;
  };
  FailingDevice never;
  std::vector<int> waits;
  EXPECT_LT(ResetDeviceWithRetries(&never, 10, 10, [&](int s) { waits.push_back(s); }), 0);
  EXPECT_EQ(never.attempts, 10);
  EXPECT_EQ(waits, (std::vector<int>{4, 6, 8, 10, 12, 14, 16, 18, 20}));

  FailingDevice third;
  third.succeedAt = 3;
  waits.clear();
  EXPECT_EQ(ResetDeviceWithRetries(&third, 10, 10, [&](int s) { waits.push_back(s); }), GFX_OK);
  EXPECT_EQ(third.attempts, 3);
  EXPECT_EQ(waits, (std::vector<int>{4, 6}));
}

TEST(SaverErrors, KnownCodesHaveTheirTextsAndOthersTheGeneralOne) {
  std::string text;
  EXPECT_TRUE(SaverErrorText(SAVER_E_NO_PREVIEW, &text));
  EXPECT_EQ(text, "No preview available");
  EXPECT_TRUE(SaverErrorText(SAVER_E_DEVICE, &text));
  EXPECT_EQ(text, "Could not create the Direct3D device.");
  EXPECT_FALSE(SaverErrorText(SAVER_E_RESOURCES, &text));
  EXPECT_EQ(text, "There was an unspecified problem with this screen saver.");
}

TEST(SaverErrors, MessagesWrapToTheBoxByMeasuredWidth) {
  // Ten pixels a character, wide letters ("W") twenty.
  const auto measure = [](const std::string& text) {
    float width = 0;
    for (char c : text) width += c == 'W' ? 20.0f : 10.0f;
    return width;
  };
  using Lines = std::vector<std::string>;
  const struct {
    const char* what;
    std::string text;
    float width;
    Lines expected;
  } cases[] = {
      {"fits on one line", "No preview available", 200, {"No preview available"}},
      {"breaks at spaces", "Could not reset the device.", 120,
       {"Could not", "reset the", "device."}},
      {"a line exactly as wide fits", "abc def", 70, {"abc def"}},
      {"wide letters count wider", "WWW abc", 70, {"WWW", "abc"}},
      {"runs of spaces fold", "a   b", 30, {"a b"}},
      {"newlines break and blank lines stay", "one\n\ntwo", 200, {"one", "", "two"}},
      {"a word wider than a line is cut", "abcdefghij xy", 40, {"abcd", "efgh", "ij", "xy"}},
      {"even a line too narrow for a letter takes one", "WW", 5, {"W", "W"}},
      {"nothing", "", 100, {""}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WrapTextToWidth(c.text, c.width, measure), c.expected) << c.what;
}
