// The screen-saver framework: turns the command line into a saver mode, opens the saver's window
// and graphics device (full screen in the stored display mode), runs the event loop and the frame
// cycle, ends the saver on user input, keeps the device through window resizes (a device reset:
// invalidate, reset, restore) and shows errors in the saver window, drawn with resources of its
// own. The application plugs in through the virtual operations.
//
//   class CMySaver : public CD3DScreensaver { ... overrides ... };
//   CMySaver saver;
//   if (saver.StartSaver(args) < 0) ... saver.DisplayErrorMsg(result) ...
//   return saver.RunSaver();   // always 0
//
// One render unit at most: the test window, the full-screen window on the first display (every
// other display gets a black window, and input on any of them counts), the preview or daemon
// window, or an off-screen framebuffer when headless.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/program.h"
#include "shell/command_line.h"
#include "shell/error_display.h"
#include "shell/settings.h"

class GfxDevice;
class GfxWindow;
struct GfxWindowOptions;
struct SaverEvent;

// Framework result codes (negative: failure).
constexpr int32_t SAVER_E_FAIL = static_cast<int32_t>(0x80004005);
constexpr int32_t SAVER_E_NO_3D = static_cast<int32_t>(0x82000001);
constexpr int32_t SAVER_E_NO_COMPATIBLE_DEVICE = static_cast<int32_t>(0x82000003);
constexpr int32_t SAVER_E_INIT = static_cast<int32_t>(0x82000007);
constexpr int32_t SAVER_E_MEDIA = static_cast<int32_t>(0x8200000B);
constexpr int32_t SAVER_E_RESET = static_cast<int32_t>(0x8200000C);
constexpr int32_t SAVER_E_RESOURCES = static_cast<int32_t>(0x8200000D);
constexpr int32_t SAVER_E_DEVICE = static_cast<int32_t>(0x8200000E);
constexpr int32_t SAVER_E_NO_PREVIEW = static_cast<int32_t>(0x8200000F);
constexpr int32_t SAVER_E_OUTOFMEMORY = static_cast<int32_t>(0x8007000E);
// The command line cannot be used: the usage is printed and the program exits with status 2.
constexpr int32_t SAVER_E_USAGE = static_cast<int32_t>(0x82000010);

// The message of a framework result code; false (and the general message) for unknown codes.
bool SaverErrorText(int32_t result, std::string* text);

// Resets the device: at once, then after waiting 4, 6, ... 20 seconds (ten attempts in all).
int32_t ResetDeviceWithRetries(GfxDevice* device, uint32_t width, uint32_t height,
                               const std::function<void(int seconds)>& wait);

// Whether the saver's final clean-up (ShutDownScene) has run in this process.
bool FinalCleanupDone();

class CD3DScreensaver {
 public:
  CD3DScreensaver();
  virtual ~CD3DScreensaver();
  CD3DScreensaver(const CD3DScreensaver&) = delete;
  CD3DScreensaver& operator=(const CD3DScreensaver&) = delete;

  // Parses the command line (without the program name), opens the window and loads the settings.
  // Negative only when the command line cannot be used.
  virtual int32_t StartSaver(const std::vector<std::string>& args);
  // Runs the mode and returns the exit code (0).
  virtual int32_t RunSaver();
  // Logs the result's message and shows it in a message box (stderr when headless).
  int32_t DisplayErrorMsg(int32_t result);

  // The window's messages (public so that tests can feed them).
  virtual void HandleMessage(const SaverEvent& event);

  // Puts the saver into error mode: the window shows the message instead of the scene.
  void EnterErrorMode(int32_t result);
  void EnterErrorModeWithText(const std::string& text);
  bool InErrorMode() const { return errorMode_; }
  const std::string& ErrorText() const { return errorText_; }

  const SaverCommandLine& CommandLine() const { return commandLine_; }
  // The saver mode the command line chose (SM_TEST until StartSaver).
  int32_t Mode() const { return saverMode_; }
  // Hands-on mode: the hot key gave the keyboard to the machines; scripts stand still.
  bool HandsOn() const { return handsOn_; }
  void SetHandsOn(bool on) { handsOn_ = on; }
  // The settings, the folders and the display settings, read by the application's LoadSettings.
  ProgramSettings& Program() { return settings_; }
  // Seconds between this frame and the one before.
  float ElapsedTime() const { return elapsedTime_; }
  // The frame statistics line of the render unit ("%.02f fps (%dx%dx%d)" and the depth format).
  const std::string& FrameStatsText() const { return statsText_; }
  // The render unit's device as DescribeDevices put it: "HAL (hw vp)" or "SW (sw vp)".
  const std::string& DeviceDescriptionText() const { return deviceDescription_; }
  bool Ended() const { return ended_; }
  uint32_t MouseMoveCount() const { return mouseMoves_; }

 protected:
  virtual void ShowConfiguration() {}
  virtual void LoadSettings() {}
  virtual void PaintMessage();
  virtual void DescribeDevices();
  virtual void UpdateFrameStats();
  virtual bool GetErrorText(int32_t result, std::string* text);
  // The render unit's device is the one drawn on now; null when its resources went.
  virtual void RenderUnitSelected(GfxDevice* /*device*/) {}
  virtual int32_t SetUpScene() { return 0; }
  virtual int32_t InitDeviceResources() { return 0; }
  virtual int32_t RestoreDeviceResources() { return 0; }
  virtual int32_t AdvanceFrame() { return 0; }
  virtual int32_t RenderFrame() { return 0; }
  virtual int32_t InvalidateDeviceResources() { return 0; }
  virtual int32_t DeleteDeviceResources() { return 0; }
  virtual int32_t ShutDownScene() { return 0; }

  // The user asked to stop: ends the saver in test mode and in full screen (not in preview).
  void EndSaver();
  // Releases the device's resources, cleans up the scene and leaves the loop.
  void ShutDownSaver();

  GfxWindow* Window() const { return window_.get(); }
  GfxDevice* Device() const;
  void SetMode(int32_t mode) { saverMode_ = mode; }
  // The flag itself, for those who look at it every frame.
  const bool* HandsOnFlag() const { return &handsOn_; }
  // How long a device reset waits between attempts (tests make it instant).
  std::function<void(int seconds)> resetWait;

  std::string windowTitle = "Screen Saver";
  std::string registryKeyPath;
  bool usesDepthBuffer = false;
  bool oneScreenOnly = false;

 private:
  void OpenWindow();
  // Full screen: the first monitor's stored display mode and renderer.
  void ApplyDisplaySettings(GfxWindowOptions* options);
  void StoreFallBackMode();
  void RunSaverLoop();
  void SetUp3DEnvironment();
  void FrameStep();
  void ErrorDisplayStep();
  void SelectRenderUnit();
  void ReleaseRenderUnit();
  // A window resize is a device reset: invalidate, reset (with retries), restore.
  bool ResizeIfNeeded();
  // The application's device resources go, as when ending.
  void ReleaseDeviceResources();
  // Draws the error display into the back buffer; false without a device.
  bool DrawErrorDisplay();
  bool LimitReached() const;
  void CheckRunLimits();
  void SaveScreenshot();
  void ShowMessage(const std::string& text, bool error = true);

  SaverCommandLine commandLine_;
  int32_t saverMode_ = SM_TEST;
  bool handsOn_ = false;
  ProgramSettings settings_;
  std::unique_ptr<GfxWindow> window_;
  // After the window, so that it goes first: its font lives on the window's device.
  CErrorDisplay errorDisplay_;
  std::string windowError_;
  bool unitInitialised_ = false, unitRestored_ = false;
  std::string deviceDescription_, statsText_;

  bool errorMode_ = false;
  int32_t errorResult_ = 0;
  std::string errorText_;
  bool errorLogged_ = false;
  uint32_t lastErrorStepMs_ = 0;

  float clockStart_ = 0, appTime_ = 0, elapsedTime_ = 0;
  float statsTime_ = 0;
  uint32_t statsFrames_ = 0;
  int64_t framesShown_ = 0;
  bool screenshotTaken_ = false;

  uint32_t mouseMoves_ = 0;
  bool haveLastMouse_ = false;
  int32_t lastMouseX_ = 0, lastMouseY_ = 0;
  bool quit_ = false, ended_ = false;
};
