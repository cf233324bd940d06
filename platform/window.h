// Windows with an OpenGL context and the graphics device drawn into them: a test window, full
// screen on the first display, a foreign window given by its X11 id (preview, -window-id), or no
// window at all (headless: an off-screen framebuffer, with no display needed).
//
//   auto window = GfxWindow::Create({GfxWindowMode::Headless, 600, 400}, &error);
//   GfxDevice* device = window->Device();
//   ... each frame: if (window->SizeChanged(&w, &h)) { invalidate; device->Reset(w, h); restore; }
//   window->SaveScreenshot("last.png");  // before Present
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class GfxDevice;
class GlDevice;

enum class GfxWindowMode { Test, FullScreen, Foreign, Headless };

struct GfxWindowOptions {
  GfxWindowMode mode = GfxWindowMode::Test;
  uint32_t width = 600, height = 400;  // test and headless windows
  uint64_t foreignWindow = 0;          // X11 window id for GfxWindowMode::Foreign
  std::string title = "Glimmerbox 1.01";
  bool verticalSync = true;
};

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
  // SDL's id of the window, to match its events; 0 when headless.
  uint32_t WindowId() const;

  // True when the drawable size differs from the device's back buffer: the caller then
  // invalidates its resources, resets the device to the new size and restores them.
  bool SizeChanged(uint32_t* width, uint32_t* height) const;
  // Asks for a new size (test and headless windows); SizeChanged reports it.
  void Resize(uint32_t width, uint32_t height);
  // Writes the back buffer as a PNG file; call after drawing a frame and before presenting it.
  bool SaveScreenshot(const std::string& path) const;

  // The SDL window and its OpenGL context, for drawing through another renderer (the dialogs).
  struct SDL_Window* SdlWindow() const { return window_; }
  void* GlContext() const { return context_; }

 private:
  GfxWindow() = default;
  bool Open(const GfxWindowOptions& options, std::string* error);
  bool OpenHeadless(const GfxWindowOptions& options, std::string* error);
  bool CreateWindowAndContext(const GfxWindowOptions& options, uint32_t flags, std::string* error);
  void CloseVideo();

  GfxWindowMode mode_ = GfxWindowMode::Test;
  struct SDL_Window* window_ = nullptr;
  void* context_ = nullptr;
  GlDevice* device_ = nullptr;
  bool videoStarted_ = false;
  int xvfbPid_ = 0;
  uint32_t headlessWidth_ = 0, headlessHeight_ = 0;
};
