#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/program.h"

namespace {

struct Case {
  const char* name;
  std::vector<std::string> args;
  bool haveDisplay;
  const char* daemonWindow;
  int32_t mode;
  uint64_t window;
  bool drawIntoWindow;
  bool headless;
  bool needsDisplay = false;
};

}  // namespace

TEST(CommandLine, SwitchesSelectTheMode) {
  const Case cases[] = {
      {"no switch: configuration", {}, true, nullptr, SM_CONFIG, 0, false, false},
      {"/s", {"/s"}, true, nullptr, SM_FULL, 0, false, false},
      {"-S works like /s", {"-S"}, true, nullptr, SM_FULL, 0, false, false},
      {"any other letter: full screen", {"/x"}, true, nullptr, SM_FULL, 0, false, false},
      {"/t", {"/t"}, true, nullptr, SM_TEST, 0, false, false},
      {"/p 1234", {"/p", "1234"}, true, nullptr, SM_PREVIEW, 1234, false, false},
      {"/p:1234", {"/p:1234"}, true, nullptr, SM_PREVIEW, 1234, false, false},
      {"/P 77 in one argument", {"/P 77"}, true, nullptr, SM_PREVIEW, 77, false, false},
      {"/c without a number: no owner", {"/c"}, true, nullptr, SM_CONFIG, 0, false, false},
      {"/c:42", {"/c:42"}, true, nullptr, SM_CONFIG, 42, false, false},
      {"/a", {"/a"}, true, nullptr, SM_PASSWORD, 0, false, false},
      {"-root: full screen", {"-root"}, true, nullptr, SM_FULL, 0, false, false},
      {"--root, as XScreenSaver 6 passes it", {"--root"}, true, nullptr, SM_FULL, 0, false, false},
      {"--window-id in hex", {"--window-id", "0x2a"}, true, nullptr, SM_FULL, 42, true, false},
      {"--window-id=ID", {"--window-id=77"}, true, nullptr, SM_FULL, 77, true, false},
      {"the daemon's window wins over -window-id", {"-window-id", "5"}, true, "9", SM_FULL, 9,
       true, false},
      {"and over /s", {"/s"}, true, "9", SM_FULL, 9, true, false},
      {"and over a preview", {"/p", "5"}, true, "9", SM_FULL, 9, true, false},
      {"but not over the settings", {"/c"}, true, "9", SM_CONFIG, 0, false, false},
      {"-window-id in decimal", {"-window-id", "4242"}, true, nullptr, SM_FULL, 4242, true, false},
      {"-window-id in hex", {"-window-id", "0x2a"}, true, nullptr, SM_FULL, 42, true, false},
      {"the daemon's window", {}, true, "0x400007", SM_FULL, 0x400007, true, false},
      {"-root inside the daemon's window", {"-root"}, true, "77", SM_FULL, 77, true, false},
      {"--headless alone: like /t", {"--headless"}, true, nullptr, SM_TEST, 0, false, true},
      {"no display and no switch: configuration", {}, false, nullptr, SM_CONFIG, 0, false, true},
      {"headless keeps a given mode", {"--headless", "/s"}, true, nullptr, SM_FULL, 0, false, true},
      // Without a display a saver mode cannot be seen: it needs one, or --headless.
      {"no display with /t", {"/t"}, false, nullptr, SM_TEST, 0, false, false, true},
      {"no display with /s", {"/s"}, false, nullptr, SM_FULL, 0, false, false, true},
      {"no display with /p", {"/p", "5"}, false, nullptr, SM_PREVIEW, 5, false, false, true},
      {"no display with -root", {"-root"}, false, nullptr, SM_FULL, 0, false, false, true},
      {"no display with -window-id", {"-window-id", "5"}, false, nullptr, SM_FULL, 5, true, false,
       true},
      {"no display with the daemon's window", {}, false, "9", SM_FULL, 9, true, false, true},
      {"no display, /s --headless", {"/s", "--headless"}, false, nullptr, SM_FULL, 0, false, true},
      {"no display, /t --headless", {"--headless", "/t"}, false, nullptr, SM_TEST, 0, false, true},
      {"no display with /a: no window needed", {"/a"}, false, nullptr, SM_PASSWORD, 0, false,
       true},
      {"long options do not count as a switch", {"--frames", "5", "--unthrottled"}, true, nullptr,
       SM_CONFIG, 0, false, false},
  };
  for (const Case& c : cases) {
    const SaverCommandLine line = ParseCommandLine(c.args, c.haveDisplay, c.daemonWindow);
    EXPECT_EQ(line.error, "") << c.name;
    EXPECT_EQ(line.mode, c.mode) << c.name;
    EXPECT_EQ(line.window, c.window) << c.name;
    EXPECT_EQ(line.drawIntoWindow, c.drawIntoWindow) << c.name;
    EXPECT_EQ(line.headless, c.headless) << c.name;
    EXPECT_EQ(line.needsDisplay, c.needsDisplay) << c.name;
  }
}

TEST(CommandLine, LongOptionsTakeTheirValues) {
  const SaverCommandLine line = ParseCommandLine(
      {"--headless", "--frames", "200", "--seconds=2.5", "--script", "Demo.lua", "--base",
       "/srv/gbx", "--screenshot", "shot.png", "--unthrottled"},
      true, nullptr);
  EXPECT_EQ(line.error, "");
  EXPECT_EQ(line.frames, 200);
  EXPECT_FLOAT_EQ(line.seconds, 2.5f);
  EXPECT_EQ(line.script, "Demo.lua");
  EXPECT_EQ(line.base, "/srv/gbx");
  EXPECT_EQ(line.screenshot, "shot.png");
  EXPECT_TRUE(line.unthrottled);
  EXPECT_EQ(line.mode, SM_TEST);
}

TEST(CommandLine, UnusableOptionsAreReported) {
  const std::vector<std::vector<std::string>> bad = {
      {"--frames"},          {"--frames", "0"},      {"--frames", "-3"}, {"--frames", "12x"},
      {"--seconds", "nan"},  {"--seconds", "-1"},    {"--script"},       {"--colour", "red"},
      {"-window-id"},        {"-window-id", "none"},  {"--window-id=-4"},  {"-geometry", "5"},
      {"--delay", "3"},      {"-sx"},                 {"-play-time", "0"}, {"--play-time"},
  };
  for (const auto& args : bad)
    EXPECT_NE(ParseCommandLine(args, true, nullptr).error, "") << args[0] << " " << args.size();
}

TEST(CommandLine, ADaemonsRunHasNoBoxesAndTakesItsOptions) {
  const struct {
    std::vector<std::string> args;
    const char* daemonWindow;
    bool daemon;
  } cases[] = {
      {{"--root"}, nullptr, true},        {{"-window-id", "3"}, nullptr, true},
      {{}, "0x400007", true},             {{"/p", "5"}, nullptr, true},
      {{"/s"}, nullptr, false},           {{"/t"}, nullptr, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseCommandLine(c.args, true, c.daemonWindow).daemon, c.daemon) << c.args.size();
  const SaverCommandLine line = ParseCommandLine({"-root", "-fps", "--play-time", "45"}, true, nullptr);
  EXPECT_EQ(line.error, "");
  EXPECT_TRUE(line.showFPS);
  EXPECT_EQ(line.playTime, 45);
}

TEST(CommandLine, TheSwitchSkipsOneSeparatorOfAnyKind) {
  int32_t mode = -1;
  uint64_t window = 1;
  bool found = false;
  ParseSaverSwitch("/p#99", &mode, &window, &found);
  EXPECT_EQ(window, 99u);
  ParseSaverSwitch("/p", &mode, &window, &found);
  EXPECT_TRUE(found);
  EXPECT_EQ(mode, SM_PREVIEW);
  EXPECT_EQ(window, 0u) << "nothing after the letter: no window, and no read past the end";
  ParseSaverSwitch("/", &mode, &window, &found);
  EXPECT_EQ(mode, SM_FULL);
}
