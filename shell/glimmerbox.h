// The application: the one object of the program, built on the screen-saver framework. It owns
// the program-wide state (App(): settings, folders, key matrix, ROM cache, random generator,
// television list, camera, captions, SmartPlay), the keyboard, the sound output, the scene and
// the overlay font, and runs the frame cycle: AdvanceFrame moves the world on by one displayed
// frame (machine clock, scripts, keyboard, every television's run), RenderFrame draws it (scene
// view or one machine's exclusive view, then the statistics line and the captions).
//
//   CGlimmerbox app;                          // sets Glimmerbox() and App()
//   if (app.StartSaver(args) >= 0) app.RunSaver();
//
// The script host and the overlay font are plugged in through `scripts` and `overlayFactory`
// (shell/app_hooks.h); the constructor installs the real ones, tests may replace them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "presentation/scene.h"
#include "shell/app_hooks.h"
#include "shell/app_state.h"
#include "shell/saver.h"

class CAudioSoundOutput;
class CTV;
class GfxVertexBuffer;

// Sound plays only full screen or in the test window, and only with a sound setting on.
bool WantsSoundOutput(const AppState& app);

class CGlimmerbox : public CD3DScreensaver {
 public:
  CGlimmerbox();
  ~CGlimmerbox() override;

  ScriptHooks scripts;
  std::function<std::unique_ptr<COverlay>()> overlayFactory;

  // The command line's --script FILE, empty when not given.
  const std::string& ScriptFile() const { return CommandLine().script; }
  // The machine clock of the current frame: seconds since program start; with --unthrottled,
  // 0.02 s per frame, so that scripts keep step with the machines.
  float MachineClock() const { return machineClock_; }

  // What scripts do to the scene.
  void SetCameraPosition(float x, float y, float z);
  void SetCameraLookAt(float x, float y, float z);
  void SetBackgroundColour(uint32_t argb) { state_.backgroundColour = argb; }
  void SetExclusive(CTV* machine, bool on);
  bool IsExclusive(const CTV* machine) const { return machine && state_.exclusive == machine; }

  COverlay* Overlay() const { return overlay_.get(); }
  CAudioSoundOutput* SoundOutput() const { return soundOutput_.get(); }
  GfxVertexBuffer* ExclusiveQuad() const { return exclusiveQuad_; }

 protected:
  void ShowConfiguration() override;
  void LoadSettings() override;
  int32_t SetUpScene() override;
  int32_t InitDeviceResources() override;
  int32_t RestoreDeviceResources() override;
  int32_t AdvanceFrame() override;
  int32_t RenderFrame() override;
  int32_t InvalidateDeviceResources() override;
  int32_t DeleteDeviceResources() override;
  int32_t ShutDownScene() override;

 private:
  // The scene, which puts the saver into error mode when the television model cannot be loaded.
  class CAppScene : public CScene {
   public:
    explicit CAppScene(CGlimmerbox& app) : app_(app) {}
    bool LoadModel() override;

   private:
    CGlimmerbox& app_;
  };

  AppState state_;
  CAppScene scene_;
  std::unique_ptr<CAudioSoundOutput> soundOutput_;
  std::unique_ptr<COverlay> overlay_;
  GfxVertexBuffer* exclusiveQuad_ = nullptr;
  float machineClock_ = 0;
  uint64_t framesAdvanced_ = 0;
};

// The application object; null before it is constructed and after it is destroyed.
CGlimmerbox* Glimmerbox();
