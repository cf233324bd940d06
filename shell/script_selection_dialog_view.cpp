// The script selection dialog's drawing: the two lists with "Add >>" and "<< Remove" between
// them, the details group and OK/Cancel.
#include "shell/script_selection_dialog_view.h"

#include <imgui.h>

#include <string>

#include "platform/dialog_widgets.h"
#include "platform/dialog_window.h"
#include "shell/script_selection_dialog.h"

namespace {

void DrawList(CScriptSelectionDialog& dialog, int32_t id, const char* label, float width,
              float height) {
  ImGui::BeginGroup();
  // The same baseline for both labels, whatever stands between the lists.
  ImGui::AlignTextToFramePadding();
  ImGui::TextUnformatted(label);
  const SelectionList& list = id == LIST_SELECTED ? dialog.Selected() : dialog.Available();
  ImGui::PushID(id);
  if (ImGui::BeginListBox("##list", ImVec2(width, height))) {
    int clicked = -1;
    for (size_t i = 0; i < list.items.size(); ++i)
      if (ListRow(static_cast<int>(i), list.items[i], list.selected[i])) clicked = static_cast<int>(i);
    ImGui::EndListBox();
    if (clicked >= 0) {
      const ImGuiIO& io = ImGui::GetIO();
      dialog.Click(id, clicked, io.KeyCtrl, io.KeyShift);
    }
  }
  ImGui::PopID();
  ImGui::EndGroup();
}

void Detail(const char* label, const std::string& text) {
  ImGui::TextUnformatted(label);
  ImGui::SameLine(100);
  ImGui::PushTextWrapPos(ImGui::GetWindowContentRegionMax().x - 12);
  ImGui::TextUnformatted(text.c_str());
  ImGui::PopTextWrapPos();
}

}  // namespace

int32_t CScriptSelectionDialogView::Draw() {
  const float buttons = 110;
  const float spacing = ImGui::GetStyle().ItemSpacing.x;
  const float listWidth = (ImGui::GetContentRegionAvail().x - buttons - 2 * spacing) / 2;
  const float listHeight = 190;

  const float top = ImGui::GetCursorPosY();
  DrawList(dialog_, LIST_AVAILABLE, "Scripts Available", listWidth, listHeight);
  ImGui::SameLine();
  ImGui::BeginGroup();
  ImGui::Dummy(ImVec2(buttons, listHeight / 2 - ImGui::GetFrameHeight()));
  if (ImGui::Button("Add >>##1008", ImVec2(buttons, 0))) dialog_.Add();
  if (ImGui::Button("<< Remove##1009", ImVec2(buttons, 0))) dialog_.Remove();
  ImGui::EndGroup();
  ImGui::SameLine();
  // Both lists start on the same line, whatever the buttons between them did to it.
  ImGui::SetCursorPosY(top);
  DrawList(dialog_, LIST_SELECTED, "Scripts Selected", listWidth, listHeight);

  ImGui::Spacing();
  BeginGroupBox(dialog_.DetailsTitle(), 0);
  Detail("Name:", dialog_.NameLine());
  Detail("Description:", dialog_.Description());
  Detail("E-mail:", dialog_.Email());
  Detail("Web:", dialog_.Web());
  EndGroupBox();

  const float width = ButtonWidth("Cancel");
  ImGui::SetCursorPosY(ImGui::GetWindowContentRegionMax().y - ImGui::GetFrameHeight());
  ImGui::SetCursorPosX(ImGui::GetWindowContentRegionMax().x - 2 * width - spacing);
  return OkCancelButtons(window_, width, [this] { return dialog_.Ok(); }, [this] { return dialog_.Cancel(); });
}

int32_t RunScriptSelectionDialog(DialogWindow& window, std::vector<ScriptRecord>& scripts) {
  CScriptSelectionDialog dialog(scripts);
  CScriptSelectionDialogView view(window, dialog);
  return window.RunModal("Script Selection", kScriptSelectionWidth, kScriptSelectionHeight,
                         [&view] { return view.Draw(); });
}
