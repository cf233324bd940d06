// The SmartPlay database: one record per snapshot file of the archive, saying when it was first
// seen, how often it was chosen and whether it was chosen in the current round, so that every
// file is shown once before any is shown again, across runs (SmartPlay.dat).
//
// Use: Clear, Load (when SmartPlay is active), Add for every file a scan finds, Finish; then
// Select, FindByName and RecordAt for the rest of the run, and Save at program end.
// While collecting, records are kept in path order (byte-wise, letter case matters); once
// finished they form the selection order, the files not yet played in this round first.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

struct SmartPlayRecord {
  int64_t dateAdded = 0;        // C time of the scan that first found the file
  uint32_t selectionCount = 0;  // over all runs
  uint8_t found = 0;            // seen by this run's scans
  uint8_t played = 0;           // chosen in the current round
  std::string path;

  // The record's size on disk: fixed fields, the path and its terminator, two padding bytes.
  uint32_t RecordSize() const { return static_cast<uint32_t>(path.size()) + 24; }
};

// Load and save results.
enum SmartPlayResult : int32_t {
  SMARTPLAY_OK = 0,
  SMARTPLAY_CANNOT_OPEN = 1,
  SMARTPLAY_FILE_ERROR = 3,
  SMARTPLAY_NOT_SMARTPLAY = 4,
  SMARTPLAY_CORRUPT = 5,
  SMARTPLAY_RECORD_TOO_LARGE = 7,
};

// The largest record the loader accepts; the saver keeps within it.
constexpr uint32_t SMARTPLAY_MAX_RECORD = 2048;

class CSmartPlay {
 public:
  // Frees every record; back to collecting with no records and zero counts.
  void Clear();

  // Reads SmartPlay.dat into the collection. Returns 0 or a SmartPlayResult; records read
  // before an error stay.
  int32_t Load(const std::string& path);

  // A known path gets its found flag set; a new one becomes a record dated with the scan time.
  void Add(const std::string& path);

  // While collecting: the records under `folder` (a folder that could not be listed) that no
  // scan finds are kept; KeepUnfound keeps every record no scan finds (a scan cut short).
  void KeepUnder(const std::string& folder);
  void KeepUnfound() { keepUnfound_ = true; }

  // Drops the records no scan found and puts the unplayed ones first; the database is ready.
  // Records kept by KeepUnder or KeepUnfound are not dropped: they are saved with the rest but
  // are not offered (Select, FindByName, RecordAt and RecordCount leave them out).
  void Finish();

  // Picks the next file of the round with `random` (the program's one generator); none when the
  // database is empty. Starts a new round when every file was played.
  std::optional<std::string> Select(std::mt19937& random);

  // The first path, in the current order, whose file name (after the last '/') equals `name`
  // without regard to letter case.
  std::optional<std::string> FindByName(std::string_view name) const;

  // The path at `index` of the current order, none when out of range.
  std::optional<std::string> RecordAt(int64_t index) const;

  // Writes SmartPlay.dat; the old file is replaced only when the whole new one was written.
  // Returns 0, or 3 when it could not be written.
  int32_t Save(const std::string& path) const;
  // The bytes Save writes; none when they cannot be made.
  std::optional<std::string> Image() const;
  // Writes an image as Save does, without the log line.
  static int32_t WriteImage(const std::string& path, const std::string& image);
  // Grows with every change of the records; equal counts, equal images.
  uint64_t Changes() const { return changes_; }

  // Writes the records, in path order, as comma-separated lines. False when there are no
  // records or the file cannot be created.
  bool Dump(const std::string& path) const;

  uint32_t RecordCount() const;
  uint32_t AddedCount() const { return addedCount_; }
  uint32_t RemovedCount() const { return removedCount_; }
  // The records kept by Finish without being found.
  uint32_t KeptCount() const { return static_cast<uint32_t>(kept_.size()); }
  uint32_t EligibleCount() const { return eligibleCount_; }
  bool IsLoaded() const { return loaded_; }
  bool IsActive() const { return active_; }
  void SetActive(bool active) { active_ = active; }
  void SetScanTime(int64_t time) { scanTime_ = time; }

  // The record at `index` of the current order (path order while collecting); null when out
  // of range.
  const SmartPlayRecord* Record(size_t index) const;

 private:
  std::vector<const SmartPlayRecord*> InPathOrder() const;

  bool loaded_ = false;
  bool active_ = false;
  bool ready_ = false;
  uint32_t addedCount_ = 0;
  uint32_t removedCount_ = 0;
  uint32_t eligibleCount_ = 0;
  int64_t scanTime_ = 0;
  uint64_t changes_ = 0;
  // Collecting: keyed by the record's own path (std::string_view compares bytes as unsigned,
  // like strcmp).
  std::map<std::string_view, std::unique_ptr<SmartPlayRecord>> tree_;
  // Ready: the selection order.
  std::vector<std::unique_ptr<SmartPlayRecord>> array_;
  // Ready: records not found but kept, in path order.
  std::vector<std::unique_ptr<SmartPlayRecord>> kept_;
  std::vector<std::string> keptFolders_;
  bool keepUnfound_ = false;
};
