// The application object and its frame cycle.
#include "shell/glimmerbox.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "base/log.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/gfx.h"
#include "presentation/audio_sound_output.h"
#include "presentation/exclusive_view.h"
#include "presentation/keyboard.h"
#include "presentation/overlay.h"
#include "presentation/overlay_font.h"
#include "presentation/picture.h"
#include "presentation/script_machine.h"
#include "scripting/script_catalogue.h"
#include "scripting/script_host.h"
#include "shell/settings.h"
#include "shell/settings_dialog_view.h"

namespace {

constexpr float kUnthrottledFrameTime = 0.02f;  // one 50 Hz Spectrum frame
constexpr float kLongestCameraStep = 0.1f;      // seconds of camera movement one frame may make

// The overlay font as the frame cycle sees it: bold Arial at 12 points (Liberation Sans here).
class CFontOverlay : public COverlay {
 public:
  explicit CFontOverlay(CTextList& captions) : captions_(captions) {}
  int32_t InitDeviceResources(GfxDevice* device) override { return font_.InitDeviceResources(device); }
  int32_t RestoreDeviceResources() override { return font_.RestoreDeviceResources(); }
  int32_t InvalidateDeviceResources() override { return font_.InvalidateDeviceResources(); }
  int32_t DeleteDeviceResources() override { return font_.DeleteDeviceResources(); }
  void DrawOverlay(const std::string& statsText, bool showFPS, float now) override {
    ::DrawOverlay(&font_, captions_, statsText, showFPS, now);
  }

 private:
  CTextList& captions_;
  COverlayFont font_{"Arial", 12, OVERLAY_FONT_BOLD};
};

}  // namespace

bool SoundMode(int32_t saverMode) { return saverMode == SM_FULL || saverMode == SM_TEST; }

bool WantsSoundOutput(const Settings& settings, int32_t saverMode) {
  return SoundMode(saverMode) && (settings.emulateBeeper != 0 || settings.emulateAY != 0);
}

MachineSwitches MachineSwitchesFor(const Settings& settings, int32_t saverMode) {
  return {settings.emulateBeeper != 0 && SoundMode(saverMode), settings.emulateAY != 0 && SoundMode(saverMode)};
}

bool CGlimmerbox::CAppScene::LoadModel() {
  if (CScene::LoadModel()) return true;
  app_.EnterErrorModeWithText("Couldn't load TV model. Please re-install Glimmerbox.");
  return false;
}

CGlimmerbox::CGlimmerbox() : scene_(*this) {
  // One seed for the whole run: the time of day mixed with a tick count.
  const uint32_t seed = static_cast<uint32_t>(std::time(nullptr)) ^ SystemTickCount();
  std::srand(seed);
  random_.seed(seed);

  televisions_.scene = &scene_;
  MachineServices& machines = televisions_.machines;
  machines.roms = &roms_;
  machines.keyMatrix = keyMatrix_;
  machines.handsOn = HandsOnFlag();
  machines.random = &random_;
  machines.log = [](const std::string& line) { WriteLog(line); };
  world_.televisions = &televisions_;
  world_.captions = &captions_;
  world_.camera = &camera_;
  world_.background = &background_;
  world_.archive = &archive_;
  world_.random = &random_;
  world_.handsOn = HandsOnFlag();
  ScriptHost().SetWorld(&world_);

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
  overlayFactory = [this] { return std::make_unique<CFontOverlay>(captions_); };

  registryKeyPath = SETTINGS_KEY;
  windowTitle = "Glimmerbox 1.01";
  usesDepthBuffer = true;
  oneScreenOnly = true;
}

CGlimmerbox::~CGlimmerbox() {
  SetNoScriptsHandler(nullptr);
  ScriptHost().SetWorld(nullptr);
  // The machines go before their sound output, the ROMs and the scene.
  televisions_.DeleteAll();
  overlay_.reset();
  if (soundOutput_) {
    soundOutput_->ShutDown();
    soundOutput_.reset();
  }
  televisions_.machines.sound = nullptr;
  delete exclusiveQuad_;
  exclusiveQuad_ = nullptr;
  roms_.Release();
  scene_.ReleaseModel();
}

void CGlimmerbox::ShowConfiguration() {
  // The owner window of "/c N" means nothing here: the dialog has a window of its own.
  SettingsDialogOptions options;
  options.headless = CommandLine().headless;
  options.screenshot = CommandLine().screenshot;
  ShowSettingsDialog(Program(), ScriptCatalogue().Scripts(), archive_.Database(), options);
  if (scripts.scriptStop) scripts.scriptStop();
}

void CGlimmerbox::LoadSettings() {
  ProgramSettings& program = Program();
  ReadSettings(program);
  // A daemon's options hold for this run only.
  if (CommandLine().showFPS) program.settings.showFPS = 1;
  if (CommandLine().playTime > 0) program.settings.playTime = CommandLine().playTime;
  const std::string folder = AppDataFolder();
  if (!folder.empty()) {
    if (!CreateFolder(folder)) program.settings.log = 0;
    DebugOutput("Log path: \"" + folder + "\"\n");
    program.logFolder = folder;
    program.smartPlayPath = JoinPath(folder, "SmartPlay.dat");
  } else {
    program.settings.log = 0;
    DebugOutput("Unable to determine local application data folder. Logging will be disabled.\n");
  }
  if (program.settings.log) OpenLog(JoinPath(program.logFolder, "Glimmerbox 1.01 Log.txt"));
  LogSettingsWarnings();

  // Each part gets what it needs of the settings.
  const Settings& settings = program.settings;
  const Folders& folders = program.folders;
  roms_.SetFolder(folders.roms);
  scene_.SetModelsFolder(folders.models);
  const MachineSwitches switches = MachineSwitchesFor(settings, Mode());
  televisions_.machines.beeper = switches.beeper;
  televisions_.machines.ay = switches.ay;
  televisions_.tubeEffect = program.display.tubeEffect != 0;
  archive_.SetUp({settings.archiveFolder, folders.snapshots, program.smartPlayPath, settings.smartPlay,
                  settings.includeDefaultArchive, Mode()});
  ScriptSettings& scriptSettings = world_.settings;
  scriptSettings.scriptsFolder = folders.scripts;
  scriptSettings.snapshotsFolder = folders.snapshots;
  scriptSettings.archiveFolder = settings.archiveFolder;
  scriptSettings.playSelection = settings.playSelection;
  scriptSettings.playMode = settings.playMode;
  scriptSettings.playTime = settings.playTime;
  scriptSettings.preview = Mode() == SM_PREVIEW;

  if (scripts.scriptCatalogueBuild) scripts.scriptCatalogueBuild(ScriptFile());
}

void CGlimmerbox::RenderUnitSelected(GfxDevice* device) {
  device_ = device;
  televisions_.device = device;
  scene_.UseDevice(device);
}

int32_t CGlimmerbox::SetUpScene() {
  SetUpKeyboard(Mode());
  if (WantsSoundOutput(Program().settings, Mode())) {
    soundOutput_ = std::make_unique<CAudioSoundOutput>();
    soundOutput_->Initialise();
    televisions_.machines.sound = soundOutput_.get();
  }
  if (overlayFactory) overlay_ = overlayFactory();
  return 0;
}

int32_t CGlimmerbox::InitDeviceResources() {
  if (overlay_) overlay_->InitDeviceResources(device_);
  return 0;
}

int32_t CGlimmerbox::RestoreDeviceResources() {
  GfxDevice* device = device_;
  if (!device) return 0;
  if (overlay_) overlay_->RestoreDeviceResources();
  // Machines first re-create their textures; their clones, later in the list, copy them.
  for (CTV* tv = televisions_.Head(); tv; tv = tv->Next()) tv->RestoreScreenTexture();
  CScene::ApplySceneViewSettings(device);
  // A reset leaves the identity view behind: the camera's view is set again on the next frame.
  camera_.MarkChanged();
  return 0;
}

int32_t CGlimmerbox::AdvanceFrame() {
  ++framesAdvanced_;
  const bool unthrottled = CommandLine().unthrottled;
  machineClock_ = unthrottled ? static_cast<float>(framesAdvanced_) * kUnthrottledFrameTime
                              : ClockSeconds();
  televisions_.clock = machineClock_;

  if (!HandsOn() && scripts.scriptScheduler) scripts.scriptScheduler(machineClock_);
  // The camera keys move by time; a stalled frame does not fling the camera.
  PollKeyboard(camera_, keyMatrix_, std::min(ElapsedTime(), kLongestCameraStep));
  if (!HandsOn() && scripts.scriptResume) scripts.scriptResume(machineClock_);

  // While one machine is exclusive every other one is frozen.
  CTV* exclusive = televisions_.Exclusive();
  for (CTV* tv = televisions_.Head(); tv;) {
    CTV* next = tv->Next();
    if (!exclusive || tv == exclusive) {
      if (unthrottled)
        if (auto* machine = dynamic_cast<CSpeccy*>(tv)) machine->Core().Throttle(false);
      tv->UpdateFrame(machineClock_);
    }
    tv = next;
  }
  // What a close from the watchdog would save, as this whole frame left it.
  archive_.PublishState();
  return 0;
}

int32_t CGlimmerbox::RenderFrame() {
  GfxDevice* device = device_;
  if (!device) return 0;

  const int32_t requested = televisions_.RequestedViewMode();
  if (requested != VIEW_NONE) {
    if (requested != currentViewMode_) {
      currentViewMode_ = requested;
      if (currentViewMode_ == VIEW_EXCLUSIVE) SetUpExclusiveView(device, &exclusiveQuad_);
      if (currentViewMode_ == VIEW_SCENE) {
        CScene::ApplySceneViewSettings(device);
        // The exclusive view left an identity view transform behind.
        camera_.MarkChanged();
      }
    }
    televisions_.SetRequestedViewMode(VIEW_NONE);
  }

  if (currentViewMode_ == VIEW_SCENE || currentViewMode_ == VIEW_EXCLUSIVE)
    device->Clear(GFX_CLEAR_TARGET | GFX_CLEAR_ZBUFFER, background_, 1.0f, 0);
  if (device->BeginScene() < 0) return 0;

  CTV* exclusive = televisions_.Exclusive();
  if (currentViewMode_ == VIEW_EXCLUSIVE && exclusive) {
    // Converts the picture; an exclusive machine never draws itself on the model.
    exclusive->Render();
    DrawExclusiveView(device, exclusiveQuad_, exclusive->ScreenTexture(),
                      exclusive->TubeEffect() ? &scene_.Tube() : nullptr, exclusive->StaticNoise(),
                      televisions_.clock);
  } else {
    if (camera_.TakeChanged()) CScene::SetViewTransform(device, camera_.Eye(), camera_.LookAt());
    for (CTV* tv = televisions_.Head(); tv; tv = tv->Next()) tv->Render();
  }

  if (overlay_)
    overlay_->DrawOverlay(FrameStatsText(), Program().settings.showFPS != 0, machineClock_);
  else
    captions_.Draw(machineClock_, {});  // captions still expire on time

  device->EndScene();
  return 0;
}

int32_t CGlimmerbox::InvalidateDeviceResources() {
  // The next frame sets the view up again on the restored device; a change asked for and not yet
  // made stays asked for.
  if (televisions_.RequestedViewMode() == VIEW_NONE) televisions_.SetRequestedViewMode(currentViewMode_);
  currentViewMode_ = VIEW_NONE;
  delete exclusiveQuad_;
  exclusiveQuad_ = nullptr;
  if (overlay_) overlay_->InvalidateDeviceResources();
  for (CTV* tv = televisions_.Head(); tv; tv = tv->Next()) tv->ReleaseScreenTexture();
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
  archive_.SaveState();
  captions_.Clear();
  if (scripts.scriptStop) scripts.scriptStop();
  if (soundOutput_) {
    soundOutput_->ShutDown();
    televisions_.machines.sound = nullptr;
    soundOutput_.reset();
  }
  ShutDownKeyboard();
  return 0;
}
