// Black windows over the monitors the full-screen saver does not draw on, and the input they get.
// Made with Xlib on a connection of their own: SDL places windows by desktop position, which
// cannot name a second X screen (every screen starts at (0, 0)), and drops events of windows it
// did not make.
//
//   X11Covers covers;
//   covers.Open(sdlDisplay, sdlWindow, {other monitors' rectangles on the saver's X screen});
//   X11CoverInput input;
//   while (covers.Poll(&input)) ... a key, a button or a pointer move ends the saver ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct X11CoverRect {
  int32_t x, y, width, height;
};

struct X11CoverInput {
  enum Kind { Key, Button, Motion } kind = Motion;
  int32_t virtualKey = 0;  // for Key
  int32_t x = 0, y = 0;    // for Motion: on the screen the pointer is on
};

class X11Covers {
 public:
  X11Covers() = default;
  ~X11Covers();
  X11Covers(const X11Covers&) = delete;
  X11Covers& operator=(const X11Covers&) = delete;

  // Covers every X screen but the one `window` (an X11 window id on `display`) is on, and
  // `sameScreen` on that one. False when no connection could be made.
  bool Open(void* display, uint64_t window, const std::vector<X11CoverRect>& sameScreen);
  size_t Count() const { return windows_.size(); }
  // Takes the next input event of a cover; false when none is waiting.
  bool Poll(X11CoverInput* input);

 private:
  void* display_ = nullptr;
  std::vector<unsigned long> windows_;
  unsigned long cursor_ = 0;
};
