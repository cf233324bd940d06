// The display settings dialog's drawing: the adapter, its rendering text with "&Help", the
// hardware and tube check boxes, the display modes and OK/Cancel.
#include "shell/display_settings_dialog_view.h"

#include <imgui.h>

#include <string>

#include "platform/dialog_widgets.h"
#include "platform/dialog_window.h"
#include "shell/display_settings_dialog.h"

int32_t CDisplaySettingsDialogView::Draw() {
  BeginGroupBox("Display adapter", 0);
  ImGui::PushTextWrapPos(ImGui::GetWindowContentRegionMax().x - 12);
  ImGui::TextUnformatted(dialog_.AdapterName().c_str());
  ImGui::Spacing();
  ImGui::TextUnformatted(dialog_.RenderingText());
  ImGui::PopTextWrapPos();
  if (DialogButton(window_, "&Help", 1, ButtonWidth("&Help"))) {
    const auto [caption, text] = dialog_.Help();
    window_.Defer([this, caption = caption, text = text] {
      window_.ShowMessageBox(MessageBoxIcon::Information, caption, text);
    });
  }
  ImGui::BeginDisabled(!dialog_.DisableHardwareEnabled());
  bool disable = dialog_.DisableHardware();
  if (DialogCheckbox(window_, "&Disable hardware 3D rendering", 2, &disable))
    dialog_.SetDisableHardware(disable);
  ImGui::EndDisabled();
  bool tube = dialog_.TubeEffect();
  if (ImGui::Checkbox(ControlLabel("&Tube effect: scan lines, glow and curved glass", 3).c_str(), &tube))
    dialog_.SetTubeEffect(tube);
  EndGroupBox();

  ImGui::Spacing();
  ImGui::TextUnformatted("Display mode:");
  const float buttonsHeight = ImGui::GetFrameHeightWithSpacing() + ImGui::GetStyle().ItemSpacing.y;
  if (ImGui::BeginListBox("##modes", ImVec2(-1, ImGui::GetContentRegionAvail().y - buttonsHeight))) {
    const int chosen = dialog_.ModeIndex();
    int clicked = -1;
    const auto& modes = dialog_.ModeTexts();
    for (size_t i = 0; i < modes.size(); ++i)
      if (ListRow(static_cast<int>(i), modes[i], chosen == static_cast<int>(i))) clicked = static_cast<int>(i);
    ImGui::EndListBox();
    if (clicked >= 0) dialog_.ChooseMode(clicked);
  }

  const float width = ButtonWidth("Cancel");
  ImGui::SetCursorPosX(ImGui::GetWindowContentRegionMax().x - 2 * width -
                       ImGui::GetStyle().ItemSpacing.x);
  return OkCancelButtons(window_, width, [this] { return dialog_.Ok(); }, [this] { return dialog_.Cancel(); });
}

int32_t RunDisplaySettingsDialog(DialogWindow& window, DisplaySettings& display) {
  CDisplaySettingsDialog dialog(display, window.Adapter());
  CDisplaySettingsDialogView view(window, dialog);
  const int32_t result = window.RunModal("Display Settings", kDisplaySettingsWidth,
                                         kDisplaySettingsHeight, [&view] { return view.Draw(); });
  // Closing the window is a Cancel too.
  if (result != 1) dialog.Cancel();
  return result;
}
