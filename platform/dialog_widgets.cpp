// Group boxes, list rows and accelerator labels over ImGui's own widgets.
#include "platform/dialog_widgets.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/dialog_window.h"

namespace {

struct OpenGroup {
  ImVec2 start;
  float width;
  std::string title;
};

std::vector<OpenGroup>& Groups() {
  static std::vector<OpenGroup> groups;
  return groups;
}

constexpr float kGroupPadding = 8;

}  // namespace

std::string VisibleLabel(const std::string& label) {
  std::string shown;
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] == '&') {
      if (i + 1 < label.size() && label[i + 1] == '&') {
        shown += '&';
        ++i;
      }
      continue;
    }
    shown += label[i];
  }
  return shown;
}

std::string ControlLabel(const std::string& label, int controlId) {
  return VisibleLabel(label) + "###" + std::to_string(controlId);
}

char AcceleratorOf(const std::string& label) {
  for (size_t i = 0; i + 1 < label.size(); ++i) {
    if (label[i] != '&') continue;
    if (label[i + 1] != '&')
      return static_cast<char>(std::tolower(static_cast<unsigned char>(label[i + 1])));
    ++i;  // "&&" is a plain "&"
  }
  return 0;
}

namespace {

// Underlines the accelerator letter of `label`, whose visible text starts at `textPos`.
void UnderlineAccelerator(const std::string& label, ImVec2 textPos) {
  std::string before;
  for (size_t i = 0; i + 1 < label.size(); ++i) {
    if (label[i] == '&' && label[i + 1] != '&') {
      const float left = textPos.x + ImGui::CalcTextSize(before.c_str()).x;
      const float right = left + ImGui::CalcTextSize(label.substr(i + 1, 1).c_str()).x;
      const float y = textPos.y + ImGui::GetFontSize();
      ImGui::GetWindowDrawList()->AddLine(ImVec2(left, y), ImVec2(right, y),
                                          ImGui::GetColorU32(ImGuiCol_Text));
      return;
    }
    before += label[i];
    if (label[i] == '&') ++i;
  }
}

// Whether the control just drawn takes an Alt+letter press of this frame; underlines its letter.
bool AcceleratorPressed(DialogWindow& window, const std::string& label, ImVec2 textPos) {
  const char letter = AcceleratorOf(label);
  if (letter == 0) return false;
  UnderlineAccelerator(label, textPos);
  // A disabled control lets the press go by.
  if (ImGui::GetItemFlags() & ImGuiItemFlags_Disabled) return false;
  return window.TakeAccelerator(letter);
}

// Where ImGui puts the label of a check box or radio button: right of its square.
ImVec2 LabelAfterSquare() {
  const ImGuiStyle& style = ImGui::GetStyle();
  const ImVec2 min = ImGui::GetItemRectMin();
  return ImVec2(min.x + ImGui::GetFrameHeight() + style.ItemInnerSpacing.x,
                min.y + style.FramePadding.y);
}

}  // namespace

bool DialogCheckbox(DialogWindow& window, const std::string& label, int controlId, bool* checked) {
  bool clicked = ImGui::Checkbox(ControlLabel(label, controlId).c_str(), checked);
  if (AcceleratorPressed(window, label, LabelAfterSquare())) {
    *checked = !*checked;
    clicked = true;
  }
  return clicked;
}

bool DialogRadio(DialogWindow& window, const std::string& label, int controlId, bool active) {
  const bool clicked = ImGui::RadioButton(ControlLabel(label, controlId).c_str(), active);
  return AcceleratorPressed(window, label, LabelAfterSquare()) || clicked;
}

bool DialogButton(DialogWindow& window, const std::string& label, int controlId, float width) {
  const bool clicked = ImGui::Button(ControlLabel(label, controlId).c_str(), ImVec2(width, 0));
  // The label stands in the middle of the button.
  const ImVec2 min = ImGui::GetItemRectMin(), max = ImGui::GetItemRectMax();
  const float textWidth = ImGui::CalcTextSize(VisibleLabel(label).c_str()).x;
  const ImVec2 textPos((min.x + max.x - textWidth) / 2, min.y + ImGui::GetStyle().FramePadding.y);
  return AcceleratorPressed(window, label, textPos) || clicked;
}

void BeginGroupBox(const std::string& title, float width) {
  const ImVec2 start = ImGui::GetCursorScreenPos();
  if (width <= 0) width = ImGui::GetContentRegionAvail().x;
  Groups().push_back({start, width, title});
  ImGui::BeginGroup();
  // Room for the title on the frame's top edge, and the frame's inner margin.
  const float top = title.empty() ? kGroupPadding : ImGui::GetTextLineHeight() + 2;
  ImGui::Dummy(ImVec2(width, top - ImGui::GetStyle().ItemSpacing.y));
  ImGui::Indent(kGroupPadding);
  ImGui::PushItemWidth(width - 2 * kGroupPadding);
}

void EndGroupBox() {
  if (Groups().empty()) return;
  const OpenGroup group = Groups().back();
  Groups().pop_back();
  ImGui::PopItemWidth();
  ImGui::Unindent(kGroupPadding);
  ImGui::Dummy(ImVec2(0, 0));
  ImGui::EndGroup();
  const ImVec2 end = ImGui::GetItemRectMax();
  ImDrawList* draw = ImGui::GetWindowDrawList();
  const ImU32 border = ImGui::GetColorU32(ImGuiCol_Border);
  const float lineY = group.start.y + ImGui::GetTextLineHeight() / 2;
  const ImVec2 topLeft(group.start.x, group.title.empty() ? group.start.y : lineY);
  const ImVec2 bottomRight(group.start.x + group.width, end.y);
  draw->AddRect(topLeft, bottomRight, border);
  if (!group.title.empty()) {
    // The title interrupts the frame's top line, as a group box's does.
    const ImVec2 textPos(group.start.x + kGroupPadding, group.start.y);
    const ImVec2 size = ImGui::CalcTextSize(group.title.c_str());
    draw->AddRectFilled(ImVec2(textPos.x - 3, lineY - 1), ImVec2(textPos.x + size.x + 3, lineY + 1),
                        ImGui::GetColorU32(ImGuiCol_WindowBg));
    draw->AddText(textPos, ImGui::GetColorU32(ImGuiCol_Text), group.title.c_str());
  }
}

bool ListRow(int index, const std::string& text, bool selected, bool* doubleClicked) {
  ImGui::PushID(index);
  const ImVec2 start = ImGui::GetCursorPos();
  // A list box selects on the button's press; a row that opens on a double click waits for the
  // release instead, so that one click is not taken twice.
  bool clicked = false;
  if (doubleClicked) {
    clicked = ImGui::Selectable("##row", selected, ImGuiSelectableFlags_AllowDoubleClick);
  } else {
    ImGui::Selectable("##row", selected);
    clicked = ImGui::IsItemClicked(ImGuiMouseButton_Left);
  }
  if (doubleClicked) *doubleClicked = clicked && ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left);
  ImGui::SetCursorPos(start);
  // TextUnformatted shows "##" and "%" as they are.
  ImGui::TextUnformatted(text.c_str());
  ImGui::PopID();
  return clicked;
}

float ButtonWidth(const std::string& label) {
  const float text = ImGui::CalcTextSize(VisibleLabel(label).c_str()).x;
  return std::max(text + 2 * ImGui::GetStyle().FramePadding.x + 8, 88.0f);
}

namespace {

constexpr int32_t kReturn = 0x0D, kEscape = 0x1B;  // Windows virtual-key codes

}  // namespace

int32_t OkCancelButtons(DialogWindow& window, float width, const std::function<int32_t()>& ok,
                        const std::function<int32_t()>& cancel, bool enterIsOk) {
  int32_t result = 0;
  if (ImGui::Button("OK", ImVec2(width, 0))) result = ok();
  ImGui::SameLine();
  if (ImGui::Button("Cancel", ImVec2(width, 0))) result = cancel();
  for (const DialogKeyPress& key : window.KeyPresses()) {
    if (result) break;
    if (key.virtualKey == kReturn && enterIsOk) result = ok();
    if (key.virtualKey == kEscape) result = cancel();
  }
  return result;
}
