// Command-line parsing. The long options are taken out first; what is left is read the way the
// system's screen-saver switch always was, so "/p 1234", "/p:1234" and "-s" keep their meaning.
#include "shell/command_line.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "base/program.h"

namespace {

bool ParseWindowId(const std::string& text, uint64_t* id) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);  // decimal or 0x...
  if (errno != 0 || *end != '\0' || text[0] == '-') return false;
  *id = value;
  return true;
}

bool ParseFrames(const std::string& text, int64_t* frames) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value <= 0) return false;
  *frames = value;
  return true;
}

bool ParseSeconds(const std::string& text, float* seconds) {
  if (text.empty()) return false;
  char* end = nullptr;
  const float value = std::strtof(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(value) || value <= 0) return false;
  *seconds = value;
  return true;
}

}  // namespace

void ParseSaverSwitch(const std::string& line, int32_t* mode, uint64_t* window, bool* found) {
  *mode = SM_CONFIG;
  *window = 0;
  *found = false;
  const size_t at = line.find_first_of("/-");
  if (at == std::string::npos) return;
  *found = true;
  const char letter = at + 1 < line.size() ? line[at + 1] : '\0';
  switch (std::tolower(static_cast<unsigned char>(letter))) {
    case 'a': *mode = SM_PASSWORD; break;
    case 'c': *mode = SM_CONFIG; break;
    case 'p': *mode = SM_PREVIEW; break;
    case 't': *mode = SM_TEST; return;
    default: *mode = SM_FULL; return;
  }
  // Whatever follows the letter is a separator; the handle's digits come after it.
  size_t digit = at + 3;
  uint64_t handle = 0;
  while (digit < line.size() && std::isdigit(static_cast<unsigned char>(line[digit]))) {
    handle = handle * 10 + static_cast<uint64_t>(line[digit] - '0');
    ++digit;
  }
  *window = handle;
}

const char* const kSaverUsage =
    "usage: glimmerbox [/s | /t | /c | /p N | /a]\n"
    "                  [-root | -window-id ID] [-fps] [-play-time SECONDS]\n"
    "                  [--headless] [--frames N] [--seconds S] [--script FILE]\n"
    "                  [--base DIR] [--screenshot FILE.png] [--unthrottled]\n"
    "Options of a screen-saver daemon take one dash or two.\n";

SaverCommandLine ParseCommandLine(const std::vector<std::string>& args, bool haveDisplay,
                                  const char* xscreensaverWindow) {
  SaverCommandLine line;
  std::string rest;
  bool root = false, windowId = false;
  uint64_t windowIdValue = 0;

  for (size_t i = 0; i < args.size() && line.error.empty(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool inlineValue = false;
    // Daemons pass their options with one dash or two: -root is --root.
    const bool word = arg.size() > 2 && arg[0] == '-' && arg[1] != '-' &&
                      std::isalpha(static_cast<unsigned char>(arg[1])) &&
                      std::isalpha(static_cast<unsigned char>(arg[2]));
    if (word) arg = "-" + arg;
    if (arg.rfind("--", 0) == 0) {
      if (const size_t equals = arg.find('='); equals != std::string::npos) {
        value = arg.substr(equals + 1);
        arg.resize(equals);
        inlineValue = true;
      }
    }
    const auto takeValue = [&]() -> bool {
      if (inlineValue) return true;
      if (i + 1 >= args.size()) {
        line.error = arg + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };

    if (arg == "--headless") {
      line.headless = true;
    } else if (arg == "--unthrottled") {
      line.unthrottled = true;
    } else if (arg == "--frames") {
      if (takeValue() && !ParseFrames(value, &line.frames))
        line.error = "--frames needs a whole number of frames above 0";
    } else if (arg == "--seconds") {
      if (takeValue() && !ParseSeconds(value, &line.seconds))
        line.error = "--seconds needs a number of seconds above 0";
    } else if (arg == "--script") {
      if (takeValue()) line.script = value;
    } else if (arg == "--base") {
      if (takeValue()) line.base = value;
    } else if (arg == "--screenshot") {
      if (takeValue()) line.screenshot = value;
    } else if (arg == "--root") {
      root = true;
    } else if (arg == "--fps") {
      line.showFPS = true;
    } else if (arg == "--play-time") {
      int64_t seconds = 0;
      if (takeValue() && (!ParseFrames(value, &seconds) || seconds > 86400))
        line.error = "--play-time needs a whole number of seconds above 0";
      line.playTime = static_cast<int32_t>(seconds);
    } else if (arg == "--window-id") {
      if (takeValue() && !ParseWindowId(value, &windowIdValue))
        line.error = "--window-id needs a window id";
      windowId = true;
    } else if (arg.rfind("--", 0) == 0) {
      line.error = "unknown option " + args[i];
    } else {
      rest += (rest.empty() ? "" : " ") + arg;
    }
  }
  const bool askedHeadless = line.headless;
  uint64_t daemonWindow = 0;
  const bool haveDaemonWindow =
      xscreensaverWindow && ParseWindowId(xscreensaverWindow, &daemonWindow) && daemonWindow != 0;

  bool found = false;
  ParseSaverSwitch(rest, &line.mode, &line.window, &found);
  if (found) {
    // The daemon's window wins over any switch that shows the saver.
    if (haveDaemonWindow && line.mode != SM_CONFIG && line.mode != SM_PASSWORD) {
      line.mode = SM_FULL;
      line.window = daemonWindow;
      line.drawIntoWindow = true;
      line.daemon = true;
    }
    line.daemon = line.daemon || line.mode == SM_PREVIEW;
  } else if (haveDaemonWindow) {
    line.mode = SM_FULL;
    line.window = daemonWindow;
    line.drawIntoWindow = true;
    line.daemon = true;
  } else if (windowId) {
    line.mode = SM_FULL;
    line.window = windowIdValue;
    line.drawIntoWindow = true;
    line.daemon = true;
  } else if (root) {
    line.mode = SM_FULL;
    line.daemon = true;
  } else if (askedHeadless) {
    // Asked for: a saver run without any display. Merely lacking a display, the program stays in
    // configuration, which says that it needs one.
    line.mode = SM_TEST;
  }
  if (!haveDisplay && !askedHeadless) {
    // An invisible saver would only burn time until killed: it says it needs a display instead.
    const bool showsSaver = line.mode == SM_FULL || line.mode == SM_PREVIEW || line.mode == SM_TEST;
    line.needsDisplay = showsSaver;
    line.headless = !showsSaver;
  }
  return line;
}
