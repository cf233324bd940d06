// A stand-in for the application's frame loop, to run scripts without a display: the scheduling
// step, the resume step, every television's frame and the caption list's clock, on a fake
// application time, with the program-wide script host and a log file of its own.
//
// Test scripts describe what a run must show in comment lines (read by ReadScriptSpec):
//   -- frames: 20               frames to run (default 10)
//   -- play-time: 0             the "Play Time" setting in seconds (default 120)
//   -- saver-mode: preview      the saver mode (default test)
//   -- catalogue: yes           build the catalogue from the folder instead of playing the
//                               script alone (as --script does)
//   -- expect: TEXT             a log line containing TEXT, after the previous expected one
//   -- expect-absent: TEXT      no log line contains TEXT
//   -- expect-driver: TEXT      as expect, but only in the driver's runs (its closing
//                               "Driver: ..." line reports televisions, colours and captions)
// Any log line that starts with "FAIL" fails the run: scripts check themselves with gbox.Log.
// The same scripts and checks apply to a log written by `glimmerbox --headless --script FILE`
// run for the frames its directives ask for, with their play time and saver mode (script_suite spec FILE prints them).
#pragma once

#include <string>
#include <vector>

struct ScriptSpec {
  int frames = 10;
  int playTime = 120;
  int saverMode = 3;  // SM_TEST
  bool catalogue = false;
  std::vector<std::string> expect;
  std::vector<std::string> expectAbsent;
  std::vector<std::string> expectDriver;
};

// The directives of a script's text; for a .zip, of its first .lua member.
ScriptSpec ReadScriptSpec(const std::string& path);

// The problems of a log (lines without their time stamps) against a spec; empty when it passes.
// `driverRun`: the log comes from RunScript, so the expect-driver lines apply too.
std::vector<std::string> CheckLog(const ScriptSpec& spec, const std::vector<std::string>& lines,
                                  bool driverRun = true);

// The lines of a log file without their "[HH:MM:SS] " stamps.
std::vector<std::string> ReadLogLines(const std::string& logPath);

struct DriverOptions {
  std::string baseFolder;      // Scripts, Snapshots (and Roms unless romsFolder is given) below it
  std::string romsFolder;      // empty: baseFolder/Roms
  std::string script;          // played alone unless its directives ask for the catalogue
  std::string logPath;
  float frameSeconds = 0.02f;  // application time per frame
};

// Runs the script as its spec says, in a program-wide state of its own, and returns the log's
// lines. The run ends early when no script can be played (the application's error mode). The
// last line reports what the run left: "Driver: televisions N, background 0x00BBGGRR, ...".
std::vector<std::string> RunScript(const DriverOptions& options, const ScriptSpec& spec);
