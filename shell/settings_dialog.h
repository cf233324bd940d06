// The settings dialog's state and commands, without any drawing (shell/settings_dialog_view.h
// draws it): the controls filled from the settings and the script catalogue when it opens, the
// enable and check rules of the play-selection controls, and OK, which stores every control in
// its setting and writes the registry. Cancel stores nothing.
//
//   CSettingsDialog dialog(program, ScriptCatalogue().Scripts(), archive.Database());
//   dialog.emulateBeeper = true;  dialog.SetPlayTimeText("90");
//   dialog.Ok();                  // "Emulate Beeper" 1, "Play Time" 90, written to the registry
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/hot_key_control.h"

class CSmartPlay;
struct ProgramSettings;
struct ScriptRecord;

// Control identifiers of the settings dialog.
enum SettingsDialogControl : int32_t {
  IDC_PICTURE = 111,
  IDC_DISPLAY_SETTINGS = 1006,
  IDC_PLAY_TIME = 1007,
  IDC_BROWSE = 1008,
  IDC_VIEW_LOG = 1009,
  IDC_PLAY_SEQUENTIALLY = 1010,
  IDC_DUMP_STATS = 1011,
  IDC_PLAY_RANDOMLY = 1012,
  IDC_PLAY_ALL = 1013,
  IDC_PLAY_SELECTION = 1014,
  IDC_SELECT = 1015,
  IDC_EMULATE_BEEPER = 1016,
  IDC_EMULATE_AY = 1017,
  IDC_LOG = 1018,
  IDC_SMART_PLAY = 1019,
  IDC_ARCHIVE_FOLDER = 1020,
  IDC_ABOUT = 1021,
  IDC_INCLUDE_DEFAULT_ARCHIVE = 1022,
  IDC_VERTICAL_SYNC = 1023,
  IDC_HOT_KEY = 1027,
};

// The longest archive folder the dialog takes: the platform's path limit less the terminator.
constexpr size_t kMaxArchiveFolder = 4095;
// The play-time edit's limit.
constexpr size_t kMaxPlayTimeDigits = 4;

class CSettingsDialog {
 public:
  // Opens the dialog on the program's settings, its script catalogue and its SmartPlay database
  // (what Dump Stats writes out).
  CSettingsDialog(ProgramSettings& app, std::vector<ScriptRecord>& scripts, CSmartPlay& database);

  // Check boxes (checked = true).
  bool smartPlay = false;             // 1019
  bool includeDefaultArchive = false; // 1022
  bool emulateBeeper = false;         // 1016
  bool emulateAY = false;             // 1017
  bool log = false;                   // 1018
  bool verticalSync = false;          // 1023
  // Radio groups: the checked button's id.
  int32_t playSelectionRadio = IDC_PLAY_ALL;    // 1013 or 1014
  int32_t playModeRadio = IDC_PLAY_RANDOMLY;    // 1010 or 1012
  // Edit 1020.
  std::string archiveFolder;
  // Control 1027.
  CHotKeyControl hotKey;

  // Edit 1007: numbers only, four characters at most; other characters typed are refused.
  const std::string& PlayTimeText() const { return playTime_; }
  void SetPlayTimeText(const std::string& text);

  const std::string& PlayAllText() const { return playAllText_; }
  const std::string& PlaySelectionText() const { return playSelectionText_; }
  bool PlaySelectionEnabled() const { return playSelectionEnabled_; }
  bool SelectEnabled() const { return selectEnabled_; }
  // The "D&ump Stats" button is hidden when the dialog opens.
  bool DumpStatsVisible() const { return false; }

  // "&Select" closed the script selection dialog with `result`.
  void ScriptSelectionClosed(int32_t result);
  // "&Browse" chose a folder.
  void FolderChosen(const std::string& folder);
  // "&View Log": the log file's path.
  std::string LogPath() const;

  // "D&ump Stats": loads the SmartPlay database unless loaded and writes its CSV dump beside it.
  enum class DumpResult { Written, CannotLoad, CannotWrite };
  DumpResult DumpStats(std::string* dumpFolder);

  // OK: every control into its setting, then the registry is written. Returns 1.
  int32_t Ok();
  // Cancel: nothing is stored. Returns 2.
  int32_t Cancel() const { return 2; }

  // What the about box says.
  static const char* AboutText();

 private:
  void UpdateSelectionControls();

  ProgramSettings& app_;
  std::vector<ScriptRecord>& scripts_;
  CSmartPlay& database_;
  std::string playTime_;
  std::string playAllText_, playSelectionText_;
  bool playSelectionEnabled_ = false, selectEnabled_ = false;
};

// The play time as the edit gives it: its leading decimal digits, 0 when there are none.
int32_t PlayTimeFromText(const std::string& text);
