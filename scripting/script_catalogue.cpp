// Building the script list and the playlist, and the per-frame scheduling step.
#include "scripting/script_catalogue.h"

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <utility>

#include "base/log.h"
#include "formats/zip.h"
#include "platform/folders.h"
#include "scripting/playlist_selection.h"
#include "scripting/script_host.h"

namespace {

// The Scripts folder's entries, files and folders alike, in byte order of their names.
std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool IsScriptCandidate(const std::string& folder, const std::string& name) {
  const std::string path = JoinPath(folder, name);
  if (HasExtension(path.c_str(), "zip")) {
    CZip zip;
    return zip.Open(path.c_str()) == UNZ_OK && zip.FindScriptMember() == UNZ_OK;
  }
  return HasExtension(name.c_str(), "lua");
}

}  // namespace

CScriptCatalogue::CScriptCatalogue(CScriptHost& host) : host_(host) {}

void CScriptCatalogue::BuildScriptList() {
  WriteLog("Building list of scripts");
  scripts_.clear();
  const std::string folder = host_.World().settings.scriptsFolder;
  for (const std::string& name : ListFolder(folder)) {
    if (!IsScriptCandidate(folder, name)) continue;
    ScriptRecord record;
    record.fileName = name;
    if (host_.LoadScript(name, true, &record)) {
      WriteLog("Added script to list: " + name + " (" + record.name.value_or("<no name>") + " " +
               record.version.value_or("") + ")");
      scripts_.push_back(std::move(record));
    } else {
      WriteLog("*** Error loading script: " + name);
    }
  }
  host_.CloseCurrentScript();
  WriteLog("List of scripts built OK");
}

void CScriptCatalogue::LoadSelection() {
  const std::vector<std::string> selection = ReadPlaylistSelection();
  for (ScriptRecord& record : scripts_)
    if (IsScriptSelected(selection, record.fileName)) record.selected = true;
}

bool CScriptCatalogue::SaveSelection() const {
  std::vector<std::string> names;
  for (const ScriptRecord& record : scripts_)
    if (record.selected) names.push_back(record.fileName);
  return WritePlaylistSelection(names);
}

int32_t CScriptCatalogue::CountSelected() const {
  return static_cast<int32_t>(std::count_if(scripts_.begin(), scripts_.end(),
                                            [](const ScriptRecord& record) { return record.selected; }));
}

void CScriptCatalogue::BuildPlaylist() {
  const ScriptSettings& settings = host_.World().settings;
  const bool random = settings.playMode == 1;
  WriteLog(std::string("Building playlist (") + (random ? "random" : "sequential") + ")");
  playlist_.clear();
  position_ = -1;
  const auto n = static_cast<uint32_t>(scripts_.size());
  if (n > 0) {
    std::vector<int32_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    if (random) {
      // Every step draws j from the whole sequence, not only from 0..i.
      for (uint32_t i = n; i-- > 0;) {
        const uint32_t j = (static_cast<uint32_t>(host_.Random()()) >> 1) % n;
        std::swap(order[i], order[j]);
      }
    }
    for (int32_t index : order)
      if (settings.playSelection != 1 || scripts_[index].selected) playlist_.push_back(index);
  }
  WriteLog("Playlist built");
}

void CScriptCatalogue::PlayOnly(const std::string& fileOrName) {
  scripts_.clear();
  ScriptRecord record;
  record.fileName = fileOrName;
  scripts_.push_back(std::move(record));
  playlist_.assign(1, 0);
  position_ = -1;
}

void CScriptCatalogue::Clear() {
  scripts_.clear();
  playlist_.clear();
  position_ = -1;
}

void CScriptCatalogue::SchedulingStep(float now) {
  host_.SetApplicationTime(now);
  if (host_.HandsOn()) return;
  const auto n = static_cast<int32_t>(playlist_.size());
  const int32_t playTime = host_.World().settings.playTime;
  // A single script, or a play time of 0, is never switched by time.
  if (position_ != -1 && !(now >= playEndTime_ && n > 1 && playTime != 0)) return;

  for (int32_t tried = 0; tried < n; ++tried) {
    position_ = position_ + 1 >= n ? 0 : position_ + 1;
    if (scripts_[playlist_[position_]].failed) continue;
    playEndTime_ = now + static_cast<float>(playTime);
    if (!host_.LoadScript(scripts_[playlist_[position_]].fileName, false)) EndCurrentScript(true);
    return;
  }
  position_ = -1;
  WriteLog("No valid scripts available");
  if (noScripts_) noScripts_("No valid scripts available");
}

void CScriptCatalogue::EndCurrentScript(bool failed) {
  if (position_ == -1) return;
  if (failed) scripts_[playlist_[position_]].failed = true;
  position_ = -1;
}

std::string CScriptCatalogue::CurrentScriptName() const {
  if (position_ < 0 || position_ >= static_cast<int32_t>(playlist_.size())) return {};
  return scripts_[playlist_[position_]].fileName;
}

void CScriptCatalogue::SetNoScriptsHandler(std::function<void(const std::string&)> handler) {
  noScripts_ = std::move(handler);
}
