// Reading and writing the settings through the registry layer, in the registry's own orders so
// the file reads the same from run to run.
#include "shell/settings.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "base/log.h"
#include "platform/folders.h"
#include "platform/registry.h"

namespace {

// A path's size limit with its terminator: the platform's PATH_MAX where the registry had MAX_PATH.
constexpr size_t kMaxPathBytes = 4096;

std::string g_baseOverride;
std::vector<std::string> g_heldWarnings;

void OnRegistryWarning(const std::string& message) {
  DebugOutput(message + "\n");
  if (IsLogOpen()) {
    WriteLog(message);
  } else {
    g_heldWarnings.push_back(message);
  }
}


void ReadInt(const RegKey& key, const char* name, int32_t& field) {
  uint32_t value;
  if (key.QueryDword(name, value)) field = static_cast<int32_t>(value);
}

// "Play Selection" and "Play Mode" are 0 or 1; anything else stored reads as 0.
void ClampToFlag(int32_t& field) {
  if (field < 0 || field > 1) field = 0;
}

std::string ScreenKeyName(int screenNumber) {
  char name[24];
  std::snprintf(name, sizeof name, "Screen %d", screenNumber);
  return name;
}

bool WriteScreen(RegKey& settingsKey, const ScreenSettings& screen, int screenNumber) {
  RegKey key;
  if (!key.Create(settingsKey, ScreenKeyName(screenNumber))) return false;
  key.SetBinary("Adapter ID", screen.adapterId, sizeof screen.adapterId);
  key.SetDword("Leave Black", static_cast<uint32_t>(screen.leaveBlack));
  key.SetDword("Disable Hardware", static_cast<uint32_t>(screen.disableHardware));
  key.SetDword("Width", static_cast<uint32_t>(screen.width));
  key.SetDword("Height", static_cast<uint32_t>(screen.height));
  key.SetDword("Format", static_cast<uint32_t>(screen.format));
  return key.Close();
}

}  // namespace

void WatchRegistry() { RegSetWarningSink(&OnRegistryWarning); }

void DeriveFolders(Folders& folders, const std::string& base) {
  folders.base = base;
  folders.roms = JoinPath(base, "Roms");
  folders.models = JoinPath(base, "Models");
  folders.scripts = JoinPath(base, "Scripts");
  folders.snapshots = JoinPath(base, "Snapshots");
}

void SetBaseFolderOverride(const std::string& folder) { g_baseOverride = folder; }

void ReadSettings(ProgramSettings& app) {
  WatchRegistry();
  app.settings = Settings{};
  app.folders = Folders{};

  std::string base = g_baseOverride;
  if (base.empty()) {
    RegKey machine;
    if (machine.Open(HKEY_LOCAL_MACHINE, SETTINGS_KEY))
      machine.QueryString("Base Folder", base, kMaxPathBytes);
  }
  if (base.empty()) base = DefaultBaseFolder();
  DeriveFolders(app.folders, base);

  RegKey key;
  if (!key.Create(HKEY_CURRENT_USER, SETTINGS_KEY)) return;
  Settings& s = app.settings;
  ReadInt(key, "Play Selection", s.playSelection);
  ClampToFlag(s.playSelection);
  ReadInt(key, "Play Mode", s.playMode);
  ClampToFlag(s.playMode);
  ReadInt(key, "Play Time", s.playTime);
  key.QueryString("Archive Folder", s.archiveFolder, kMaxPathBytes);
  ReadInt(key, "Hot Key", s.hotKey);
  ReadInt(key, "Emulate Beeper", s.emulateBeeper);
  ReadInt(key, "Emulate AY", s.emulateAY);
  ReadInt(key, "Smart Play", s.smartPlay);
  ReadInt(key, "Include Default Archive", s.includeDefaultArchive);
  ReadInt(key, "Vertical Sync", s.verticalSync);
  ReadInt(key, "Show FPS", s.showFPS);
  ReadInt(key, "Log", s.log);
  ReadDisplaySettings(key, app.display);
}

bool WriteSettings(const ProgramSettings& app) {
  WatchRegistry();
  RegKey key;
  if (!key.Create(HKEY_CURRENT_USER, SETTINGS_KEY)) return false;
  const Settings& s = app.settings;
  const std::pair<const char*, int32_t> numbers[] = {
      {"Play Selection", s.playSelection},
      {"Play Mode", s.playMode},
      {"Play Time", s.playTime},
      {"Hot Key", s.hotKey},
      {"Emulate Beeper", s.emulateBeeper},
      {"Emulate AY", s.emulateAY},
      {"Smart Play", s.smartPlay},
      {"Include Default Archive", s.includeDefaultArchive},
      {"Vertical Sync", s.verticalSync},
      {"Show FPS", s.showFPS},
      {"Log", s.log},
  };
  for (const auto& [name, value] : numbers) key.SetDword(name, static_cast<uint32_t>(value));
  key.SetString("Archive Folder", s.archiveFolder);
  bool saved = WriteDisplaySettings(key, app.display);
  return key.Close() && saved;
}

void ReadDisplaySettings(const RegKey& settingsKey, DisplaySettings& display) {
  WatchRegistry();
  display.allScreensSame = 0;
  ReadInt(settingsKey, "AllScreensSame", display.allScreensSame);
  display.tubeEffect = 1;
  ReadInt(settingsKey, "Tube Effect", display.tubeEffect);
  for (size_t i = 0; i < display.screens.size(); ++i) {
    ScreenSettings& screen = display.screens[i];
    if (!screen.hasAdapter) continue;
    screen.leaveBlack = screen.disableHardware = screen.width = screen.height = screen.format = 0;
    RegKey key;
    if (!key.Open(settingsKey, ScreenKeyName(static_cast<int>(i) + 1))) continue;
    // A missing identifier reads as all zero, which is taken for any adapter; one of the wrong
    // size matches none.
    const std::vector<uint8_t> zero(sizeof screen.adapterId, 0);
    const std::vector<uint8_t> present(std::begin(screen.adapterId), std::end(screen.adapterId));
    std::vector<uint8_t> stored = zero;
    key.QueryBinary("Adapter ID", stored, SIZE_MAX);
    ReadInt(key, "Leave Black", screen.leaveBlack);
    // A mode chosen for another adapter means nothing to this one.
    if (stored == present || stored == zero) {
      ReadInt(key, "Disable Hardware", screen.disableHardware);
      ReadInt(key, "Width", screen.width);
      ReadInt(key, "Height", screen.height);
      ReadInt(key, "Format", screen.format);
    }
  }
}

bool WriteDisplaySettings(RegKey& settingsKey, const DisplaySettings& display) {
  WatchRegistry();
  bool saved = settingsKey.SetDword("AllScreensSame", static_cast<uint32_t>(display.allScreensSame));
  saved = settingsKey.SetDword("Tube Effect", static_cast<uint32_t>(display.tubeEffect)) && saved;
  for (size_t i = 0; i < display.screens.size(); ++i)
    if (display.screens[i].hasAdapter)
      saved = WriteScreen(settingsKey, display.screens[i], static_cast<int>(i) + 1) && saved;
  return settingsKey.Flush() && saved;
}

bool WriteScreenSettings(const ScreenSettings& screen, int screenNumber) {
  WatchRegistry();
  RegKey key;
  return key.Create(HKEY_CURRENT_USER, SETTINGS_KEY) && WriteScreen(key, screen, screenNumber);
}

bool ReadFirstScreenSettings(DisplaySettings& display,
                             const std::function<bool(uint8_t adapterId[16])>& identify) {
  WatchRegistry();
  RegKey key;
  if (!key.Open(HKEY_CURRENT_USER, SETTINGS_KEY)) return false;
  {
    RegKey screenKey;
    if (!screenKey.Open(key, ScreenKeyName(1))) return false;
  }
  uint8_t id[16] = {};
  if (!identify || !identify(id)) return false;
  if (display.screens.empty()) display.screens.resize(1);
  ScreenSettings& screen = display.screens.front();
  screen.hasAdapter = true;
  std::copy(std::begin(id), std::end(id), screen.adapterId);
  ReadDisplaySettings(key, display);
  return true;
}

void LogSettingsWarnings() {
  for (const std::string& message : g_heldWarnings) WriteLog(message);
  g_heldWarnings.clear();
}
