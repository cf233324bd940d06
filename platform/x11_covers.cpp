// Cover windows over Xlib: override-redirect (no window manager moves them), black background
// painted by the server itself, no cursor.
#include "platform/x11_covers.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cctype>

#include "platform/keyboard_state.h"
#include "platform/x11_errors.h"

namespace {

constexpr long kInputMask = KeyPressMask | ButtonPressMask | PointerMotionMask;

// The virtual-key code of a key: only what the saver looks at (Escape, F keys, letters, digits).
int32_t VirtualKeyOf(KeySym symbol) {
  if (symbol == XK_Escape) return VK_ESCAPE;
  if (symbol >= XK_F1 && symbol <= XK_F24) return VK_F1 + static_cast<int32_t>(symbol - XK_F1);
  if (symbol < 0x80 && std::isalnum(static_cast<int>(symbol)))
    return std::toupper(static_cast<int>(symbol));
  return 0xFF;  // some other key
}

}  // namespace

X11Covers::~X11Covers() {
  auto* display = static_cast<Display*>(display_);
  if (!display) return;
  if (!X11DisplayLost()) {
    for (unsigned long window : windows_) XDestroyWindow(display, window);
    if (cursor_) XFreeCursor(display, cursor_);
  }
  XCloseDisplay(display);
}

bool X11Covers::Open(void* sdlDisplay, uint64_t window, const std::vector<X11CoverRect>& sameScreen) {
  auto* shared = static_cast<Display*>(sdlDisplay);
  if (!shared) return false;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(shared, static_cast<Window>(window), &attributes)) return false;
  const int saverScreen = XScreenNumberOfScreen(attributes.screen);

  Display* display = XOpenDisplay(DisplayString(shared));
  if (!display) return false;
  display_ = display;
  GuardX11Display(display);

  // An empty cursor: the pointer is hidden over the covers as over the saver.
  const char nothing[1] = {0};
  Pixmap blank = XCreateBitmapFromData(display, DefaultRootWindow(display), nothing, 1, 1);
  XColor black{};
  cursor_ = XCreatePixmapCursor(display, blank, blank, &black, &black, 0, 0);
  XFreePixmap(display, blank);

  const auto cover = [&](int screen, int x, int y, int width, int height) {
    XSetWindowAttributes set{};
    set.override_redirect = True;
    set.background_pixel = BlackPixel(display, screen);
    set.event_mask = kInputMask;
    set.cursor = cursor_;
    const Window made = XCreateWindow(
        display, RootWindow(display, screen), x, y, static_cast<unsigned>(width),
        static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
        CWOverrideRedirect | CWBackPixel | CWEventMask | CWCursor, &set);
    XMapRaised(display, made);
    windows_.push_back(made);
  };
  for (int screen = 0; screen < ScreenCount(display); ++screen)
    if (screen != saverScreen)
      cover(screen, 0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen));
  for (const X11CoverRect& rect : sameScreen)
    cover(saverScreen, rect.x, rect.y, rect.width, rect.height);
  XFlush(display);
  return true;
}

bool X11Covers::Poll(X11CoverInput* input) {
  auto* display = static_cast<Display*>(display_);
  if (!display || X11DisplayLost()) return false;
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    *input = X11CoverInput{};
    switch (event.type) {
      case KeyPress: {
        input->kind = X11CoverInput::Key;
        input->virtualKey = VirtualKeyOf(XLookupKeysym(&event.xkey, 0));
        return true;
      }
      case ButtonPress:
        // Left, middle and right; the wheel's buttons are no click.
        if (event.xbutton.button > Button3) break;
        input->kind = X11CoverInput::Button;
        return true;
      case MotionNotify:
        input->kind = X11CoverInput::Motion;
        input->x = event.xmotion.x_root;
        input->y = event.xmotion.y_root;
        return true;
      default:
        break;
    }
  }
  return false;
}
