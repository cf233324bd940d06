// script_suite: runs one test script through the headless frame loop, or checks a log written by
// the program against a script's expectations (see script_driver.h).
//   script_suite run SCRIPT [ROMS_FOLDER]
//   script_suite check SCRIPT LOG_FILE
//   script_suite spec SCRIPT       (the frames, play time and saver mode a run needs)
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/scripting/script_driver.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (argc < 3 || (mode != "run" && mode != "check" && mode != "spec") || (mode == "check" && argc < 4)) {
    std::fprintf(stderr,
                 "usage: script_suite run SCRIPT [ROMS_FOLDER]\n       script_suite check SCRIPT LOG_FILE\n"
                 "       script_suite spec SCRIPT\n");
    return 2;
  }
  const std::string script = argv[2];
  const ScriptSpec spec = ReadScriptSpec(script);
  if (mode == "spec") {
    std::printf("frames %d\nplay-time %d\nsaver-mode %s\ncatalogue %s\n", spec.frames, spec.playTime,
                spec.saverMode == 1 ? "preview" : "test", spec.catalogue ? "yes" : "no");
    return 0;
  }
  std::vector<std::string> lines;
  if (mode == "check") {
    lines = ReadLogLines(argv[3]);
  } else {
    TempDir dir;
    fs::create_directories(dir.file("Scripts"));
    const std::string name = fs::path(script).filename().string();
    fs::copy_file(script, dir.file("Scripts/" + name));
    lines = RunScript({dir.path().string(), argc > 3 ? argv[3] : "", name, dir.file("log.txt")}, spec);
    for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  }
  const auto problems = CheckLog(spec, lines, mode == "run");
  for (const std::string& problem : problems) std::printf("%s\n", problem.c_str());
  std::printf("%s: %s\n", script.c_str(), problems.empty() ? "passed" : "FAILED");
  return problems.empty() ? 0 : 1;
}
