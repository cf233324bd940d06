// Frames per second of the whole frame cycle (the machines' emulation, picture conversion and the
// scene drawn off-screen) with 1, 4 and 16 televisions, each a running 48K Spectrum, headless and
// unthrottled: one Spectrum frame per displayed frame, as fast as the machine allows; each count
// with the tube look off and on.
//   scene_bench [BASE_FOLDER]    (default: the source tree's data/)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "presentation/script_machine.h"
#include "shell/glimmerbox.h"
#include "shell/settings.h"

namespace {

constexpr int kFrames = 300;

// The application with a fixed set of machines in a grid in front of the camera.
class BenchApp : public CGlimmerbox {
 public:
  BenchApp(int count, bool tube) {
    scripts.scriptScheduler = [this, count, tube](float) {
      if (!machines_.empty()) return;
      const int columns = static_cast<int>(std::ceil(std::sqrt(count)));
      const float depth = 160.0f * static_cast<float>(columns - 1);
      for (int i = 0; i < count; ++i) {
        auto machine = std::make_unique<CSpeccy48>(Televisions());
        const float x = (static_cast<float>(i % columns) - (columns - 1) / 2.0f) * 130;
        const float y = ((columns - 1) / 2.0f - static_cast<float>(i / columns)) * 100;
        machine->SetWorldPos(x, y, depth);
        machine->SetTubeEffect(tube);
        machines_.push_back(std::move(machine));
      }
    };
    scripts.scriptStop = [this] { machines_.clear(); };
  }

 private:
  std::vector<std::unique_ptr<CSpeccy48>> machines_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string base = argc > 1 ? argv[1] : GLIMMERBOX_SOURCE_DATA;
  const auto scratch = std::filesystem::temp_directory_path() / "glimmerbox-scene-bench";
  std::filesystem::create_directories(scratch);
  setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
  setenv("XDG_DATA_HOME", (scratch / "data").c_str(), 1);

  std::printf("scene_bench: %d frames a run, headless 600 x 400, unthrottled, base %s\n", kFrames,
              base.c_str());
  const std::pair<int, bool> runs[] = {{1, false}, {1, true}, {4, false}, {4, true}, {16, false}, {16, true}};
  for (const auto& [count, tube] : runs) {
    BenchApp app(count, tube);
    if (app.StartSaver({"--headless", "--unthrottled", "--frames", std::to_string(kFrames), "--base",
                        base}) < 0)
      return 1;
    const auto start = std::chrono::steady_clock::now();
    app.RunSaver();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (app.InErrorMode()) {
      std::printf("%2d televisions: the saver could not run (%s)\n", count, app.ErrorText().c_str());
      return 1;
    }
    std::printf("%2d televisions, tube %-3s: %7.1f frames/s (%.2f ms a frame, %.1f x real time)\n", count,
                tube ? "on" : "off", kFrames / seconds, 1000 * seconds / kFrames, kFrames / seconds / 50);
  }
  std::filesystem::remove_all(scratch);
  return 0;
}
