// The script selection dialog drawn with Dear ImGui over its model
// (shell/script_selection_dialog.h).
#pragma once

#include <cstdint>
#include <vector>

class CScriptSelectionDialog;
class DialogWindow;
struct ScriptRecord;

constexpr float kScriptSelectionWidth = 580, kScriptSelectionHeight = 430;

class CScriptSelectionDialogView {
 public:
  CScriptSelectionDialogView(DialogWindow& window, CScriptSelectionDialog& dialog)
      : window_(window), dialog_(dialog) {}
  // One frame; 0 while the dialog stays open, else its result (1 OK, 2 Cancel).
  int32_t Draw();

 private:
  DialogWindow& window_;
  CScriptSelectionDialog& dialog_;
};

// Runs the dialog above the window's open dialogs (call it from a deferred action); 1 on OK.
int32_t RunScriptSelectionDialog(DialogWindow& window, std::vector<ScriptRecord>& scripts);
