// The screen-saver framework. One thread: the loop handles every waiting event, then runs one frame
// (or, in error mode, one step of the error display), then sleeps what is left of the display's
// refresh period (vertical sync, where the driver has it, makes that sleep nothing), unless the
// run is unthrottled. An end signal or the loss of the window ends the saver through the same
// close as a key press.
#include "shell/saver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "base/error_box.h"
#include "base/log.h"
#include "platform/clock.h"
#include "platform/end_watch.h"
#include "platform/gfx.h"
#include "platform/process.h"
#include "platform/saver_events.h"
#include "platform/window.h"
#include "presentation/keyboard.h"
#include "resources/string_table.h"
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

// Set once the application's final clean-up has run, read by the watchdog's close.
std::atomic<bool> g_finalCleanupDone{false};

void PresentErrorBox(const std::string& caption, const std::string& text) {
  if (!ShowErrorMessageBox(caption, text))
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void PresentInformationBox(const std::string& caption, const std::string& text) {
  if (!ShowInformationMessageBox(caption, text))
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
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
    std::fprintf(stderr, "glimmerbox: %s\n%s", commandLine_.error.c_str(), kSaverUsage);
    return SAVER_E_USAGE;
  }
  saverMode_ = commandLine_.mode;
  handsOn_ = false;
  if (!commandLine_.base.empty()) SetBaseFolderOverride(commandLine_.base);
  if (commandLine_.headless) UseSilentAudioUnlessChosen();
  // A daemon's hack has nobody to click a box away: errors go to the log, stderr and the window.
  if (!commandLine_.headless && !commandLine_.daemon && !commandLine_.needsDisplay)
    SetErrorBoxPresenter(PresentErrorBox);

  const bool showsSaver = saverMode_ == SM_PREVIEW || saverMode_ == SM_FULL || saverMode_ == SM_TEST;
  if (showsSaver && !commandLine_.needsDisplay) OpenWindow();
  LoadSettings();
  if (!windowError_.empty()) DebugOutput("Window: " + windowError_ + "\n");
  return 0;
}

void CD3DScreensaver::OpenWindow() {
  PrepareSaverEvents();
  const int32_t mode = saverMode_;
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
    ApplyDisplaySettings(&options);
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
  if (window_ && window_->FullScreenFellBack()) StoreFallBackMode();
}

void CD3DScreensaver::ApplyDisplaySettings(GfxWindowOptions* options) {
  const bool read = ReadFirstScreenSettings(settings_.display, [](uint8_t adapterId[16]) {
    DisplayAdapterInfo adapter;
    std::string error;
    if (!ProbeDisplayAdapter(&adapter, &error)) {
      DebugOutput("Window: the display adapter is unknown: " + error + "\n");
      return false;
    }
    std::copy(std::begin(adapter.id), std::end(adapter.id), adapterId);
    return true;
  });
  if (!read) return;
  const ScreenSettings& screen = settings_.display.screens.front();
  options->softwareRendering = screen.disableHardware != 0;
  // A daemon's window covers the screen in the daemon's mode.
  if (options->mode != GfxWindowMode::FullScreen) return;
  options->fullScreenWidth = screen.width;
  options->fullScreenHeight = screen.height;
  options->fullScreenFormat = screen.format;
}

void CD3DScreensaver::StoreFallBackMode() {
  // Later runs start in the mode that worked.
  if (settings_.display.screens.empty()) return;
  ScreenSettings& screen = settings_.display.screens.front();
  const DisplayModeInfo& mode = window_->FullScreenMode();
  screen.width = mode.width;
  screen.height = mode.height;
  screen.format = mode.format;
  if (!WriteScreenSettings(screen, 1))
    DebugOutput("Window: the display mode that worked could not be stored\n");
}

int32_t CD3DScreensaver::RunSaver() {
  if (commandLine_.needsDisplay) {
    const std::string text =
        "There is no display to show the screen saver on (neither DISPLAY nor WAYLAND_DISPLAY is "
        "set); glimmerbox --headless runs it off-screen.";
    WriteLog(text);
    std::fprintf(stderr, "glimmerbox: %s\n", text.c_str());
    return 0;
  }
  switch (saverMode_) {
    case SM_CONFIG:
      if (errorMode_)
        DisplayErrorMsg(errorResult_);
      else
        ShowConfiguration();
      break;
    case SM_PASSWORD: {
      const std::string text = "Password protection is provided by your desktop's screen locker.";
      WriteLog(text);
      ShowMessage(text, false);
      break;
    }
    default:
      RunSaverLoop();
      break;
  }
  errorDisplay_.Release();
  window_.reset();
  ReleaseRenderUnit();
  return 0;
}

int32_t CD3DScreensaver::DisplayErrorMsg(int32_t result) {
  std::string text;
  GetErrorText(result, &text);
  WriteLog(text);
  ShowMessage(text);
  return result;
}

void CD3DScreensaver::ShowMessage(const std::string& text, bool error) {
  // A preview or a daemon's hack lives inside another program's window: a box of its own would
  // stand in the way.
  if (commandLine_.headless || commandLine_.daemon || saverMode_ == SM_PREVIEW)
    std::fprintf(stderr, "%s: %s\n", windowTitle.c_str(), text.c_str());
  else if (error)
    PresentErrorBox(windowTitle, text);
  else
    PresentInformationBox(windowTitle, text);
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
  if (EndRequested()) {
    ShutDownSaver();
    return;
  }
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
  if (saverMode_ == SM_FULL && !commandLine_.drawIntoWindow && !commandLine_.headless)
    InhibitDesktopScreenSaver();

  const double period = 1.0 / window_->RefreshRate();
  double frameStart = ClockSeconds();
  while (!quit_) {
    SaverEvent event;
    while (!quit_ && (PollSaverEvent(&event) || window_->PollCovers(&event))) HandleMessage(event);
    if (!quit_ && (EndRequested() || window_->Lost())) {
      WriteLog(EndRequested() ? "Ending on signal " + std::to_string(EndSignal())
                              : std::string("The saver's window is gone"));
      ShutDownSaver();
    }
    if (quit_) break;
    if (errorMode_)
      ErrorDisplayStep();
    else
      FrameStep();
    CheckRunLimits();
    if (commandLine_.unthrottled) continue;
    // A frame late by more than a period starts the count afresh instead of hurrying.
    frameStart += period;
    const double now = ClockSeconds();
    if (now > frameStart + period) frameStart = now;
    SleepUnlessEnded(frameStart - now);
  }
}

void CD3DScreensaver::SetUp3DEnvironment() {
  if (!window_) {
    EnterErrorMode(saverMode_ == SM_PREVIEW ? SAVER_E_NO_PREVIEW : SAVER_E_DEVICE);
    return;
  }
  if (!commandLine_.headless)
    window_->Device()->SetVerticalSync(settings_.settings.verticalSync != 0 && !commandLine_.unthrottled);
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

void CD3DScreensaver::SelectRenderUnit() { RenderUnitSelected(Device()); }

void CD3DScreensaver::ReleaseRenderUnit() { RenderUnitSelected(nullptr); }

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
  deviceDescription_ = DeviceDescription(window_ ? window_->Renderer() : std::string());
  DebugOutput("Device: " + deviceDescription_ + "\n");
}

bool CD3DScreensaver::GetErrorText(int32_t result, std::string* text) {
  return SaverErrorText(result, text);
}

void CD3DScreensaver::ErrorDisplayStep() {
  ReleaseDeviceResources();
  const uint32_t ms = ClockMilliseconds();
  const float elapsed = lastErrorStepMs_ ? static_cast<float>(ms - lastErrorStepMs_) / 1000.0f : 0;
  lastErrorStepMs_ = ms;
  if (errorText_.empty()) GetErrorText(errorResult_, &errorText_);
  if (!errorLogged_) {
    DebugOutput("Error mode: " + errorText_ + "\n");
    // Nobody sees an off-screen window.
    if (commandLine_.headless) std::fprintf(stderr, "%s: %s\n", windowTitle.c_str(), errorText_.c_str());
    errorLogged_ = true;
  }
  appTime_ = ClockSeconds() - clockStart_;
  ++framesShown_;
  if (!window_) return;
  errorDisplay_.Resize(*window_);
  errorDisplay_.Move(Device(), elapsed, saverMode_ == SM_PREVIEW);
  PaintMessage();
}

void CD3DScreensaver::PaintMessage() {
  if (DrawErrorDisplay()) Device()->Present();
}

bool CD3DScreensaver::DrawErrorDisplay() {
  if (errorText_.empty()) GetErrorText(errorResult_, &errorText_);
  return errorDisplay_.Draw(Device(), errorText_, saverMode_ == SM_PREVIEW);
}

void CD3DScreensaver::ReleaseDeviceResources() {
  if (!unitRestored_ && !unitInitialised_) return;
  SelectRenderUnit();
  if (unitRestored_) InvalidateDeviceResources();
  if (unitInitialised_) DeleteDeviceResources();
  unitRestored_ = unitInitialised_ = false;
  ReleaseRenderUnit();
}

void CD3DScreensaver::HandleMessage(const SaverEvent& event) {
  const int32_t mode = saverMode_;
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
      switch (KeyDownActionFor(event.virtualKey, settings_.settings.hotKey, mode, handsOn_)) {
        case KeyDownAction::ToggleHandsOn:
          handsOn_ = !handsOn_;
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
  if (saverMode_ == SM_TEST || saverMode_ == SM_FULL) ShutDownSaver();
}

void CD3DScreensaver::ShutDownSaver() {
  if (ended_) return;
  ended_ = true;
  // The watchdog closes in our place when we came too late: the process is about to go.
  while (!BeginNormalClose()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (window_ && Device()) {
    SelectRenderUnit();
    if (!commandLine_.screenshot.empty() && !screenshotTaken_) {
      // The last frame again, as it stands, for the picture of the end.
      if (errorMode_)
        DrawErrorDisplay();
      else if (unitRestored_)
        RenderFrame();
      SaveScreenshot();
    }
    if (unitRestored_) InvalidateDeviceResources();
    if (unitInitialised_) DeleteDeviceResources();
    unitRestored_ = unitInitialised_ = false;
    errorDisplay_.Release();
  }
  ReleaseRenderUnit();
  ShutDownScene();
  g_finalCleanupDone.store(true);
  quit_ = true;
}

bool FinalCleanupDone() { return g_finalCleanupDone.load(); }
