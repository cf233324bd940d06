// The script catalogue and the playlist: every script in the Scripts folder that loads and
// describes itself, the order in which they are played (in sequence or shuffled, all or only the
// selected ones), and the scheduling step that starts the first script, switches to the next one
// when the play time is up and replaces a script that ended, failed or stopped responding.
//
// Usage (the program-wide catalogue is reached through script_host.h's hooks):
//   CScriptHost host;  CScriptCatalogue catalogue(host);
//   catalogue.BuildScriptList();  catalogue.LoadSelection();  catalogue.BuildPlaylist();
//   every frame: catalogue.SchedulingStep(now);  host.ResumeStep(now);
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class CScriptHost;

// One catalogued script.
struct ScriptRecord {
  std::string fileName;  // without folder, as listed (a .lua or .zip file); or a --script path
  bool selected = false;  // ticked for play, kept in the "Playlist" registry key
  bool failed = false;    // failed to load or ended with an error: skipped for the rest of the run
  // The same keys of the script's Script_Details table (any letter case).
  std::optional<std::string> name, author, version, description, webpage, email;
};

class CScriptCatalogue {
 public:
  explicit CScriptCatalogue(CScriptHost& host);
  CScriptCatalogue(const CScriptCatalogue&) = delete;
  CScriptCatalogue& operator=(const CScriptCatalogue&) = delete;

  // Loads every .lua file and every zip holding a .lua member of the Scripts folder in details
  // mode, in byte order of the names, and keeps those that describe themselves.
  void BuildScriptList();
  // Marks the records named in the "Playlist" registry key; saves the selection back.
  void LoadSelection();
  bool SaveSelection() const;
  int32_t CountSelected() const;
  // The play order from the "Play Mode" and "Play Selection" settings; position none.
  void BuildPlaylist();
  // A catalogue and playlist of this one script (a path, or a name in the Scripts folder),
  // loaded without a details pass.
  void PlayOnly(const std::string& fileOrName);
  // Empties the catalogue and the playlist.
  void Clear();

  // Once per frame at application time `now` (skipped in hands-on mode).
  void SchedulingStep(float now);
  // Ends the current script, setting its failed flag when asked; the position becomes none.
  void EndCurrentScript(bool failed);
  // The current script's file name; empty when none is current.
  std::string CurrentScriptName() const;

  // What happens when no script can be played: the scheduler has logged "No valid scripts
  // available"; the handler puts the application into error mode with that text.
  void SetNoScriptsHandler(std::function<void(const std::string&)> handler);

  std::vector<ScriptRecord>& Scripts() { return scripts_; }
  const std::vector<ScriptRecord>& Scripts() const { return scripts_; }
  const std::vector<int32_t>& Playlist() const { return playlist_; }
  int32_t Position() const { return position_; }

 private:
  CScriptHost& host_;
  std::vector<ScriptRecord> scripts_;
  std::vector<int32_t> playlist_;
  int32_t position_ = -1;
  float playEndTime_ = 0;
  std::function<void(const std::string&)> noScripts_;
};
