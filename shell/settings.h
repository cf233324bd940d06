// The settings in the registry: the user's choices under HKEY_CURRENT_USER, the installation's base
// folder under HKEY_LOCAL_MACHINE, the display settings per monitor and the playlist selection.
// Every registry failure is silent: what cannot be read keeps its default, and a failed write
// leaves the old file as it was (the write functions say whether it was saved).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shell/app_state.h"

class RegKey;

inline constexpr const char* SETTINGS_KEY = "Software\\Corvane Software\\Glimmerbox";

// Fills the settings, the base folder with its four derived folders and the display settings,
// starting from the defaults.
void ReadSettings(AppState& app);

// Writes the user's settings and the display settings; the base folder is never written.
bool WriteSettings(const AppState& app);

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

// The file names in the "Playlist" subkey, last value first; value names are not interpreted.
std::vector<std::string> ReadPlaylistSelection();
// Whether a catalogue file name is in the selection, without regard to letter case.
bool IsScriptSelected(const std::vector<std::string>& selection, const std::string& fileName);
// Replaces the selection with "file1", "file2", ... holding the given names in catalogue order.
bool WritePlaylistSelection(const std::vector<std::string>& selectedFileNames);

// A base folder that outranks the registry and the installation (the command line's --base);
// an empty name removes it. Takes effect at the next ReadSettings.
void SetBaseFolderOverride(const std::string& folder);

// Sets the base folder and derives "Roms", "Models", "Scripts" and "Snapshots" from it.
void DeriveFolders(Folders& folders, const std::string& base);

// Damaged registry lines found before the log was open are held back; this writes them to the log
// (call it once the log is open). Later ones go to the log directly.
void LogSettingsWarnings();
