// The program-wide state that the subsystems share, owned by the application for the life of the
// process: settings and folders, the saver mode, the key matrix, the ROM cache, the random
// generator, the television list and scene settings, and the sound and graphics services.
// It holds no graphics or sound types itself, so the emulation builds and tests without them.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "archive/smartplay.h"
#include "presentation/text_list.h"

class CTV;
class CSoundOutput;
class CTelevisionScene;
class CZip;
class GfxDevice;

// Screen-saver modes, as the command line selects them.
enum SaverMode { SM_CONFIG = 0, SM_PREVIEW = 1, SM_FULL = 2, SM_TEST = 3, SM_PASSWORD = 4 };

// View modes of the application.
enum { VIEW_NONE = 0, VIEW_EXCLUSIVE = 2, VIEW_SCENE = 3 };

// The user's settings, with the defaults of a fresh system.
struct Settings {
  int32_t playSelection = 0;  // 0 all scripts, 1 only the selected ones
  int32_t playMode = 1;       // 0 in sequence, 1 at random
  int32_t playTime = 120;     // seconds per script
  std::string archiveFolder;
  int32_t hotKey = 112;       // F1
  int32_t emulateBeeper = 0;
  int32_t emulateAY = 0;
  int32_t smartPlay = 1;
  int32_t includeDefaultArchive = 1;
  int32_t verticalSync = 1;
  int32_t showFPS = 0;
  int32_t log = 1;
};

// The base folder and the folders derived from it.
struct Folders {
  std::string base, roms, models, scripts, snapshots;
};

// One monitor's display settings, kept in its "Screen %d" subkey. The framework fills `hasAdapter`
// and `adapterId` (the adapter now driving the monitor) before the settings are read.
struct ScreenSettings {
  bool hasAdapter = false;
  uint8_t adapterId[16] = {};
  int32_t leaveBlack = 0;
  int32_t disableHardware = 0;
  int32_t width = 0, height = 0, format = 0;  // 0, 0, 0: the automatic mode
};

struct DisplaySettings {
  int32_t allScreensSame = 0;
  std::vector<ScreenSettings> screens;  // one per monitor, "Screen 1" first
};

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

constexpr int ROM_CACHE_SIZE = 13;

struct AppState {
  Settings settings;
  Folders folders;
  DisplaySettings display;
  std::string logFolder;
  std::string smartPlayPath;
  int32_t saverMode = SM_TEST;
  bool handsOn = false;

  uint8_t keyMatrix[8] = {};
  uint8_t* romCache[ROM_CACHE_SIZE] = {};
  std::mt19937 random;  // the one generator: Random, shuffles, SmartPlay, RAM fill

  // Television list, in construction order.
  CTV* tvHead = nullptr;
  int32_t tvCount = 0;
  int32_t nextTvId = 1;
  int32_t nextTextId = 1;

  // Captions, in the order they were added.
  std::vector<TextMessage> textList;

  // The snapshot archive and its SmartPlay database; the list is built once per run.
  CSmartPlay smartPlay;
  bool archiveListBuilt = false;

  // Scene.
  CTV* exclusive = nullptr;
  int32_t currentViewMode = VIEW_NONE;
  int32_t requestedViewMode = VIEW_SCENE;
  Vec3 eye{0, 0, -300}, lookAt{0, 0, 0}, eyeAnchor{0, 0, -300}, lookAtAnchor{0, 0, 0};
  bool cameraChanged = true;
  uint32_t backgroundColour = 0;  // ARGB

  // The zip archive the current script came from, kept open so snapshots named without a folder
  // are read from it.
  CZip* scriptZip = nullptr;
  bool scriptIsZipped = false;

  // Services, null when absent (no sound device, no display, no model).
  CSoundOutput* soundOutput = nullptr;
  CTelevisionScene* scene = nullptr;
  GfxDevice* device = nullptr;

  // Sound and the beeper exist only in the full-screen and test modes.
  bool SoundMode() const { return saverMode == SM_FULL || saverMode == SM_TEST; }
};

// The application's state. Tests may install their own with SetApp.
AppState& App();
void SetApp(AppState* state);
