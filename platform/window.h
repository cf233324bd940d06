// Windows with an OpenGL context and the graphics device drawn into them: a test window, full
// screen on the first display (in the desktop's mode or a chosen one, with a black window over
// every other display), a foreign window given by its X11 id (preview, -window-id), or no window
// at all (headless: an off-screen framebuffer, with no display needed).
//
//   auto window = GfxWindow::Create({GfxWindowMode::Headless, 600, 400}, &error);
//   GfxDevice* device = window->Device();
//   ... each frame: if (window->SizeChanged(&w, &h)) { invalidate; device->Reset(w, h); restore; }
//   window->SaveScreenshot("last.png");  // before Present
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/display_adapter.h"
#include "platform/saver_events.h"

class X11Covers;
class GfxDevice;
class GlDevice;

enum class GfxWindowMode { Test, FullScreen, Foreign, Headless };

struct GfxWindowOptions {
  GfxWindowMode mode = GfxWindowMode::Test;
  uint32_t width = 600, height = 400;  // test and headless windows
  uint64_t foreignWindow = 0;          // X11 window id for GfxWindowMode::Foreign
  std::string title = "Glimmerbox 1.01";
  bool verticalSync = true;
  // Full screen: the display mode to switch to (a DisplayFormat); a size of 0 keeps the desktop's.
  int32_t fullScreenWidth = 0, fullScreenHeight = 0, fullScreenFormat = 0;
  // Draw with the software renderer instead of the hardware (not for headless windows).
  bool softwareRendering = false;
};

// Every mode SDL lists for the first display, in its order (largest, deepest and fastest first),
// with the "Format" setting's numbers (0 where it has none). Needs SDL's video running.
std::vector<DisplayModeInfo> FirstDisplayModes();
// The adapter of the current OpenGL context, and the first display's modes of at least 640 x 400.
void DescribeCurrentAdapter(DisplayAdapterInfo* adapter);
// Opens a hidden window with an OpenGL context for a moment to describe the adapter that draws on
// the first display; false with a reason when that cannot be done (no display).
bool ProbeDisplayAdapter(DisplayAdapterInfo* adapter, std::string* error);

class GfxWindow {
 public:
  // Null with a reason when no window or device could be made.
  static std::unique_ptr<GfxWindow> Create(const GfxWindowOptions& options, std::string* error);
  ~GfxWindow();
  GfxWindow(const GfxWindow&) = delete;
  GfxWindow& operator=(const GfxWindow&) = delete;

  GfxDevice* Device() const;
  GlDevice* GlDeviceOf() const { return device_; }
  GfxWindowMode Mode() const { return mode_; }
  // The OpenGL renderer that draws for the device (GL_RENDERER), e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
  const std::string& Renderer() const { return renderer_; }

  // True when the drawable size differs from the device's back buffer: the caller then
  // invalidates its resources, resets the device to the new size and restores them.
  bool SizeChanged(uint32_t* width, uint32_t* height) const;
  // Asks for a new size (test and headless windows); SizeChanged reports it.
  void Resize(uint32_t width, uint32_t height);
  // Writes the back buffer as a PNG file; call after drawing a frame and before presenting it.
  bool SaveScreenshot(const std::string& path) const;

  // The refresh rate of the display the window is on, 60 when unknown (headless, Xvfb).
  double RefreshRate() const;
  // True once the window cannot be drawn on any more: a foreign window destroyed by its owner, or
  // the display's connection broken. Asks the server at most twice a second, and after X errors.
  bool Lost();
  // Full screen: input on the black windows over the other displays, as the saver's messages;
  // false when none is waiting.
  bool PollCovers(SaverEvent* event);

  // Full screen: the display mode in use, and whether the one asked for could not be set (the
  // nearest mode the display took stands in for it, or the desktop's when none did).
  const DisplayModeInfo& FullScreenMode() const { return fullScreenMode_; }
  bool FullScreenFellBack() const { return fullScreenFellBack_; }

  // The SDL window and its OpenGL context, for drawing through another renderer (the dialogs).
  struct SDL_Window* SdlWindow() const { return window_; }
  void* GlContext() const { return context_; }

 private:
  GfxWindow() = default;
  bool Open(const GfxWindowOptions& options, std::string* error);
  bool OpenHeadless(const GfxWindowOptions& options, std::string* error);
  bool CreateWindowAndContext(const GfxWindowOptions& options, uint32_t flags, std::string* error);
  void ShowFullScreen(const GfxWindowOptions& options);
  void OpenCovers(const GfxWindowOptions& options);
  void CloseVideo();

  GfxWindowMode mode_ = GfxWindowMode::Test;
  struct SDL_Window* window_ = nullptr;
  void* context_ = nullptr;
  GlDevice* device_ = nullptr;
  std::string renderer_;
  bool videoStarted_ = false;
  int xvfbPid_ = 0;
  uint32_t headlessWidth_ = 0, headlessHeight_ = 0;
  DisplayModeInfo fullScreenMode_;
  bool fullScreenFellBack_ = false;
  bool cursorHidden_ = false;
  std::unique_ptr<X11Covers> covers_;
  void* x11Display_ = nullptr;  // SDL's connection, for asking after the foreign window
  uint64_t foreignWindow_ = 0;
  uint64_t errorsSeen_ = 0;
  double nextCheck_ = 0;
  bool lost_ = false;
};
