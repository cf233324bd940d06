// The settings in the registry: the user's choices under HKEY_CURRENT_USER, the installation's base
// folder under HKEY_LOCAL_MACHINE and the display settings per monitor (the playlist selection is
// the script catalogue's: scripting/playlist_selection.h). Every registry failure is silent: what
// cannot be read keeps its default, and a failed write leaves the old file as it was (the write
// functions say whether it was saved).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/program.h"

class RegKey;

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
  int32_t tubeEffect = 1;  // televisions drawn with the tube look ("Tube Effect")
  std::vector<ScreenSettings> screens;  // one per monitor, "Screen 1" first
};

// Everything the program reads at start: the settings, its folders, the display settings, and
// where the log and SmartPlay.dat live.
struct ProgramSettings {
  Settings settings;
  Folders folders;
  DisplaySettings display;
  std::string logFolder;
  std::string smartPlayPath;
};

// Fills the settings, the base folder with its four derived folders and the display settings,
// starting from the defaults.
void ReadSettings(ProgramSettings& app);

// Writes the user's settings and the display settings; the base folder is never written.
bool WriteSettings(const ProgramSettings& app);

// The display settings under an open settings key. Reading takes a monitor's "Disable Hardware",
// "Width", "Height" and "Format" only while its stored adapter is the one present (or unknown).
void ReadDisplaySettings(const RegKey& key, DisplaySettings& display);
bool WriteDisplaySettings(RegKey& key, const DisplaySettings& display);
// Stores one monitor's settings at once ("Screen %d", numbered from 1), as after a mode fall-back.
bool WriteScreenSettings(const ScreenSettings& screen, int screenNumber);
// The first monitor's stored settings, as full screen uses them: when a "Screen 1" subkey is
// stored, `identify` names the adapter now present (it may be costly, so it is asked only then)
// and the monitor is read for it into display.screens[0]. False, leaving `display` alone, when
// nothing is stored or the adapter cannot be told.
bool ReadFirstScreenSettings(DisplaySettings& display,
                             const std::function<bool(uint8_t adapterId[16])>& identify);

// A base folder that outranks the registry and the installation (the command line's --base);
// an empty name removes it. Takes effect at the next ReadSettings.
void SetBaseFolderOverride(const std::string& folder);

// Sets the base folder and derives "Roms", "Models", "Scripts" and "Snapshots" from it.
void DeriveFolders(Folders& folders, const std::string& base);

// Damaged registry lines go to the log from now on (held back until the log is open). The
// settings functions do this themselves; anything else reading the registry comes after them.
void WatchRegistry();
// Damaged registry lines found before the log was open are held back; this writes them to the log
// (call it once the log is open). Later ones go to the log directly.
void LogSettingsWarnings();
