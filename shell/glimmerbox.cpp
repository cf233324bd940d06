// The application object and its frame cycle.
#include "shell/glimmerbox.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "archive/archive.h"
#include "base/log.h"
#include "emulation/machine.h"
#include "emulation/picture.h"
#include "emulation/rom_cache.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/gfx.h"
#include "presentation/audio_sound_output.h"
#include "presentation/exclusive_view.h"
#include "presentation/keyboard.h"
#include "presentation/overlay.h"
#include "presentation/overlay_font.h"
#include "presentation/text_list.h"
#include "scripting/script_catalogue.h"
#include "scripting/script_host.h"
#include "shell/settings.h"
#include "shell/settings_dialog_view.h"

namespace {

CGlimmerbox* g_glimmerbox = nullptr;

constexpr float kUnthrottledFrameTime = 0.02f;  // one 50 Hz Spectrum frame
constexpr float kLongestCameraStep = 0.1f;      // seconds of camera movement one frame may make

// The overlay font as the frame cycle sees it: bold Arial at 12 points (Liberation Sans here).
class CFontOverlay : public COverlay {
 public:
  int32_t InitDeviceResources(GfxDevice* device) override { return font_.InitDeviceResources(device); }
  int32_t RestoreDeviceResources() override { return font_.RestoreDeviceResources(); }
  int32_t InvalidateDeviceResources() override { return font_.InvalidateDeviceResources(); }
  int32_t DeleteDeviceResources() override { return font_.DeleteDeviceResources(); }
  void DrawOverlay(const std::string& statsText, bool showFPS, float now) override {
    ::DrawOverlay(&font_, statsText, showFPS, now);
  }

 private:
  COverlayFont font_{"Arial", 12, OVERLAY_FONT_BOLD};
};

}  // namespace

CGlimmerbox* Glimmerbox() { return g_glimmerbox; }

bool WantsSoundOutput(const AppState& app) {
  return app.SoundMode() && (app.settings.emulateBeeper != 0 || app.settings.emulateAY != 0);
}

bool CGlimmerbox::CAppScene::LoadModel() {
  if (CScene::LoadModel()) return true;
  app_.EnterErrorModeWithText("Couldn't load TV model. Please re-install Glimmerbox.");
  return false;
}

CGlimmerbox::CGlimmerbox() : scene_(*this) {
  SetApp(&state_);
  state_.scene = &scene_;
  g_glimmerbox = this;

  // One seed for the whole run: the time of day mixed with a tick count.
  const uint32_t seed = static_cast<uint32_t>(std::time(nullptr)) ^ SystemTickCount();
  std::srand(seed);
  state_.random.seed(seed);

  // The script host and the overlay font; tests may replace them.
  scripts.scriptCatalogueBuild = [](const std::string& onlyScript) {
    if (onlyScript.empty())
      BuildScriptCatalogue();
    else
      PlayOnlyScript(onlyScript);
  };
  scripts.scriptScheduler = ScriptSchedulingStep;
  scripts.scriptResume = ScriptResumeStep;
  scripts.scriptStop = ClearScriptCatalogue;
  SetNoScriptsHandler([this](const std::string& text) { EnterErrorModeWithText(text); });
  overlayFactory = [] { return std::make_unique<CFontOverlay>(); };

  registryKeyPath = SETTINGS_KEY;
  windowTitle = "Glimmerbox 1.01";
  usesDepthBuffer = true;
  oneScreenOnly = true;
}

CGlimmerbox::~CGlimmerbox() {
  SetNoScriptsHandler(nullptr);
  overlay_.reset();
  if (soundOutput_) {
    soundOutput_->ShutDown();
    soundOutput_.reset();
  }
  state_.soundOutput = nullptr;
  delete exclusiveQuad_;
  exclusiveQuad_ = nullptr;
  ReleaseROMCache(state_.romCache);
  scene_.ReleaseModel();
  state_.scene = nullptr;
  if (g_glimmerbox == this) g_glimmerbox = nullptr;
  SetApp(nullptr);
}

void CGlimmerbox::SetCameraPosition(float x, float y, float z) {
  state_.eye = state_.eyeAnchor = Vec3{x, y, z};
  state_.cameraChanged = true;
}

void CGlimmerbox::SetCameraLookAt(float x, float y, float z) {
  state_.lookAt = state_.lookAtAnchor = Vec3{x, y, z};
  state_.cameraChanged = true;
}

void CGlimmerbox::SetExclusive(CTV* machine, bool on) {
  if (on && machine) {
    state_.exclusive = machine;
    state_.requestedViewMode = VIEW_EXCLUSIVE;
  } else {
    state_.exclusive = nullptr;
    state_.requestedViewMode = VIEW_SCENE;
  }
}

void CGlimmerbox::ShowConfiguration() {
  // The owner window of "/c N" means nothing here: the dialog has a window of its own.
  SettingsDialogOptions options;
  options.headless = CommandLine().headless;
  options.screenshot = CommandLine().screenshot;
  ShowSettingsDialog(state_, ScriptCatalogue().Scripts(), options);
  if (scripts.scriptStop) scripts.scriptStop();
}

void CGlimmerbox::LoadSettings() {
  ReadSettings(state_);
  // A daemon's options hold for this run only.
  if (CommandLine().showFPS) state_.settings.showFPS = 1;
  if (CommandLine().playTime > 0) state_.settings.playTime = CommandLine().playTime;
  const std::string folder = AppDataFolder();
  if (!folder.empty()) {
    if (!CreateFolder(folder)) state_.settings.log = 0;
    DebugOutput("Log path: \"" + folder + "\"\n");
    state_.logFolder = folder;
    state_.smartPlayPath = JoinPath(folder, "SmartPlay.dat");
  } else {
    state_.settings.log = 0;
    DebugOutput("Unable to determine local application data folder. Logging will be disabled.\n");
  }
  if (state_.settings.log) OpenLog(JoinPath(state_.logFolder, "Glimmerbox 1.01 Log.txt"));
  LogSettingsWarnings();
  if (scripts.scriptCatalogueBuild) scripts.scriptCatalogueBuild(ScriptFile());
}

int32_t CGlimmerbox::SetUpScene() {
  SetUpKeyboard(state_);
  if (WantsSoundOutput(state_)) {
    soundOutput_ = std::make_unique<CAudioSoundOutput>();
    soundOutput_->Initialise();
    state_.soundOutput = soundOutput_.get();
  }
  if (overlayFactory) overlay_ = overlayFactory();
  return 0;
}

int32_t CGlimmerbox::InitDeviceResources() {
  if (overlay_) overlay_->InitDeviceResources(state_.device);
  return 0;
}

int32_t CGlimmerbox::RestoreDeviceResources() {
  GfxDevice* device = state_.device;
  if (!device) return 0;
  if (overlay_) overlay_->RestoreDeviceResources();
  // Machines first re-create their textures; their clones, later in the list, copy them.
  for (CTV* tv = state_.tvHead; tv; tv = tv->Next()) tv->RestoreScreenTexture();
  CScene::ApplySceneViewSettings(device);
  // A reset leaves the identity view behind: the camera's view is set again on the next frame.
  state_.cameraChanged = true;
  return 0;
}

int32_t CGlimmerbox::AdvanceFrame() {
  ++framesAdvanced_;
  const bool unthrottled = CommandLine().unthrottled;
  machineClock_ = unthrottled ? static_cast<float>(framesAdvanced_) * kUnthrottledFrameTime
                              : ClockSeconds();

  if (!state_.handsOn && scripts.scriptScheduler) scripts.scriptScheduler(machineClock_);
  // The camera keys move by time; a stalled frame does not fling the camera.
  PollKeyboard(state_, std::min(ElapsedTime(), kLongestCameraStep));
  if (!state_.handsOn && scripts.scriptResume) scripts.scriptResume(machineClock_);

  // While one machine is exclusive every other one is frozen.
  for (CTV* tv = state_.tvHead; tv;) {
    CTV* next = tv->Next();
    if (!state_.exclusive || tv == state_.exclusive) {
      if (unthrottled)
        if (auto* machine = dynamic_cast<CSpeccy*>(tv)) machine->Throttle(false);
      tv->UpdateFrame(machineClock_);
    }
    tv = next;
  }
  // What a close from the watchdog would save, as this whole frame left it.
  PublishSmartPlayState();
  return 0;
}

int32_t CGlimmerbox::RenderFrame() {
  GfxDevice* device = state_.device;
  if (!device) return 0;

  if (state_.requestedViewMode != VIEW_NONE) {
    if (state_.requestedViewMode != state_.currentViewMode) {
      state_.currentViewMode = state_.requestedViewMode;
      if (state_.currentViewMode == VIEW_EXCLUSIVE) SetUpExclusiveView(device, &exclusiveQuad_);
      if (state_.currentViewMode == VIEW_SCENE) {
        CScene::ApplySceneViewSettings(device);
        // The exclusive view left an identity view transform behind.
        state_.cameraChanged = true;
      }
    }
    state_.requestedViewMode = VIEW_NONE;
  }

  if (state_.currentViewMode == VIEW_SCENE || state_.currentViewMode == VIEW_EXCLUSIVE)
    device->Clear(GFX_CLEAR_TARGET | GFX_CLEAR_ZBUFFER, state_.backgroundColour, 1.0f, 0);
  if (device->BeginScene() < 0) return 0;

  if (state_.currentViewMode == VIEW_EXCLUSIVE && state_.exclusive) {
    // Converts the picture; an exclusive machine never draws itself on the model.
    state_.exclusive->Render();
    DrawExclusiveView(device, exclusiveQuad_, state_.exclusive->ScreenTexture());
  } else {
    if (state_.cameraChanged) {
      CScene::SetViewTransform(device, state_.eye, state_.lookAt);
      state_.cameraChanged = false;
    }
    for (CTV* tv = state_.tvHead; tv; tv = tv->Next()) tv->Render();
  }

  if (overlay_)
    overlay_->DrawOverlay(FrameStatsText(), state_.settings.showFPS != 0, machineClock_);
  else
    DrawTextList(machineClock_, [](const TextMessage&) {});  // captions still expire on time

  device->EndScene();
  return 0;
}

int32_t CGlimmerbox::InvalidateDeviceResources() {
  // The next frame sets the view up again on the restored device; a change asked for and not yet
  // made stays asked for.
  if (state_.requestedViewMode == VIEW_NONE) state_.requestedViewMode = state_.currentViewMode;
  state_.currentViewMode = VIEW_NONE;
  delete exclusiveQuad_;
  exclusiveQuad_ = nullptr;
  if (overlay_) overlay_->InvalidateDeviceResources();
  for (CTV* tv = state_.tvHead; tv; tv = tv->Next()) tv->ReleaseScreenTexture();
  return 0;
}

int32_t CGlimmerbox::DeleteDeviceResources() {
  if (overlay_) overlay_->DeleteDeviceResources();
  FreeColourTables();
  scene_.ReleaseModel();
  // A later device gets no overlay font.
  if (overlay_) {
    overlay_->InvalidateDeviceResources();
    overlay_.reset();
  }
  return 0;
}

int32_t CGlimmerbox::ShutDownScene() {
  WriteLog("Peforming final cleanup");
  SaveSmartPlayState();
  ClearAllText();
  if (scripts.scriptStop) scripts.scriptStop();
  if (soundOutput_) {
    soundOutput_->ShutDown();
    state_.soundOutput = nullptr;
    soundOutput_.reset();
  }
  ShutDownKeyboard();
  return 0;
}
