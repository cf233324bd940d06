// X11 error handlers over Xlib. The error handler returns, so the failed request simply fails;
// the I/O error handler and the display's exit handler return too (Xlib 1.7 and later), after
// which Xlib treats the connection as dead and every further call on it as a no-op.
#include "platform/x11_errors.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "base/log.h"

namespace {

std::atomic<uint64_t> g_errors{0};
std::atomic<bool> g_displayLost{false};

int OnXError(Display* display, XErrorEvent* event) {
  // Only the first few are described: a window gone mid-frame gives one per request.
  const uint64_t seen = g_errors.fetch_add(1);
  if (seen < 4) {
    char text[128] = "";
    XGetErrorText(display, event->error_code, text, sizeof text);
    char line[256];
    std::snprintf(line, sizeof line, "X11: %s (request %d.%d, resource 0x%lx)", text,
                  event->request_code, event->minor_code, event->resourceid);
    if (seen == 0) WriteLog(line);
    std::string debug = line;
    debug += '\n';
    DebugOutput(debug);
  }
  return 0;
}

int OnXIOError(Display*) {
  g_displayLost.store(true);
  return 0;
}

void OnXIOErrorExit(Display*, void*) { g_displayLost.store(true); }

}  // namespace

void InstallX11ErrorHandlers() {
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(OnXIOError);
}

void GuardX11Display(void* display) {
  if (display) XSetIOErrorExitHandler(static_cast<Display*>(display), OnXIOErrorExit, nullptr);
}

bool X11DisplayLost() { return g_displayLost.load(); }

uint64_t X11ErrorCount() { return g_errors.load(); }

bool X11WindowExists(void* display, uint64_t id) {
  if (!display || id == 0 || g_displayLost.load()) return false;
  XWindowAttributes attributes;
  return XGetWindowAttributes(static_cast<Display*>(display), static_cast<Window>(id),
                              &attributes) != 0;
}

bool X11WindowExistsOnDefaultDisplay(uint64_t id) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  GuardX11Display(display);
  const bool exists = X11WindowExists(display, id);
  XCloseDisplay(display);
  return exists;
}
