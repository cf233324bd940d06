// The playlist selection in the registry.
#include "scripting/playlist_selection.h"

#include <cctype>
#include <cstdint>

#include "base/program.h"
#include "platform/registry.h"

namespace {

// Playlist value names and file names.
constexpr size_t kMaxPlaylistBytes = 260;

}  // namespace

std::vector<std::string> ReadPlaylistSelection() {
  std::vector<std::string> selection;
  RegKey key;
  if (!key.Open(HKEY_CURRENT_USER, std::string(SETTINGS_KEY) + "\\Playlist")) return selection;
  for (uint32_t index = key.ValueCount(); index-- > 0;) {
    RegValue value;
    if (!key.EnumValue(index, value, kMaxPlaylistBytes, kMaxPlaylistBytes)) continue;
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) continue;
    std::string name(value.data.begin(), value.data.end());
    selection.push_back(name.substr(0, name.find('\0')));
  }
  return selection;
}

bool IsScriptSelected(const std::vector<std::string>& selection, const std::string& fileName) {
  for (const std::string& selected : selection) {
    if (selected.size() != fileName.size()) continue;
    bool same = true;
    for (size_t i = 0; i < selected.size() && same; ++i)
      same = std::tolower(static_cast<unsigned char>(selected[i])) ==
             std::tolower(static_cast<unsigned char>(fileName[i]));
    if (same) return true;
  }
  return false;
}

bool WritePlaylistSelection(const std::vector<std::string>& selectedFileNames) {
  const std::string path = std::string(SETTINGS_KEY) + "\\Playlist";
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, path)) {
    for (uint32_t index = key.ValueCount(); index-- > 0;) {
      RegValue value;
      if (key.EnumValue(index, value, SIZE_MAX, SIZE_MAX)) key.DeleteValue(value.name);
    }
  } else if (!key.Create(HKEY_CURRENT_USER, path)) {
    return false;
  }
  int number = 1;
  for (const std::string& name : selectedFileNames)
    key.SetString("file" + std::to_string(number++), name);
  // The deletions and the new values reach the file together, in one rewrite.
  return key.Close();
}
