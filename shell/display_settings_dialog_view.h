// The display settings dialog drawn with Dear ImGui over its model
// (shell/display_settings_dialog.h).
#pragma once

#include <cstdint>

class CDisplaySettingsDialog;
class DialogWindow;
struct DisplaySettings;

constexpr float kDisplaySettingsWidth = 500, kDisplaySettingsHeight = 400;

class CDisplaySettingsDialogView {
 public:
  CDisplaySettingsDialogView(DialogWindow& window, CDisplaySettingsDialog& dialog)
      : window_(window), dialog_(dialog) {}
  // One frame; 0 while the dialog stays open, else its result (1 OK, 2 Cancel).
  int32_t Draw();

 private:
  DialogWindow& window_;
  CDisplaySettingsDialog& dialog_;
};

// Runs the dialog for the window's adapter above its open dialogs (call it from a deferred
// action); 1 on OK, 2 on Cancel, which leaves `display` as it was.
int32_t RunDisplaySettingsDialog(DialogWindow& window, DisplaySettings& display);
