// The folder browser: its state over std::filesystem, and its dialog in ImGui.
#include "platform/folder_browser.h"

#include <imgui.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/dialog_widgets.h"
#include "platform/dialog_window.h"

namespace fs = std::filesystem;

namespace {

bool IsFolder(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home && *home && IsFolder(home) ? home : "/";
}

}  // namespace

CFolderBrowser::CFolderBrowser(const std::string& start) {
  fs::path path = start;
  std::error_code error;
  if (!path.empty()) path = fs::absolute(path, error).lexically_normal();
  while (!path.empty() && !IsFolder(path)) {
    const fs::path parent = path.parent_path();
    if (parent == path) break;
    path = parent;
  }
  if (path.empty() || !IsFolder(path)) path = HomeFolder();
  folder_ = path.string();
  // "/a/b/" and "/a/b" are the same folder; keep the form without the trailing slash.
  while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
  List();
}

void CFolderBrowser::List() {
  subfolders_.clear();
  selected_ = -1;
  std::error_code error;
  fs::directory_iterator it(folder_, fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code ignored;
    if (it->is_directory(ignored)) subfolders_.push_back(name);
  }
  std::sort(subfolders_.begin(), subfolders_.end());
}

bool CFolderBrowser::GoTo(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error).lexically_normal();
  if (error || !IsFolder(absolute)) return false;
  folder_ = absolute.string();
  while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
  List();
  return true;
}

bool CFolderBrowser::Open(size_t index) {
  if (index >= subfolders_.size()) return false;
  return GoTo((fs::path(folder_) / subfolders_[index]).string());
}

bool CFolderBrowser::Up() {
  const fs::path parent = fs::path(folder_).parent_path();
  return parent != fs::path(folder_) && GoTo(parent.string());
}

bool CFolderBrowser::Home() { return GoTo(HomeFolder()); }

void CFolderBrowser::Select(int index) {
  selected_ = index >= 0 && static_cast<size_t>(index) < subfolders_.size() ? index : -1;
}

std::string CFolderBrowser::Choice() const {
  if (selected_ < 0) return folder_;
  return (fs::path(folder_) / subfolders_[static_cast<size_t>(selected_)]).string();
}

std::optional<std::string> BrowseForFolder(DialogWindow& window, const std::string& title,
                                           const std::string& start) {
  CFolderBrowser browser(start);
  std::string typed = browser.Folder();
  const int32_t result = window.RunModal("Browse for Folder", 460, 420, [&]() -> int32_t {
    const std::string before = browser.Folder();
    ImGui::TextWrapped("%s", title.c_str());
    ImGui::Spacing();
    ImGui::SetNextItemWidth(-1);
    // Enter in the path goes there; anywhere else it is OK.
    const bool typedEnter = ImGui::InputText("##path", &typed, ImGuiInputTextFlags_EnterReturnsTrue);
    if (typedEnter) browser.GoTo(typed);
    if (ImGui::Button("Up")) browser.Up();
    ImGui::SameLine();
    if (ImGui::Button("Home")) browser.Home();

    const float buttons = ImGui::GetFrameHeightWithSpacing() + ImGui::GetStyle().ItemSpacing.y;
    if (ImGui::BeginListBox("##folders", ImVec2(-1, ImGui::GetContentRegionAvail().y - buttons))) {
      const std::vector<std::string>& folders = browser.Subfolders();
      int open = -1;
      for (size_t i = 0; i < folders.size(); ++i) {
        bool twice = false;
        const int index = static_cast<int>(i);
        if (ListRow(index, folders[i] + "/", browser.Selected() == index, &twice)) {
          browser.Select(index);
          if (twice) open = index;
        }
      }
      ImGui::EndListBox();
      if (open >= 0) browser.Open(static_cast<size_t>(open));
    }

    const float width = ButtonWidth("Cancel");
    ImGui::SetCursorPosX(ImGui::GetWindowContentRegionMax().x - 2 * width -
                         ImGui::GetStyle().ItemSpacing.x);
    const int32_t answer = OkCancelButtons(
        window, width, [] { return DIALOG_OK; }, [] { return DIALOG_CANCEL; }, !typedEnter);
    if (browser.Folder() != before) typed = browser.Folder();
    return answer;
  });
  if (result != DIALOG_OK) return std::nullopt;
  return browser.Choice();
}
