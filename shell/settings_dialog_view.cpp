// The settings dialog's drawing: the about box with its picture, the "Scripts", "Snapshot
// Archive" and "Emulator" groups and OK/Cancel, each control with the model's text and rules.
#include "shell/settings_dialog_view.h"

#include <imgui.h>
#include <imgui_stdlib.h>

#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "platform/dialog_widgets.h"
#include "platform/dialog_window.h"
#include "platform/folder_browser.h"
#include "platform/registry.h"
#include "shell/display_settings_dialog.h"
#include "shell/display_settings_dialog_view.h"
#include "shell/script_selection_dialog_view.h"
#include "shell/settings_dialog.h"

namespace {

// The play-time edit takes digits only, as a numbers-only edit control does.
int DigitsOnly(ImGuiInputTextCallbackData* data) {
  return data->EventChar >= '0' && data->EventChar <= '9' ? 0 : 1;
}

// Bitmap 107: a television of the time showing a Spectrum's stripes.
void DrawTelevisionPicture(ImVec2 size) {
  const ImVec2 p = ImGui::GetCursorScreenPos();
  ImDrawList* draw = ImGui::GetWindowDrawList();
  const float w = size.x, h = size.y;
  // Aerials.
  draw->AddLine(ImVec2(p.x + w * 0.5f, p.y + h * 0.18f), ImVec2(p.x + w * 0.32f, p.y),
                IM_COL32(60, 60, 60, 255), 2);
  draw->AddLine(ImVec2(p.x + w * 0.5f, p.y + h * 0.18f), ImVec2(p.x + w * 0.7f, p.y + h * 0.02f),
                IM_COL32(60, 60, 60, 255), 2);
  // Cabinet, screen and the control panel.
  const ImVec2 cabinet0(p.x, p.y + h * 0.16f), cabinet1(p.x + w, p.y + h * 0.92f);
  draw->AddRectFilled(cabinet0, cabinet1, IM_COL32(112, 74, 44, 255), 6);
  draw->AddRect(cabinet0, cabinet1, IM_COL32(64, 40, 22, 255), 6, 0, 1.5f);
  const ImVec2 screen0(p.x + w * 0.07f, p.y + h * 0.24f), screen1(p.x + w * 0.74f, p.y + h * 0.84f);
  draw->AddRectFilled(screen0, screen1, IM_COL32(205, 205, 205, 255), 8);
  draw->AddRect(screen0, screen1, IM_COL32(30, 30, 30, 255), 8, 0, 3);
  // The four colour stripes of the Spectrum's logo across the screen's corner.
  const ImU32 stripes[] = {IM_COL32(215, 0, 0, 255), IM_COL32(215, 215, 0, 255),
                           IM_COL32(0, 200, 0, 255), IM_COL32(0, 200, 215, 255)};
  const float band = (screen1.x - screen0.x) * 0.07f;
  for (int i = 0; i < 4; ++i) {
    const float x = screen1.x - (screen1.x - screen0.x) * 0.42f + band * static_cast<float>(i);
    const float bottom = screen1.y - 3, top = screen1.y - (screen1.y - screen0.y) * 0.55f;
    draw->AddQuadFilled(ImVec2(x, bottom), ImVec2(x + (bottom - top), top),
                        ImVec2(x + (bottom - top) + band, top), ImVec2(x + band, bottom),
                        stripes[i]);
  }
  for (int i = 0; i < 2; ++i)
    draw->AddCircleFilled(ImVec2(p.x + w * 0.87f, p.y + h * (0.38f + 0.2f * static_cast<float>(i))),
                          w * 0.05f, IM_COL32(30, 30, 30, 255));
  for (int i = 0; i < 3; ++i)
    draw->AddLine(ImVec2(p.x + w * 0.8f, p.y + h * (0.72f + 0.05f * static_cast<float>(i))),
                  ImVec2(p.x + w * 0.94f, p.y + h * (0.72f + 0.05f * static_cast<float>(i))),
                  IM_COL32(50, 30, 15, 255));
  // Feet.
  draw->AddRectFilled(ImVec2(p.x + w * 0.12f, p.y + h * 0.92f), ImVec2(p.x + w * 0.2f, p.y + h),
                      IM_COL32(64, 40, 22, 255));
  draw->AddRectFilled(ImVec2(p.x + w * 0.8f, p.y + h * 0.92f), ImVec2(p.x + w * 0.88f, p.y + h),
                      IM_COL32(64, 40, 22, 255));
  ImGui::Dummy(size);
}

bool Radio(DialogWindow& window, const std::string& label, int32_t id, int32_t* group) {
  const bool pressed = DialogRadio(window, label, id, *group == id);
  if (pressed) *group = id;
  return pressed;
}

void RightAlignedButtons(float width, int count) {
  const float spacing = ImGui::GetStyle().ItemSpacing.x;
  ImGui::SetCursorPosX(ImGui::GetWindowContentRegionMax().x - width * static_cast<float>(count) -
                       spacing * static_cast<float>(count - 1));
}

}  // namespace

CSettingsDialogView::CSettingsDialogView(DialogWindow& window, CSettingsDialog& dialog,
                                         ProgramSettings& app, std::vector<ScriptRecord>& scripts)
    : window_(window), dialog_(dialog), app_(app), scripts_(scripts) {}

int32_t CSettingsDialogView::Draw() {
  // The hot-key control takes Alt+letter as a hot key while it has the focus.
  if (hotKeyFocused_) window_.HoldAccelerators();
  // The edit shows the model's text until the user types into it.
  std::snprintf(playTime_, kMaxPlayTimeDigits + 1, "%s", dialog_.PlayTimeText().c_str());
  DrawAbout();
  DrawScripts();
  DrawSnapshotArchive();
  DrawEmulator();

  ImGui::Spacing();
  const float width = ButtonWidth("Cancel");
  RightAlignedButtons(width, 2);
  return OkCancelButtons(window_, width, [this] { return dialog_.Ok(); }, [this] { return dialog_.Cancel(); });
}

void CSettingsDialogView::DrawAbout() {
  BeginGroupBox("", 0);
  DrawTelevisionPicture(ImVec2(112, 92));
  ImGui::SameLine(0, 14);
  ImGui::BeginGroup();
  ImGui::PushTextWrapPos(ImGui::GetWindowContentRegionMax().x - 12);
  ImGui::TextUnformatted(CSettingsDialog::AboutText());
  ImGui::PopTextWrapPos();
  ImGui::EndGroup();
  EndGroupBox();
}

void CSettingsDialogView::DrawScripts() {
  ImGui::Spacing();
  BeginGroupBox("Scripts", 0);
  constexpr float kSecondColumn = 340;
  Radio(window_, dialog_.PlayAllText(), IDC_PLAY_ALL, &dialog_.playSelectionRadio);
  ImGui::SameLine(kSecondColumn);
  Radio(window_, "Play Scripts Se&quentially", IDC_PLAY_SEQUENTIALLY, &dialog_.playModeRadio);

  ImGui::BeginDisabled(!dialog_.PlaySelectionEnabled());
  Radio(window_, dialog_.PlaySelectionText(), IDC_PLAY_SELECTION, &dialog_.playSelectionRadio);
  ImGui::EndDisabled();
  ImGui::SameLine(220);
  ImGui::BeginDisabled(!dialog_.SelectEnabled());
  if (DialogButton(window_, "&Select", IDC_SELECT, ButtonWidth("&Select"))) {
    window_.Defer([this] {
      dialog_.ScriptSelectionClosed(RunScriptSelectionDialog(window_, scripts_));
    });
  }
  ImGui::EndDisabled();
  ImGui::SameLine(kSecondColumn);
  Radio(window_, "Play Scripts In &Random Order", IDC_PLAY_RANDOMLY, &dialog_.playModeRadio);

  ImGui::AlignTextToFramePadding();
  ImGui::TextUnformatted("Change script after");
  ImGui::SameLine();
  ImGui::SetNextItemWidth(56);
  if (ImGui::InputText("##1007", playTime_, kMaxPlayTimeDigits + 1,
                       ImGuiInputTextFlags_CallbackCharFilter, DigitsOnly))
    dialog_.SetPlayTimeText(playTime_);
  ImGui::SameLine();
  ImGui::TextUnformatted("seconds");

  const float hotKeyWidth = 170;
  ImGui::PushTextWrapPos(ImGui::GetWindowContentRegionMax().x - hotKeyWidth - 30);
  ImGui::TextUnformatted(
      "Select a hotkey to allow games to be played when the screensaver is active (press "
      "backspace for none)");
  ImGui::PopTextWrapPos();
  ImGui::SameLine(ImGui::GetWindowContentRegionMax().x - hotKeyWidth - 18);
  DrawHotKey(hotKeyWidth);
  EndGroupBox();
}

void CSettingsDialogView::DrawHotKey(float width) {
  ImGui::PushID(IDC_HOT_KEY);
  const ImVec2 size(width, ImGui::GetFrameHeight());
  const ImVec2 start = ImGui::GetCursorScreenPos();
  ImGui::InvisibleButton("##hotkey", size);
  const bool focused = ImGui::IsItemFocused();
  hotKeyFocused_ = focused;
  if (focused)
    for (const DialogKeyPress& key : window_.KeyPresses())
      dialog_.hotKey.KeyPressed(key.virtualKey, key.modifiers);
  ImDrawList* draw = ImGui::GetWindowDrawList();
  const ImVec2 end(start.x + size.x, start.y + size.y);
  draw->AddRectFilled(start, end, ImGui::GetColorU32(ImGuiCol_FrameBg));
  draw->AddRect(start, end, focused ? IM_COL32(0, 120, 215, 255) : ImGui::GetColorU32(ImGuiCol_Border));
  const std::string text = dialog_.hotKey.Text();
  const ImVec2 padding = ImGui::GetStyle().FramePadding;
  const ImVec2 textPos(start.x + padding.x, start.y + padding.y);
  draw->AddText(textPos, ImGui::GetColorU32(ImGuiCol_Text), text.c_str());
  if (focused) {
    // The caret after the key's name, as the hot-key control shows it.
    const float x = textPos.x + ImGui::CalcTextSize(text.c_str()).x + 1;
    draw->AddLine(ImVec2(x, textPos.y), ImVec2(x, textPos.y + ImGui::GetTextLineHeight()),
                  ImGui::GetColorU32(ImGuiCol_Text));
  }
  ImGui::PopID();
}

void CSettingsDialogView::DrawSnapshotArchive() {
  ImGui::Spacing();
  BeginGroupBox("Snapshot Archive", 0);
  DialogCheckbox(window_, "Use Smart&Play to improve snapshot selection (recommended)",
                 IDC_SMART_PLAY, &dialog_.smartPlay);
  if (dialog_.DumpStatsVisible()) {
    ImGui::SameLine();
    if (DialogButton(window_, "D&ump Stats", IDC_DUMP_STATS)) window_.Defer([this] { DumpStats(); });
  }
  DialogCheckbox(window_,
                 "&Include Glimmerbox's own snapshots in addition to your own specified below.",
                 IDC_INCLUDE_DEFAULT_ARCHIVE, &dialog_.includeDefaultArchive);
  ImGui::TextUnformatted(
      "If you would like Glimmerbox to use your own snapshot folder, click Browse.");
  const float browse = ButtonWidth("&Browse");
  ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - browse - ImGui::GetStyle().ItemSpacing.x - 8);
  ImGui::InputText("##1020", &dialog_.archiveFolder);
  ImGui::SameLine();
  if (DialogButton(window_, "&Browse", IDC_BROWSE, browse)) {
    window_.Defer([this] {
      if (auto folder = BrowseForFolder(window_, "Select your snapshot archive location",
                                        dialog_.archiveFolder))
        dialog_.FolderChosen(*folder);
    });
  }
  EndGroupBox();
}

void CSettingsDialogView::DrawEmulator() {
  ImGui::Spacing();
  BeginGroupBox("Emulator", 0);
  DialogCheckbox(window_, "E&mulate Beeper", IDC_EMULATE_BEEPER, &dialog_.emulateBeeper);
  ImGui::SameLine(340);
  DialogCheckbox(window_, "Emulate A&Y-3-8912 (128K Sound Chip)", IDC_EMULATE_AY, &dialog_.emulateAY);
  DialogCheckbox(window_, "Enable &Log", IDC_LOG, &dialog_.log);
  ImGui::SameLine(340);
  DialogCheckbox(window_, "Vertical Sync.", IDC_VERTICAL_SYNC, &dialog_.verticalSync);
  if (DialogButton(window_, "&View Log", IDC_VIEW_LOG, ButtonWidth("&View Log"))) {
    window_.Defer([this] {
      const std::string path = dialog_.LogPath();
      if (!path.empty()) window_.OpenInShell(path);
    });
  }
  ImGui::SameLine();
  if (DialogButton(window_, "&Display Settings...", IDC_DISPLAY_SETTINGS,
                   ButtonWidth("&Display Settings..."))) {
    window_.Defer([this] { RunDisplaySettingsDialog(window_, app_.display); });
  }
  EndGroupBox();
}

void CSettingsDialogView::DumpStats() {
  static const char* const kCaption = "Dump SmartPlay Database";
  std::string folder;
  switch (dialog_.DumpStats(&folder)) {
    case CSettingsDialog::DumpResult::CannotLoad:
      window_.ShowMessageBox(MessageBoxIcon::Error, kCaption, "Unable to load the SmartPlay database");
      break;
    case CSettingsDialog::DumpResult::CannotWrite:
      window_.ShowMessageBox(MessageBoxIcon::Error, kCaption, "Unable to create SmartPlay dump file");
      break;
    case CSettingsDialog::DumpResult::Written:
      window_.OpenInShell(folder);
      break;
  }
}

int32_t ShowSettingsDialog(ProgramSettings& app, std::vector<ScriptRecord>& scripts, CSmartPlay& database,
                           const SettingsDialogOptions& options) {
  if (options.headless && options.screenshot.empty()) {
    const std::string text =
        "There is no display to show the settings dialog on. The settings are kept in " +
        RegFilePath(HKEY_CURRENT_USER) + "; run glimmerbox /c on the desktop to change them.";
    WriteLog(text);
    std::printf("%s\n", text.c_str());
    return 0;
  }
  std::string error;
  auto window = DialogWindow::Create({"Glimmerbox Settings", static_cast<uint32_t>(kSettingsDialogWidth),
                                      static_cast<uint32_t>(kSettingsDialogHeight), options.headless},
                                     &error);
  if (!window) {
    const std::string text = "The settings dialog cannot be shown: " + error;
    WriteLog(text);
    std::fprintf(stderr, "glimmerbox: %s\n", text.c_str());
    return 0;
  }
  PrepareDisplaySettings(app.display, window->Adapter());
  CSettingsDialog dialog(app, scripts, database);
  CSettingsDialogView view(*window, dialog, app, scripts);
  const auto draw = [&view] { return view.Draw(); };
  if (!options.headless)
    return window->RunModal("Glimmerbox Settings", kSettingsDialogWidth, kSettingsDialogHeight, draw);

  // Off screen: one picture of the dialog as it opens (ImGui lays windows out over two frames).
  window->PushDialog("Glimmerbox Settings", kSettingsDialogWidth, kSettingsDialogHeight, draw);
  for (int frame = 0; frame < 3; ++frame) window->DrawFrame();
  if (window->SaveScreenshot(options.screenshot))
    WriteLog("Screenshot written to " + options.screenshot);
  else
    WriteLog("Couldn't write the screenshot " + options.screenshot);
  window->PopDialog();
  return dialog.Cancel();
}
