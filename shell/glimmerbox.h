// The application: the one object of the program, built on the screen-saver framework. It owns
// the parts of the program and hands each the others it needs: the ROM images, the key matrix
// and the random generator (for the machines), the television list, the scene, the captions, the
// camera and the background colour, the snapshot archive, the sound output and the overlay font.
// It runs the frame cycle: AdvanceFrame moves the world on by one displayed frame (machine clock,
// scripts, keyboard, every television's run), RenderFrame draws it (scene view or one machine's
// exclusive view, then the statistics line and the captions).
//
//   CGlimmerbox app;
//   if (app.StartSaver(args) >= 0) app.RunSaver();
//
// The script host and the overlay font are plugged in through `scripts` and `overlayFactory`
// (shell/app_hooks.h); the constructor installs the real ones, tests may replace them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "archive/archive.h"
#include "emulation/rom_cache.h"
#include "presentation/camera.h"
#include "presentation/scene.h"
#include "presentation/television.h"
#include "presentation/text_list.h"
#include "scripting/script_world.h"
#include "shell/app_hooks.h"
#include "shell/saver.h"

class CAudioSoundOutput;
class GfxVertexBuffer;

// Sound and the beeper exist only in the full-screen and test modes.
bool SoundMode(int32_t saverMode);
// Sound plays only full screen or in the test window, and only with a sound setting on.
bool WantsSoundOutput(const Settings& settings, int32_t saverMode);

// The machines' sound switches, decided once from the settings and the saver mode.
struct MachineSwitches {
  bool beeper = false;
  bool ay = false;
};
MachineSwitches MachineSwitchesFor(const Settings& settings, int32_t saverMode);

class CGlimmerbox : public CD3DScreensaver {
 public:
  CGlimmerbox();
  ~CGlimmerbox() override;

  ScriptHooks scripts;
  std::function<std::unique_ptr<COverlay>()> overlayFactory;

  // The command line's --script FILE, empty when not given.
  const std::string& ScriptFile() const { return CommandLine().script; }

  CTelevisionList& Televisions() { return televisions_; }
  CTextList& Captions() { return captions_; }
  CCamera& Camera() { return camera_; }
  uint32_t BackgroundColour() const { return background_; }
  void SetBackgroundColour(uint32_t argb) { background_ = argb; }
  // The view the last frame showed (VIEW_NONE before the first and after a reset).
  int32_t ViewMode() const { return currentViewMode_; }

  CAudioSoundOutput* SoundOutput() const { return soundOutput_.get(); }
  GfxVertexBuffer* ExclusiveQuad() const { return exclusiveQuad_; }

 protected:
  void ShowConfiguration() override;
  void LoadSettings() override;
  void RenderUnitSelected(GfxDevice* device) override;
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

  // The machines' part of the program: their ROMs, the keys they read, the generator that fills
  // their RAM.
  CRomCache roms_;
  uint8_t keyMatrix_[8] = {};
  std::mt19937 random_;  // the one generator: Random, shuffles, SmartPlay, RAM fill

  CAppScene scene_;
  std::unique_ptr<CAudioSoundOutput> soundOutput_;
  CTextList captions_;
  CCamera camera_;
  uint32_t background_ = 0;  // ARGB
  CArchive archive_{random_, captions_};
  // After everything its machines use, so that they go first.
  CTelevisionList televisions_;
  ScriptWorld world_;

  GfxDevice* device_ = nullptr;
  std::unique_ptr<COverlay> overlay_;
  GfxVertexBuffer* exclusiveQuad_ = nullptr;
  int32_t currentViewMode_ = VIEW_NONE;
  float machineClock_ = 0;
  uint64_t framesAdvanced_ = 0;
};
