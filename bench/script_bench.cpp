// Script host figures: the longest a script can hold up one frame (a resumption that runs its
// whole watchdog budget), the cost of a resume step for a script that sleeps a frame at a time,
// a script load in run mode, and building the catalogue of the bundled scripts.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "scripting/script_catalogue.h"
#include "scripting/script_host.h"
#include "scripting/script_world.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

}  // namespace

int main() {
  const std::string folder = (std::filesystem::temp_directory_path() / "glimmerbox-script-bench").string();
  std::filesystem::create_directories(folder + "/Scripts");
  ScriptWorld world;
  world.settings.scriptsFolder = folder + "/Scripts";
  world.settings.playTime = 0;
  CScriptHost host;
  host.SetWorld(&world);
  CScriptCatalogue catalogue(host);
  host.SetPlaylist(&catalogue);

  // A resumption that spins until the watchdog stops it.
  Write(folder + "/Scripts/spin.lua", "function Script_Start() while true do end end\n");
  constexpr int kRuns = 20;
  Clock::duration spin{};
  for (int i = 0; i < kRuns; ++i) {
    const auto start = Clock::now();
    host.LoadScript("spin.lua", false);
    spin += Clock::now() - start;
  }
  std::printf("run-mode load with a full watchdog budget (%d instructions): %.3f ms\n",
              CScriptHost::WATCHDOG_INSTRUCTIONS, Milliseconds(spin) / kRuns);

  Write(folder + "/Scripts/empty.lua", "function Script_Start() end\n");
  Clock::duration load{};
  for (int i = 0; i < kRuns; ++i) {
    const auto start = Clock::now();
    host.LoadScript("empty.lua", false);
    load += Clock::now() - start;
  }
  std::printf("run-mode load of an empty script (fresh Lua state, bindings): %.3f ms\n", Milliseconds(load) / kRuns);

  // A script that sleeps one frame at a time and does a little each time.
  Write(folder + "/Scripts/frames.lua",
        "frames = 0\nfunction Script_Start() while true do frames = frames + 1 gbox.Sleep(0) end end\n");
  host.LoadScript("frames.lua", false);
  constexpr int kFrames = 100000;
  const auto start = Clock::now();
  for (int frame = 1; frame <= kFrames; ++frame) host.ResumeStep(static_cast<float>(frame));
  const double perFrame = Milliseconds(Clock::now() - start) * 1000 / kFrames;
  lua_State* L = host.MainState();
  lua_getglobal(L, "frames");
  std::printf("resume step of a Sleep(0) script: %.3f us per frame (%.0f resumptions)\n", perFrame,
              lua_tonumber(L, -1));
  lua_pop(L, 1);
  host.CloseCurrentScript();

  const std::string bundled = std::string(GLIMMERBOX_SOURCE_DATA) + "/Scripts";
  world.settings.scriptsFolder = bundled;
  const auto buildStart = Clock::now();
  catalogue.BuildScriptList();
  std::printf("catalogue of the %zu bundled scripts: %.3f ms\n", catalogue.Scripts().size(),
              Milliseconds(Clock::now() - buildStart));

  std::filesystem::remove_all(folder);
  return 0;
}
