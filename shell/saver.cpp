// The screen-saver framework. One thread: the loop handles every waiting event, then runs one frame
// (or, in error mode, one step of the error display), with no sleep: frames come as fast as
// presentation allows, paced only by the vertical sync setting.
#include "shell/saver.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/clock.h"
#include "platform/gfx.h"
#include "platform/process.h"
#include "platform/saver_events.h"
#include "platform/window.h"
#include "presentation/keyboard.h"
#include "shell/app_state.h"
#include "shell/error_box.h"
#include "resources/string_table.h"
#include "shell/log.h"
#include "shell/settings.h"

namespace {

// Framework results and the string resources that describe them; any other result is 2100.
struct ErrorTextEntry {
  uint32_t result;
  int32_t stringId;
};

constexpr ErrorTextEntry kErrorTexts[] = {
    {0x80004005, IDS_ERR_GENERIC},
    {0x82000001, IDS_ERR_NODIRECT3D},
    {0x82000007, IDS_ERR_NOWINDOW},
    {0x8200000E, IDS_ERR_CREATEDEVICEFAILED},
    {0x82000003, IDS_ERR_NOCOMPATIBLEDEVICES},
    {0x82000005, IDS_ERR_NOHARDWAREDEVICE},
    {0x82000006, IDS_ERR_HALNOTCOMPATIBLE},
    {0x82000009, IDS_ERR_NOHALTHISMODE},
    {0x8200000B, IDS_ERR_MEDIANOTFOUND},
    {0x8200000C, IDS_ERR_RESIZEFAILED},
    {0x8007000E, IDS_ERR_OUTOFMEMORY},
    {0x8876017C, IDS_ERR_OUTOFVIDEOMEMORY},
    {0x8200000F, IDS_ERR_NOPREVIEW},
};

// The size of the error box, and how far it moves per second in parts of the area.
constexpr float kErrorBoxWidth = 300, kErrorBoxHeight = 150;

void PresentErrorBox(const std::string& caption, const std::string& text) {
  if (!ShowErrorMessageBox(caption, text))
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

// Breaks a message into lines that fit the error box.
std::string WrapText(const std::string& text, size_t width) {
  std::string out, line;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out += line + "\n";
      line.clear();
    }
    if (!word.empty()) line += (line.empty() ? "" : " ") + word;
    start = end + 1;
  }
  return out + line;
}

}  // namespace

bool SaverErrorText(int32_t result, std::string* text) {
  for (const ErrorTextEntry& entry : kErrorTexts) {
    if (entry.result == static_cast<uint32_t>(result)) {
      *text = LoadResourceString(entry.stringId);
      return true;
    }
  }
  *text = LoadResourceString(IDS_ERR_GENERIC);
  return false;
}

int32_t ResetDeviceWithRetries(GfxDevice* device, uint32_t width, uint32_t height,
                               const std::function<void(int seconds)>& wait) {
  static constexpr int kWaits[] = {4, 6, 8, 10, 12, 14, 16, 18, 20};
  if (!device) return SAVER_E_FAIL;
  GfxResult result = device->Reset(width, height);
  for (int seconds : kWaits) {
    if (result >= 0) break;
    if (wait) wait(seconds);
    result = device->Reset(width, height);
  }
  return result;
}

CD3DScreensaver::CD3DScreensaver() {
  resetWait = [](int seconds) { std::this_thread::sleep_for(std::chrono::seconds(seconds)); };
}

CD3DScreensaver::~CD3DScreensaver() = default;

GfxDevice* CD3DScreensaver::Device() const { return window_ ? window_->Device() : nullptr; }

int32_t CD3DScreensaver::StartSaver(const std::vector<std::string>& args) {
  SetLowestPriority();
  const char* daemonWindow = std::getenv("XSCREENSAVER_WINDOW");
  commandLine_ = ParseCommandLine(args, HaveDisplay(), daemonWindow);
  if (!commandLine_.error.empty()) {
    std::fprintf(stderr,
                 "glimmerbox: %s\n"
                 "usage: glimmerbox [/s | /t | /c | /p N | /a | -root | -window-id ID]\n"
                 "                  [--headless] [--frames N] [--seconds S] [--script FILE]\n"
                 "                  [--base DIR] [--screenshot FILE.png] [--unthrottled]\n",
                 commandLine_.error.c_str());
    return SAVER_E_FAIL;
  }
  AppState& app = App();
  app.saverMode = commandLine_.mode;
  app.handsOn = false;
  if (!commandLine_.base.empty()) SetBaseFolderOverride(commandLine_.base);
  if (commandLine_.headless)
    UseSilentAudioUnlessChosen();
  else
    SetErrorBoxPresenter(PresentErrorBox);

  if (app.saverMode == SM_PREVIEW || app.saverMode == SM_FULL || app.saverMode == SM_TEST)
    OpenWindow();
  LoadSettings();
  if (!windowError_.empty()) WriteLog("Window: " + windowError_);
  return 0;
}

void CD3DScreensaver::OpenWindow() {
  PrepareSaverEvents();
  const int32_t mode = App().saverMode;
  GfxWindowOptions options;
  options.title = windowTitle;
  options.width = 600;
  options.height = 400;
  if (commandLine_.headless) {
    options.mode = GfxWindowMode::Headless;
  } else if (mode == SM_TEST) {
    options.mode = GfxWindowMode::Test;
  } else if (mode == SM_FULL) {
    options.mode = commandLine_.drawIntoWindow ? GfxWindowMode::Foreign : GfxWindowMode::FullScreen;
    options.foreignWindow = commandLine_.window;
  } else {
    options.mode = GfxWindowMode::Foreign;
    options.foreignWindow = commandLine_.window;
  }
  if (options.mode == GfxWindowMode::Foreign && options.foreignWindow == 0) {
    windowError_ = "no window to draw into";
  } else {
    window_ = GfxWindow::Create(options, &windowError_);
  }
  if (!window_) EnterErrorMode(mode == SM_PREVIEW ? SAVER_E_NO_PREVIEW : SAVER_E_DEVICE);
}

int32_t CD3DScreensaver::RunSaver() {
  switch (App().saverMode) {
    case SM_CONFIG:
      if (errorMode_)
        DisplayErrorMsg(errorResult_);
      else
        ShowConfiguration();
      break;
    case SM_PASSWORD: {
      const std::string text = "Password protection is provided by your desktop's screen locker.";
      WriteLog(text);
      std::printf("%s\n", text.c_str());
      break;
    }
    default:
      RunSaverLoop();
      break;
  }
  window_.reset();
  App().device = nullptr;
  return 0;
}

int32_t CD3DScreensaver::DisplayErrorMsg(int32_t result) {
  std::string text;
  GetErrorText(result, &text);
  WriteLog(text);
  ShowMessage(text);
  return result;
}

void CD3DScreensaver::ShowMessage(const std::string& text) {
  // A preview lives inside another program's window: a box of its own would stand in the way.
  if (commandLine_.headless || App().saverMode == SM_PREVIEW)
    std::fprintf(stderr, "%s: %s\n", windowTitle.c_str(), text.c_str());
  else
    PresentErrorBox(windowTitle, text);
}

void CD3DScreensaver::EnterErrorMode(int32_t result) {
  if (errorMode_) return;
  errorMode_ = true;
  errorResult_ = result;
}

void CD3DScreensaver::EnterErrorModeWithText(const std::string& text) {
  if (errorMode_) return;
  errorMode_ = true;
  errorResult_ = SAVER_E_FAIL;
  errorText_ = text;
}

void CD3DScreensaver::RunSaverLoop() {
  clockStart_ = ClockSeconds();
  appTime_ = statsTime_ = 0;
  if (!errorMode_) {
    const int32_t result = SetUpScene();
    if (result < 0) {
      DisplayErrorMsg(result);
      return;
    }
    SetUp3DEnvironment();
  }
  if (!window_) {
    // Nowhere to show the saver or its message: tell the user the usual way and stop.
    if (errorText_.empty()) GetErrorText(errorResult_, &errorText_);
    WriteLog(errorText_);
    ShowMessage(errorText_);
    ShutDownSaver();
    return;
  }
  if (App().saverMode == SM_FULL && !commandLine_.drawIntoWindow && !commandLine_.headless)
    InhibitDesktopScreenSaver();

  while (!quit_) {
    SaverEvent event;
    while (!quit_ && PollSaverEvent(&event)) HandleMessage(event);
    if (quit_) break;
    if (errorMode_)
      ErrorDisplayStep();
    else
      FrameStep();
    CheckRunLimits();
  }
}

void CD3DScreensaver::SetUp3DEnvironment() {
  if (!window_) {
    EnterErrorMode(App().saverMode == SM_PREVIEW ? SAVER_E_NO_PREVIEW : SAVER_E_DEVICE);
    return;
  }
  if (!commandLine_.headless)
    window_->Device()->SetVerticalSync(App().settings.verticalSync != 0 && !commandLine_.unthrottled);
  SelectRenderUnit();
  if (InitDeviceResources() < 0) {
    EnterErrorMode(SAVER_E_RESOURCES);
    return;
  }
  unitInitialised_ = true;
  if (RestoreDeviceResources() < 0) {
    EnterErrorMode(SAVER_E_RESOURCES);
    return;
  }
  unitRestored_ = true;
  DescribeDevices();
}

void CD3DScreensaver::SelectRenderUnit() {
  App().device = Device();
  RenderUnitSelected(0);
}

bool CD3DScreensaver::ResizeIfNeeded() {
  uint32_t width = 0, height = 0;
  if (!window_->SizeChanged(&width, &height)) return true;
  if (unitRestored_) {
    InvalidateDeviceResources();
    unitRestored_ = false;
  }
  if (ResetDeviceWithRetries(Device(), width, height, resetWait) < 0) {
    WriteLog("Error - unable to reset the D3D device");
    EnterErrorMode(SAVER_E_FAIL);
    return false;
  }
  if (RestoreDeviceResources() < 0) {
    EnterErrorMode(SAVER_E_RESOURCES);
    return false;
  }
  unitRestored_ = true;
  return true;
}

void CD3DScreensaver::FrameStep() {
  const float now = ClockSeconds() - clockStart_;
  elapsedTime_ = now - appTime_;
  appTime_ = now;
  AdvanceFrame();
  UpdateFrameStats();
  ++framesShown_;
  if (errorMode_) return;  // the frame's own work failed: the error display takes over

  SelectRenderUnit();
  if (!ResizeIfNeeded()) return;
  RenderFrame();
  if (!commandLine_.screenshot.empty() && LimitReached()) SaveScreenshot();
  Device()->Present();
}

bool CD3DScreensaver::LimitReached() const {
  return (commandLine_.frames > 0 && framesShown_ >= commandLine_.frames) ||
         (commandLine_.seconds > 0 && appTime_ >= commandLine_.seconds);
}

void CD3DScreensaver::CheckRunLimits() {
  if (LimitReached()) ShutDownSaver();
}

void CD3DScreensaver::SaveScreenshot() {
  if (screenshotTaken_ || !window_) return;
  screenshotTaken_ = true;
  if (window_->SaveScreenshot(commandLine_.screenshot))
    WriteLog("Screenshot written to " + commandLine_.screenshot);
  else
    WriteLog("Couldn't write the screenshot " + commandLine_.screenshot);
}

void CD3DScreensaver::UpdateFrameStats() {
  ++statsFrames_;
  const float since = appTime_ - statsTime_;
  if (since <= 1.0f) return;
  const float fps = static_cast<float>(statsFrames_) / since;
  statsTime_ = appTime_;
  statsFrames_ = 0;

  int32_t width = 0, height = 0, bits = 32;
  if (!window_ || window_->Mode() == GfxWindowMode::Headless ||
      !DesktopDisplayMode(&width, &height, &bits)) {
    uint32_t w = 0, h = 0;
    if (GfxDevice* device = Device()) device->GetBackBufferSize(&w, &h);
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    bits = 32;
  }
  char text[96];
  std::snprintf(text, sizeof text, "%.02f fps (%dx%dx%d)", fps, width, height, bits >= 24 ? 32 : 16);
  statsText_ = text;
  // The device layer's depth buffer is 24-bit with 8 bits of stencil.
  if (usesDepthBuffer) statsText_ += " (D24S8)";
}

void CD3DScreensaver::DescribeDevices() {
  deviceDescription_ = "HAL (hw vp)";
  WriteLog("Device: " + deviceDescription_);
}

bool CD3DScreensaver::GetErrorText(int32_t result, std::string* text) {
  return SaverErrorText(result, text);
}

void CD3DScreensaver::ErrorDisplayStep() {
  if (!errorLogged_) {
    if (errorText_.empty()) GetErrorText(errorResult_, &errorText_);
    WriteLog(errorText_);
    if (commandLine_.headless) std::fprintf(stderr, "%s: %s\n", windowTitle.c_str(), errorText_.c_str());
    errorLogged_ = true;
  }
  appTime_ = ClockSeconds() - clockStart_;
  ++framesShown_;
  if (!window_) return;
  SelectRenderUnit();
  ResizeIfNeeded();
  PaintMessage();
}

void CD3DScreensaver::PaintMessage() {
  GfxDevice* device = Device();
  if (!device) return;
  const uint32_t ms = ClockMilliseconds();
  const float elapsed = lastErrorStepMs_ ? static_cast<float>(ms - lastErrorStepMs_) / 1000.0f : 0;
  lastErrorStepMs_ = ms;

  uint32_t width = 0, height = 0;
  device->GetBackBufferSize(&width, &height);
  const float areaW = static_cast<float>(width), areaH = static_cast<float>(height);
  const bool preview = App().saverMode == SM_PREVIEW;
  if (!errorBoxPlaced_) {
    errorBoxPlaced_ = true;
    if (preview) {
      errorBox_[0] = errorBox_[1] = 0;
      errorBox_[2] = areaW;
      errorBox_[3] = areaH;
    } else {
      errorBox_[2] = kErrorBoxWidth;
      errorBox_[3] = kErrorBoxHeight;
      errorBox_[0] = (areaW - kErrorBoxWidth) / 2;
      errorBox_[1] = (areaH - kErrorBoxHeight) / 2;
      errorVelocity_[0] = areaW / 10;
      errorVelocity_[1] = areaH / 20;
    }
  } else if (!preview) {
    // Bounce off the area's edges.
    for (int axis = 0; axis < 2; ++axis) {
      const float limit = (axis == 0 ? areaW : areaH) - errorBox_[2 + axis];
      float& position = errorBox_[axis];
      position += errorVelocity_[axis] * elapsed;
      if (position < 0 && errorVelocity_[axis] < 0) {
        position = 0;
        errorVelocity_[axis] = -errorVelocity_[axis];
      } else if (position > limit && errorVelocity_[axis] > 0) {
        position = limit > 0 ? limit : 0;
        errorVelocity_[axis] = -errorVelocity_[axis];
      }
    }
  }
  device->Clear(GFX_CLEAR_TARGET | GFX_CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  if (device->BeginScene() >= 0) {
    DrawErrorText(errorBox_[0] + 10, errorBox_[1] + 10, WrapText(errorText_, 36));
    device->EndScene();
  }
  device->Present();
}

void CD3DScreensaver::HandleMessage(const SaverEvent& event) {
  AppState& app = App();
  const int32_t mode = app.saverMode;
  switch (event.type) {
    case SaverEventType::Quit:
      ShutDownSaver();
      break;
    case SaverEventType::WindowClosed:
      // A full-screen saver cannot be closed, only ended by input.
      if (mode == SM_PREVIEW || mode == SM_TEST) ShutDownSaver();
      break;
    case SaverEventType::Exposed:
      if (errorMode_) PaintMessage();
      break;
    case SaverEventType::Deactivated:
    case SaverEventType::MouseButton:
      if (mode != SM_TEST) EndSaver();
      break;
    case SaverEventType::KeyDown:
      switch (KeyDownActionFor(event.virtualKey, app.settings.hotKey, mode, app.handsOn)) {
        case KeyDownAction::ToggleHandsOn:
          app.handsOn = !app.handsOn;
          break;
        case KeyDownAction::EndSaver:
          EndSaver();
          break;
        case KeyDownAction::Nothing:
          break;
      }
      break;
    case SaverEventType::MouseMove:
      if (mode == SM_TEST) break;
      if (haveLastMouse_ && event.x == lastMouseX_ && event.y == lastMouseY_) break;
      haveLastMouse_ = true;
      lastMouseX_ = event.x;
      lastMouseY_ = event.y;
      if (++mouseMoves_ > 5) EndSaver();
      break;
  }
}

void CD3DScreensaver::EndSaver() {
  const int32_t mode = App().saverMode;
  if (mode == SM_TEST || mode == SM_FULL) ShutDownSaver();
}

void CD3DScreensaver::ShutDownSaver() {
  if (ended_) return;
  ended_ = true;
  if (window_ && Device()) {
    SelectRenderUnit();
    if (!commandLine_.screenshot.empty() && !screenshotTaken_) {
      // The last frame again, as it stands, for the picture of the end.
      if (!errorMode_ && unitRestored_) RenderFrame();
      SaveScreenshot();
    }
    if (unitRestored_) InvalidateDeviceResources();
    if (unitInitialised_) DeleteDeviceResources();
    unitRestored_ = unitInitialised_ = false;
  }
  App().device = nullptr;
  ShutDownScene();
  quit_ = true;
}
