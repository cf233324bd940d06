// The snapshot archive: the snapshot and recording files that scripts choose from, found in the
// user's archive folder and the program's Snapshots folder with all their subfolders, and kept
// in the archive's SmartPlay database.
//
//   CArchive archive(random, captions);
//   archive.SetUp({userFolder, snapshotsFolder, smartPlayPath, smartPlaySetting, includeDefault, mode});
//   archive.Select();  archive.At(3);  archive.Find("game.z80");   // each builds the list once
//   between frames: archive.PublishState();   at the end: archive.SaveState();
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>

#include "archive/smartplay.h"
#include "base/program.h"

class CTextList;

// A folder holding a file or folder of this name is skipped with everything below it.
inline constexpr const char* ARCHIVE_EXCLUDE_MARKER = ".GlimmerboxExcludeMe";

// The bounds of one build's scan: entries listed, and seconds (the first script call that asks
// for the archive waits for the scan).
inline constexpr int64_t ARCHIVE_SCAN_ENTRIES = 100000;
inline constexpr double ARCHIVE_SCAN_SECONDS = 1.0;

struct ArchiveSetup {
  std::string userFolder;       // "Archive Folder"; empty: none
  std::string snapshotsFolder;  // the program's Snapshots folder
  std::string smartPlayPath;    // SmartPlay.dat; empty: nowhere to keep the history
  int32_t smartPlay = 1;        // "Smart Play"
  int32_t includeDefault = 1;   // "Include Default Archive"
  int32_t saverMode = SM_TEST;  // SmartPlay keeps count only where the saver is watched with sound
};

class CArchive {
 public:
  // Draws its choices from `random`; the SmartPlay line goes to `captions`.
  CArchive(std::mt19937& random, CTextList& captions) : random_(random), captions_(captions) {}

  void SetUp(ArchiveSetup setup) { setup_ = std::move(setup); }

  // Builds the archive list if this run has not built it yet; returns the number of files.
  int32_t BuildList();

  // Adds the supported files (regular files, links to them included) of `path` and its
  // subfolders to the database. Returns 0, or 2 (ErrorScanningFiles) when a folder could not be
  // listed: it is logged and skipped, the scan goes on, and the records under it are kept.
  // Within one build each real folder is listed once, and at most the scan limits' entries in
  // their time; past them the scan stops with a log line and keeps every record not reached.
  int32_t ScanFolder(const std::string& path);
  void SetScanLimits(int64_t entries, double seconds);

  // The SmartPlay choice of the next file, none when the archive is empty.
  std::optional<std::string> Select();
  // The file at `index` of the list's current order, none when out of range; counts untouched.
  std::optional<std::string> At(int64_t index);
  // The first file, in the list's current order, whose name after the last '/' equals `name`
  // without regard to letter case.
  std::optional<std::string> Find(std::string_view name);

  // Saves SmartPlay.dat when SmartPlay is active this run. Returns the save result, 0 when there
  // was nothing to save.
  int32_t SaveState();
  // Keeps a copy of the database as it stands, when it changed since the last copy, for
  // SavePublishedSmartPlayState; the frame cycle calls it between frames.
  void PublishState();

  CSmartPlay& Database() { return database_; }

 private:
  struct ScanState {
    bool started = false, stopped = false;
    std::set<std::filesystem::path> visited;  // the real paths of the folders listed
    int64_t entries = 0, entryLimit = 0;
    std::chrono::steady_clock::time_point start, deadline;
  };

  int32_t Scan(const std::string& path, bool root);
  void StopScan();

  std::mt19937& random_;
  CTextList& captions_;
  ArchiveSetup setup_;
  CSmartPlay database_;
  bool listBuilt_ = false;
  ScanState scan_;
  int64_t entryLimit_ = ARCHIVE_SCAN_ENTRIES;
  double scanSeconds_ = ARCHIVE_SCAN_SECONDS;
};

// Saves the copy PublishState last kept, from any thread, unless this run's final save is done
// already: the close of a saver whose own thread cannot get there.
int32_t SavePublishedSmartPlayState();
