// The saver's command line: the screen-saver switches (/s full screen, /p N or /p:N preview in
// window N, /c configuration, /t test window, /a password; '-' works like '/'; no switch at all
// means configuration) and the Linux additions: the hack options of screen-saver daemons, with one
// dash or two (-root, -window-id ID in decimal or 0x hex, -fps, -play-time S; the
// XSCREENSAVER_WINDOW variable names the daemon's window and wins over any switch), and the long
// options --headless, --frames N, --seconds S, --script FILE, --base DIR, --screenshot FILE.png
// and --unthrottled. A word after one dash that is no switch letter is an unknown option.
//
//   SaverCommandLine line = ParseCommandLine({"/p", "1234"}, HaveDisplay(), getenv("XSCREENSAVER_WINDOW"));
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SaverCommandLine {
  int32_t mode = 0;             // a SaverMode
  uint64_t window = 0;          // preview parent, dialog owner or window to draw into; 0 none
  bool drawIntoWindow = false;  // full screen inside `window` (-window-id, XSCREENSAVER_WINDOW)
  bool headless = false;        // off-screen rendering, silent sound driver
  bool needsDisplay = false;    // a saver mode with no display and no --headless: it cannot run
  int64_t frames = 0;           // stop after this many displayed frames; 0 never
  float seconds = 0;            // stop after this much application time; 0 never
  bool unthrottled = false;
  bool daemon = false;          // started by a screen-saver daemon: no message boxes of our own
  bool showFPS = false;         // -fps: the statistics line for this run
  int32_t playTime = 0;         // -play-time: seconds per script for this run; 0 the setting's
  std::string script, base, screenshot;
  std::string error;            // why the line cannot be used; empty when it can
};

// `args` without the program name. Without a display (`haveDisplay` false) the settings run
// headless (and say that they need one), while a mode that shows the saver needs --headless to
// run off-screen. `xscreensaverWindow` is the variable's value or null.
SaverCommandLine ParseCommandLine(const std::vector<std::string>& args, bool haveDisplay,
                                  const char* xscreensaverWindow);

// What the program prints on stderr, after the reason, when the command line cannot be used.
extern const char* const kSaverUsage;

// The screen-saver switch in a command line, as the system passes it: the first '/' or '-', the
// mode letter after it, then one separator character of any kind and a decimal window handle.
void ParseSaverSwitch(const std::string& line, int32_t* mode, uint64_t* window, bool* found);
