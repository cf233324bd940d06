// Overlay font figures: the time to build the glyph texture for a device, and the cost of the
// per-frame overlay (a statistics line and five 40-character captions) on the headless device.
// Run: bench/overlay_font_bench [frames]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/gfx.h"
#include "platform/window.h"
#include "presentation/overlay.h"
#include "presentation/overlay_font.h"
#include "presentation/text_list.h"

namespace {

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  std::string error;
  GfxWindowOptions options;
  options.mode = GfxWindowMode::Headless;
  options.width = 800;
  options.height = 600;
  auto window = GfxWindow::Create(options, &error);
  if (!window) {
    std::fprintf(stderr, "overlay_font_bench: %s\n", error.c_str());
    return 1;
  }
  CTextList captions;
  GfxDevice* device = window->Device();

  constexpr int kBuilds = 20;
  double buildMs = 0;
  for (int i = 0; i < kBuilds; ++i) {
    COverlayFont font("Arial", 12, OVERLAY_FONT_BOLD);
    const auto start = std::chrono::steady_clock::now();
    font.InitDeviceResources(device);
    font.RestoreDeviceResources();
    buildMs += MillisecondsSince(start);
    font.DeleteDeviceResources();
  }
  std::printf("glyph texture and state blocks: %.2f ms per device\n", buildMs / kBuilds);

  COverlayFont font("Arial", 12, OVERLAY_FONT_BOLD);
  font.InitDeviceResources(device);
  font.RestoreDeviceResources();
  const std::string caption = "The quick brown fox jumps over 48K lazy";
  const auto start = std::chrono::steady_clock::now();
  for (int f = 0; f < frames; ++f) {
    for (int i = 0; i < 5; ++i) captions.Add(caption, 20, 60.0f + 30 * i, 0);
    device->Clear(GFX_CLEAR_TARGET | GFX_CLEAR_ZBUFFER, 0xFF000000, 1, 0);
    device->BeginScene();
    DrawOverlay(&font, captions, "50.00 fps (800x600), X8R8G8B8 (D24S8)", true, f * 0.02f);
    device->EndScene();
    device->Present();
  }
  const double frameMs = MillisecondsSince(start) / frames;
  std::printf("overlay of 6 strings, %zu characters: %.3f ms per frame (clear and present included)\n",
              5 * caption.size() + 37, frameMs);
  font.DeleteDeviceResources();
  return 0;
}
