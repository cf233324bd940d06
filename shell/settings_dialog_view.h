// The settings dialog drawn with Dear ImGui over its model (shell/settings_dialog.h), and the
// dialogs it opens: script selection, display settings, the folder browser and the log.
//
//   ShowSettingsDialog(program, ScriptCatalogue().Scripts(), archive.Database(), {});  // configuration mode
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CSettingsDialog;
class CSmartPlay;
class DialogWindow;
struct ProgramSettings;
struct ScriptRecord;

constexpr float kSettingsDialogWidth = 640, kSettingsDialogHeight = 565;

class CSettingsDialogView {
 public:
  CSettingsDialogView(DialogWindow& window, CSettingsDialog& dialog, ProgramSettings& app,
                      std::vector<ScriptRecord>& scripts);
  // One frame of the dialog; 0 while it stays open, else its result (1 OK, 2 Cancel).
  int32_t Draw();
  // The "D&ump Stats" command with its message boxes and the folder opened afterwards.
  void DumpStats();

 private:
  void DrawAbout();
  void DrawScripts();
  void DrawSnapshotArchive();
  void DrawEmulator();
  void DrawHotKey(float width);

  DialogWindow& window_;
  CSettingsDialog& dialog_;
  ProgramSettings& app_;
  std::vector<ScriptRecord>& scripts_;
  char playTime_[8] = {};
  bool hotKeyFocused_ = false;  // in the last frame
};

struct SettingsDialogOptions {
  // Draw off screen; with a screenshot path the dialog is drawn once into that PNG file and
  // cancelled, without one nothing is shown and the user is told why.
  bool headless = false;
  std::string screenshot;
};

// Runs the settings dialog in a window of its own. Returns its result, or 0 when it could not be
// shown (the reason is printed and logged).
int32_t ShowSettingsDialog(ProgramSettings& app, std::vector<ScriptRecord>& scripts, CSmartPlay& database,
                           const SettingsDialogOptions& options);
