// The settings dialog's model: its controls, their rules and what OK stores.
#include "shell/settings_dialog.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>

#include "base/log.h"
#include "archive/smartplay.h"
#include "platform/folders.h"
#include "scripting/script_catalogue.h"
#include "shell/settings.h"

int32_t PlayTimeFromText(const std::string& text) {
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = std::min<int64_t>(value * 10 + (c - '0'), INT32_MAX);
  }
  return static_cast<int32_t>(value);
}

CSettingsDialog::CSettingsDialog(ProgramSettings& app, std::vector<ScriptRecord>& scripts, CSmartPlay& database)
    : app_(app), scripts_(scripts), database_(database) {
  const Settings& s = app.settings;
  char text[64];
  std::snprintf(text, sizeof text, "Play &all %d scripts", static_cast<int>(scripts.size()));
  playAllText_ = text;

  smartPlay = s.smartPlay != 0;
  includeDefaultArchive = s.includeDefaultArchive != 0;
  emulateBeeper = s.emulateBeeper != 0;
  emulateAY = s.emulateAY != 0;
  log = s.log != 0;
  verticalSync = s.verticalSync != 0;

  playSelectionRadio = s.playSelection == 1 ? IDC_PLAY_SELECTION : IDC_PLAY_ALL;
  playModeRadio = s.playMode != 0 ? IDC_PLAY_RANDOMLY : IDC_PLAY_SEQUENTIALLY;

  playTime_ = std::to_string(s.playTime);
  archiveFolder = s.archiveFolder;

  UpdateSelectionControls();
  hotKey.SetValue(s.hotKey);
}

void CSettingsDialog::SetPlayTimeText(const std::string& text) {
  playTime_ = text.substr(0, kMaxPlayTimeDigits);
}

void CSettingsDialog::UpdateSelectionControls() {
  int selected = 0;
  for (const ScriptRecord& record : scripts_)
    if (record.selected) ++selected;
  if (selected > 0) {
    char text[64];
    std::snprintf(text, sizeof text, "Play s&election (%d script%s)", selected,
                  selected == 1 ? "" : "s");
    playSelectionText_ = text;
  } else {
    playSelectionRadio = IDC_PLAY_ALL;
    playSelectionText_ = "Play s&election";
  }
  playSelectionEnabled_ = selected > 0;
  selectEnabled_ = !scripts_.empty();
}

void CSettingsDialog::ScriptSelectionClosed(int32_t result) {
  if (result != 1) return;
  UpdateSelectionControls();
  playSelectionRadio = playSelectionEnabled_ ? IDC_PLAY_SELECTION : IDC_PLAY_ALL;
}

void CSettingsDialog::FolderChosen(const std::string& folder) { archiveFolder = folder; }

std::string CSettingsDialog::LogPath() const {
  if (app_.logFolder.empty()) return {};
  return JoinPath(app_.logFolder, "Glimmerbox 1.01 Log.txt");
}

CSettingsDialog::DumpResult CSettingsDialog::DumpStats(std::string* dumpFolder) {
  CSmartPlay& database = database_;
  if (!database.IsLoaded() && !app_.smartPlayPath.empty()) database.Load(app_.smartPlayPath);
  if (!database.IsLoaded()) return DumpResult::CannotLoad;
  const std::string dump = app_.smartPlayPath + ".csv";
  if (!database.Dump(dump)) return DumpResult::CannotWrite;
  if (dumpFolder) *dumpFolder = std::filesystem::path(dump).parent_path().string();
  return DumpResult::Written;
}

int32_t CSettingsDialog::Ok() {
  Settings& s = app_.settings;
  s.smartPlay = smartPlay ? 1 : 0;
  s.includeDefaultArchive = includeDefaultArchive ? 1 : 0;
  s.emulateBeeper = emulateBeeper ? 1 : 0;
  s.emulateAY = emulateAY ? 1 : 0;
  s.log = log ? 1 : 0;
  s.verticalSync = verticalSync ? 1 : 0;
  s.playSelection = playSelectionRadio == IDC_PLAY_SELECTION ? 1 : 0;
  s.playMode = playModeRadio == IDC_PLAY_RANDOMLY ? 1 : 0;
  s.playTime = PlayTimeFromText(playTime_);
  s.archiveFolder = archiveFolder.substr(0, kMaxArchiveFolder);
  s.hotKey = hotKey.Value();
  if (!WriteSettings(app_)) DebugOutput("Settings: the settings could not be saved\n");
  return 1;
}

const char* CSettingsDialog::AboutText() {
  return "Glimmerbox 1.01 by Corvane.\n\n"
         "A screen saver that brings ZX Spectrum software back to life: it emulates 16K, 48K, "
         "128K and +2 Spectrums, shows each one on a television in a 3D scene, plays their "
         "beeper and AY sound, and lets Lua scripts direct the show with snapshots from your "
         "archive. Press the hot key while it runs to take the keyboard and play.";
}
