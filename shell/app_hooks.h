// Where the scripting and the overlay font plug into the application's frame cycle. The
// application calls them at fixed points; an empty hook is skipped.
//
//   CGlimmerbox app;
//   app.scripts.scriptScheduler = [](float now) { ... next script when due ... };
//   app.overlayFactory = [] { return std::make_unique<MyOverlay>(); };
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class GfxDevice;

struct ScriptHooks {
  // LoadSettings, after the settings and the log: build the script catalogue from the Scripts
  // folder, read the playlist selection and build the play order. `onlyScript` is the command
  // line's --script FILE (a path or a name in the Scripts folder), empty when not given.
  std::function<void(const std::string& onlyScript)> scriptCatalogueBuild;
  // Each frame before the keyboard is read, unless hands-on mode is on: move to the next usable
  // script when the current one's play time is up or none is current. `now` is the machine clock.
  std::function<void(float now)> scriptScheduler;
  // Each frame after the keyboard is read, unless hands-on mode is on: resume the script thread if
  // its sleep has ended.
  std::function<void(float now)> scriptResume;
  // Final clean-up (and after the configuration dialog): stop the current script, deleting its
  // machines, and empty the catalogue and the play order.
  std::function<void()> scriptStop;
};

// The overlay font's part in the frame cycle: the statistics line and the captions. The
// application makes one in SetUpScene through its `overlayFactory` and keeps it until the device
// is deleted. Results are 0 or negative.
class COverlay {
 public:
  virtual ~COverlay() = default;
  // The device exists: build the glyph texture.
  virtual int32_t InitDeviceResources(GfxDevice* device) = 0;
  // After each device creation and reset: vertex buffer and state blocks.
  virtual int32_t RestoreDeviceResources() = 0;
  // Before a reset or deletion: release what the reset would lose.
  virtual int32_t InvalidateDeviceResources() = 0;
  // The device is going away: release the glyph texture.
  virtual int32_t DeleteDeviceResources() = 0;
  // Inside the scene, after the televisions: the statistics line at (20, 20) when `showFPS`, then
  // the captions (CTextList::Draw) at machine clock `now`.
  virtual void DrawOverlay(const std::string& statsText, bool showFPS, float now) = 0;
};
