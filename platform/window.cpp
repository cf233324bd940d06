// SDL2 windows with an OpenGL context. Headless runs choose SDL's off-screen video driver (EGL on
// Mesa, no display server needed) from inside the program; when that cannot give an OpenGL
// context, a private Xvfb server is started and stopped with the window.
#include "platform/window.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_opengl.h>
#include <SDL_syswm.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "base/log.h"
#include "platform/clock.h"
#include "platform/end_watch.h"
#include "platform/gfx_gl.h"
#include "platform/x11_covers.h"
#include "platform/x11_errors.h"

namespace {

// Starts "Xvfb -displayfd" and returns its pid, with the display name it chose; 0 on failure.
int StartXvfb(std::string* display) {
  int fds[2];
  if (pipe(fds) != 0) return 0;
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return 0;
  }
  if (pid == 0) {
    // The server goes with the program, however the program ends.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
           "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return 0;
  }
  *display = ":" + number;
  WatchChildProcess(static_cast<int>(pid));
  return static_cast<int>(pid);
}

// The headless driver and its OpenGL library stay loaded once a headless window has worked: the
// driver's EGL set-up costs time, and tearing it down and loading it again for every window
// leaves memory behind inside the driver. A process uses one mode, so nothing else needs the
// video subsystem back.
void KeepHeadlessDriverLoaded() {
  static bool kept = false;
  if (kept) return;
  kept = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  if (kept) SDL_GL_LoadLibrary(nullptr);
}

void StopXvfb(int pid) {
  if (pid <= 0) return;
  WatchChildProcess(0);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// The "Format" setting's number of an SDL pixel format; 0 for one the setting has no number for.
int32_t DisplayFormatOf(uint32_t sdlFormat) {
  switch (sdlFormat) {
    case SDL_PIXELFORMAT_ARGB8888: return DISPLAY_FORMAT_A8R8G8B8;
    case SDL_PIXELFORMAT_RGB888: return DISPLAY_FORMAT_X8R8G8B8;
    case SDL_PIXELFORMAT_RGB565: return DISPLAY_FORMAT_R5G6B5;
    case SDL_PIXELFORMAT_RGB555: return DISPLAY_FORMAT_X1R5G5B5;
    case SDL_PIXELFORMAT_ARGB1555: return DISPLAY_FORMAT_A1R5G5B5;
    case SDL_PIXELFORMAT_RGB24: return DISPLAY_FORMAT_R8G8B8;
    default: break;
  }
  switch (SDL_BYTESPERPIXEL(sdlFormat)) {
    case 4: return DISPLAY_FORMAT_X8R8G8B8;
    case 3: return DISPLAY_FORMAT_R8G8B8;
    case 2: return DISPLAY_FORMAT_R5G6B5;
    default: return 0;
  }
}

int32_t BitsOfDisplayFormat(int32_t format) {
  switch (format) {
    case 0: return 0;
    case DISPLAY_FORMAT_A8R8G8B8:
    case DISPLAY_FORMAT_X8R8G8B8: return 32;
    case DISPLAY_FORMAT_R8G8B8: return 24;
    default: return 16;
  }
}

DisplayModeInfo ModeInfoOf(const SDL_DisplayMode& mode) {
  const int32_t format = DisplayFormatOf(mode.format);
  return DisplayModeInfo{mode.w, mode.h, BitsOfDisplayFormat(format), format};
}

std::string GlString(GLenum name) {
  const auto* text = reinterpret_cast<const char*>(glGetString(name));
  return text ? text : "";
}

void SetContextAttributes(bool withDepth) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, withDepth ? 24 : 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, withDepth ? 8 : 0);
}

}  // namespace

std::vector<DisplayModeInfo> FirstDisplayModes() {
  std::vector<DisplayModeInfo> modes;
  const int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode{};
    // A mode SDL cannot describe keeps its place, so indexes stay SDL's.
    modes.push_back(SDL_GetDisplayMode(0, i, &mode) == 0 ? ModeInfoOf(mode) : DisplayModeInfo{});
  }
  return modes;
}

void DescribeCurrentAdapter(DisplayAdapterInfo* adapter) {
  const std::string vendor = GlString(GL_VENDOR), renderer = GlString(GL_RENDERER);
  const std::string version = GlString(GL_VERSION);
  adapter->name = renderer.empty() ? "OpenGL" : renderer;
  if (const char* driver = SDL_GetCurrentVideoDriver())
    adapter->name += std::string(" on ") + driver;
  adapter->hardware = !renderer.empty() && !IsSoftwareRenderer(renderer);
  // Mesa always carries llvmpipe; another vendor's driver may have no software renderer.
  adapter->software = !adapter->hardware || version.find("Mesa") != std::string::npos;
  AdapterIdentifier(vendor, renderer, adapter->id);
  const char* monitor = SDL_GetDisplayName(0);
  adapter->monitorName = monitor && *monitor ? monitor : "Display 1";

  adapter->modes.clear();
  for (const DisplayModeInfo& info : FirstDisplayModes()) {
    // The same sizes as a Direct3D device list: nothing smaller than 640 x 400.
    if (!info.format || info.width < 640 || info.height < 400) continue;
    // SDL lists every refresh rate of a mode; each mode is listed once.
    const bool known =
        std::any_of(adapter->modes.begin(), adapter->modes.end(), [&](const auto& m) {
          return m.width == info.width && m.height == info.height &&
                 m.bitsPerPixel == info.bitsPerPixel;
        });
    if (!known) adapter->modes.push_back(info);
  }
}

bool ProbeDisplayAdapter(DisplayAdapterInfo* adapter, std::string* error) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (error) *error = std::string("cannot start SDL video: ") + SDL_GetError();
    return false;
  }
  SetContextAttributes(false);
  bool described = false;
  SDL_Window* window = SDL_CreateWindow("", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  if (context) {
    SDL_GL_MakeCurrent(window, context);
    DescribeCurrentAdapter(adapter);
    described = true;
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(context);
  } else if (error) {
    *error = std::string("cannot open an OpenGL window: ") + SDL_GetError();
  }
  if (window) SDL_DestroyWindow(window);
  // The OpenGL library is loaded again for the real window, so a renderer chosen in between
  // (software rendering) takes effect.
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return described;
}

std::unique_ptr<GfxWindow> GfxWindow::Create(const GfxWindowOptions& options,
                                             std::string* error) {
  std::unique_ptr<GfxWindow> window(new GfxWindow);
  if (!window->Open(options, error)) return nullptr;
  return window;
}

GfxWindow::~GfxWindow() {
  delete device_;
  CloseVideo();
}

void GfxWindow::CloseVideo() {
  if (x11Display_ && X11DisplayLost()) {
    // The server is gone: SDL would wait for ever for its answers. The process ends soon.
    window_ = nullptr;
    context_ = nullptr;
    covers_.reset();
    videoStarted_ = false;
    return;
  }
  covers_.reset();
  x11Display_ = nullptr;
  if (cursorHidden_) SDL_ShowCursor(SDL_ENABLE);
  cursorHidden_ = false;
  if (context_) SDL_GL_DeleteContext(context_);
  context_ = nullptr;
  if (window_) SDL_DestroyWindow(window_);
  window_ = nullptr;
  if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  videoStarted_ = false;
  SDL_ResetHint(SDL_HINT_VIDEODRIVER);
  StopXvfb(xvfbPid_);
  xvfbPid_ = 0;
}

GfxDevice* GfxWindow::Device() const { return device_; }

bool GfxWindow::Open(const GfxWindowOptions& options, std::string* error) {
  mode_ = options.mode;
  if (mode_ == GfxWindowMode::Headless) return OpenHeadless(options, error);
  // Mesa reads this when it loads its driver, which happens with the video subsystem.
  if (options.softwareRendering) setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (error) *error = std::string("cannot start SDL video: ") + SDL_GetError();
    return false;
  }
  videoStarted_ = true;
  uint32_t flags = SDL_WINDOW_OPENGL;
  // Shown once its display mode is chosen.
  if (mode_ == GfxWindowMode::FullScreen) flags |= SDL_WINDOW_HIDDEN;
  if (mode_ == GfxWindowMode::Test) flags |= SDL_WINDOW_RESIZABLE;
  if (mode_ == GfxWindowMode::Foreign && !X11WindowExistsOnDefaultDisplay(options.foreignWindow)) {
    // SDL would take the id on trust and fail on the first X request.
    if (error) *error = "there is no window " + std::to_string(options.foreignWindow);
    return false;
  }
  if (!CreateWindowAndContext(options, flags, error)) return false;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11) {
    x11Display_ = info.info.x11.display;
    GuardX11Display(x11Display_);
  }
  foreignWindow_ = mode_ == GfxWindowMode::Foreign ? options.foreignWindow : 0;
  if (mode_ == GfxWindowMode::FullScreen) {
    ShowFullScreen(options);
    OpenCovers(options);
    cursorHidden_ = SDL_ShowCursor(SDL_DISABLE) >= 0;
  }
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(window_, &w, &h);
  std::string reason;
  device_ = GlDevice::Create(window_, false, static_cast<uint32_t>(w), static_cast<uint32_t>(h),
                             &reason);
  if (!device_) {
    if (error) *error = "cannot create the graphics device: " + reason;
    return false;
  }
  device_->SetVerticalSync(options.verticalSync);
  renderer_ = GlString(GL_RENDERER);
  return true;
}

bool GfxWindow::CreateWindowAndContext(const GfxWindowOptions& options, uint32_t flags,
                                       std::string* error) {
  // A headless device draws into its own framebuffer object; the window's needs no depth.
  SetContextAttributes(mode_ != GfxWindowMode::Headless);
  if (mode_ == GfxWindowMode::Foreign) {
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    window_ = SDL_CreateWindowFrom(reinterpret_cast<void*>(static_cast<uintptr_t>(options.foreignWindow)));
  } else if (mode_ == GfxWindowMode::FullScreen) {
    SDL_Rect bounds{0, 0, 640, 480};
    SDL_GetDisplayBounds(0, &bounds);
    const int where = static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(0));
    window_ = SDL_CreateWindow(options.title.c_str(), where, where, bounds.w, bounds.h, flags);
  } else {
    // The test window's client area stands at (50, 50).
    const int position = mode_ == GfxWindowMode::Test ? 50 : SDL_WINDOWPOS_CENTERED;
    window_ = SDL_CreateWindow(options.title.c_str(), position, position,
                               static_cast<int>(options.width), static_cast<int>(options.height),
                               flags);
  }
  if (!window_) {
    if (error) *error = std::string("cannot create the window: ") + SDL_GetError();
    return false;
  }
  context_ = SDL_GL_CreateContext(window_);
  if (!context_) {
    if (error) *error = std::string("cannot create an OpenGL context: ") + SDL_GetError();
    return false;
  }
  SDL_GL_MakeCurrent(window_, context_);
  return true;
}

void GfxWindow::ShowFullScreen(const GfxWindowOptions& options) {
  SDL_DisplayMode desktop{};
  SDL_GetDesktopDisplayMode(0, &desktop);
  const bool chooses = options.fullScreenWidth > 0 && options.fullScreenHeight > 0;
  const std::vector<DisplayModeInfo> modes = FirstDisplayModes();
  const int first = chooses ? ChooseDisplayMode(modes, options.fullScreenWidth,
                                                options.fullScreenHeight, options.fullScreenFormat)
                            : -1;
  const auto switchTo = [&](int index) {
    SDL_DisplayMode wanted{};
    if (SDL_GetDisplayMode(0, index, &wanted) != 0 ||
        SDL_SetWindowDisplayMode(window_, &wanted) != 0 ||
        SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) != 0) {
      DebugOutput("Window: the display mode " + std::to_string(wanted.w) + "x" +
                  std::to_string(wanted.h) + " could not be set (" + SDL_GetError() + ")\n");
      return false;
    }
    SDL_ShowWindow(window_);
    // Showing switches the mode; SDL does not say when that failed.
    SDL_DisplayMode current{};
    const bool switched = SDL_GetCurrentDisplayMode(0, &current) == 0 && current.w == wanted.w &&
                          current.h == wanted.h;
    if (!switched)
      DebugOutput("Window: the display did not take the mode " + std::to_string(wanted.w) + "x" +
                  std::to_string(wanted.h) + "\n");
    return switched;
  };
  // The mode asked for, then the nearest ones the display offers; the desktop's as the last resort,
  // so that the saver still shows.
  const DisplayModeInfo asked{options.fullScreenWidth, options.fullScreenHeight, 0,
                              options.fullScreenFormat};
  const int used = chooses ? TryDisplayModes(modes, first, asked, switchTo) : -1;
  if (used >= 0) {
    fullScreenMode_ = modes[static_cast<size_t>(used)];
    fullScreenFellBack_ = used != first;
    return;
  }
  if (chooses) DebugOutput("Window: no display mode could be set; keeping the desktop's\n");
  fullScreenFellBack_ = chooses;
  SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
  SDL_ShowWindow(window_);
  fullScreenMode_ = ModeInfoOf(desktop);
}

void GfxWindow::OpenCovers(const GfxWindowOptions&) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window_, &info) || info.subsystem != SDL_SYSWM_X11) return;
  // Other monitors of the saver's X screen lie beside its own; those of other X screens overlap
  // it (every screen starts at (0, 0)) and are covered whole.
  SDL_Rect own{};
  SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window_), &own);
  std::vector<X11CoverRect> beside;
  for (int display = 0; display < SDL_GetNumVideoDisplays(); ++display) {
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(display, &bounds) != 0 || SDL_HasIntersection(&bounds, &own)) continue;
    beside.push_back({bounds.x, bounds.y, bounds.w, bounds.h});
  }
  covers_ = std::make_unique<X11Covers>();
  if (!covers_->Open(info.info.x11.display, info.info.x11.window, beside)) {
    DebugOutput("Window: no black windows over the other displays\n");
    covers_.reset();
  } else if (covers_->Count() > 0) {
    DebugOutput("Window: " + std::to_string(covers_->Count()) + " other display(s) covered\n");
  }
}

bool GfxWindow::PollCovers(SaverEvent* event) {
  X11CoverInput input;
  if (!covers_ || !covers_->Poll(&input)) return false;
  *event = SaverEvent{};
  switch (input.kind) {
    case X11CoverInput::Key:
      event->type = SaverEventType::KeyDown;
      event->virtualKey = input.virtualKey;
      break;
    case X11CoverInput::Button:
      event->type = SaverEventType::MouseButton;
      break;
    case X11CoverInput::Motion:
      event->type = SaverEventType::MouseMove;
      event->x = input.x;
      event->y = input.y;
      break;
  }
  return true;
}

double GfxWindow::RefreshRate() const {
  SDL_DisplayMode mode{};
  const int display = window_ && mode_ != GfxWindowMode::Headless ? SDL_GetWindowDisplayIndex(window_) : -1;
  if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0)
    return mode.refresh_rate;
  return 60;
}

bool GfxWindow::Lost() {
  if (lost_) return true;
  if (!x11Display_) return false;
  if (X11DisplayLost()) return lost_ = true;
  if (!foreignWindow_) return false;
  const double now = ClockSeconds();
  const uint64_t errors = X11ErrorCount();
  if (errors == errorsSeen_ && now < nextCheck_) return false;
  errorsSeen_ = errors;
  nextCheck_ = now + 0.5;
  lost_ = !X11WindowExists(x11Display_, foreignWindow_);
  return lost_;
}

bool GfxWindow::OpenHeadless(const GfxWindowOptions& options, std::string* error) {
  headlessWidth_ = options.width;
  headlessHeight_ = options.height;
  std::string reason;
  const auto tryDriver = [&](const char* driver) -> bool {
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, driver, SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      reason = std::string("SDL video: ") + SDL_GetError();
      return false;
    }
    videoStarted_ = true;
    if (CreateWindowAndContext(options, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN, &reason)) {
      device_ = GlDevice::Create(window_, true, options.width, options.height, &reason);
      if (device_) {
        renderer_ = GlString(GL_RENDERER);
        if (!xvfbPid_) KeepHeadlessDriverLoaded();
        return true;
      }
    }
    CloseVideo();
    return false;
  };
  if (tryDriver("offscreen")) return true;
  DebugOutput("Window: headless rendering through SDL's offscreen driver failed (" + reason +
              "); trying a private Xvfb\n");
  std::string display;
  const int pid = StartXvfb(&display);
  if (!pid) {
    if (error) *error = "no headless OpenGL: offscreen driver failed (" + reason +
                        ") and Xvfb could not be started";
    return false;
  }
  setenv("DISPLAY", display.c_str(), 1);
  xvfbPid_ = pid;
  if (tryDriver("x11")) {
    DebugOutput("Window: headless rendering on Xvfb display " + display + "\n");
    return true;
  }
  if (error) *error = "no headless OpenGL: offscreen driver and Xvfb both failed (" + reason + ")";
  return false;
}

bool GfxWindow::SizeChanged(uint32_t* width, uint32_t* height) const {
  if (!device_) return false;
  uint32_t w = headlessWidth_, h = headlessHeight_;
  if (mode_ != GfxWindowMode::Headless) {
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(window_, &dw, &dh);
    if (dw <= 0 || dh <= 0) return false;  // minimised
    w = static_cast<uint32_t>(dw);
    h = static_cast<uint32_t>(dh);
  }
  uint32_t cw = 0, ch = 0;
  device_->GetBackBufferSize(&cw, &ch);
  if (width) *width = w;
  if (height) *height = h;
  return w != cw || h != ch;
}

void GfxWindow::Resize(uint32_t width, uint32_t height) {
  if (mode_ == GfxWindowMode::Headless) {
    headlessWidth_ = width;
    headlessHeight_ = height;
  } else if (window_ && mode_ == GfxWindowMode::Test) {
    SDL_SetWindowSize(window_, static_cast<int>(width), static_cast<int>(height));
  }
}

bool GfxWindow::SaveScreenshot(const std::string& path) const {
  if (!device_) return false;
  std::vector<uint32_t> pixels;
  uint32_t w = 0, h = 0;
  if (device_->ReadBackBuffer(&pixels, &w, &h) < 0) return false;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      pixels.data(), static_cast<int>(w), static_cast<int>(h), 32, static_cast<int>(w * 4),
      SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return false;
  const bool ok = IMG_SavePNG(surface, path.c_str()) == 0;
  if (!ok) DebugOutput("Window: cannot write screenshot " + path + ": " + IMG_GetError() + "\n");
  SDL_FreeSurface(surface);
  return ok;
}
