// The saver's dealings with the system, over POSIX and SDL2.
#include "platform/process.h"

#include <SDL.h>
#include <sys/resource.h>

#include <cstdlib>

void SetLowestPriority() { setpriority(PRIO_PROCESS, 0, 19); }

bool HaveDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

void UseSilentAudioUnlessChosen() { setenv("SDL_AUDIODRIVER", "dummy", 0); }

void PrepareSaverEvents() {
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // Focus passing to the black window of another display must not minimise the saver's own.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
}

void InhibitDesktopScreenSaver() { SDL_DisableScreenSaver(); }

bool ShowErrorMessageBox(const std::string& caption, const std::string& text) {
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr) == 0;
}

bool ShowInformationMessageBox(const std::string& caption, const std::string& text) {
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), text.c_str(),
                                  nullptr) == 0;
}

bool DesktopDisplayMode(int32_t* width, int32_t* height, int32_t* bitsPerPixel) {
  SDL_DisplayMode mode;
  if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
  if (width) *width = mode.w;
  if (height) *height = mode.h;
  if (bitsPerPixel) *bitsPerPixel = static_cast<int32_t>(SDL_BITSPERPIXEL(mode.format));
  return true;
}
