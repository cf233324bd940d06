// Building the snapshot archive list: SmartPlay.dat (when SmartPlay is active), the user's
// folder and the Snapshots folder are merged into the SmartPlay database, which then chooses.
#include "archive/archive.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>
#include <utility>
#include <vector>

#include "archive/smartplay.h"
#include "base/log.h"
#include "formats/readers.h"
#include "presentation/text_list.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t ERROR_SCANNING_FILES = 2;

std::string Format(const char* format, auto... args) {
  std::string text(static_cast<size_t>(std::max(0, std::snprintf(nullptr, 0, format, args...))), '\0');
  std::snprintf(text.data(), text.size() + 1, format, args...);
  return text;
}

// The snapshot types the loader knows.
bool IsSupported(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot != std::string::npos && SnapshotTypeOf(name.c_str() + dot + 1) >= 0;
}

struct Entry {
  std::string name;
  bool directory;
  bool regular;
};

bool IsGone(const std::error_code& error) {
  return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

}  // namespace

// Each real folder is listed once per build, however many links lead to it, and the whole build
// lists a bounded number of entries in a bounded time: links that form a lattice, or lead to the
// root of the file system, would otherwise keep one script call going for ever.
int32_t CArchive::Scan(const std::string& path, bool root) {
  ScanState& scan = scan_;
  if (scan.stopped) return 0;
  std::error_code error;
  fs::directory_iterator it(path, error);
  if (error) {
    // A folder that is not there has lost its snapshots; one that cannot be read has not.
    if (!(root && IsGone(error))) {
      WriteLog(Format("Couldn't list the folder \"%s\" (%s); its snapshots are kept", path.c_str(),
                      error.message().c_str()));
      database_.KeepUnder(path);
    }
    return ERROR_SCANNING_FILES;
  }

  std::error_code markerError;
  const fs::file_status marker = fs::symlink_status(path + "/" + ARCHIVE_EXCLUDE_MARKER, markerError);
  if (!markerError && fs::exists(marker)) return 0;

  std::error_code realError;
  const fs::path real = fs::canonical(path, realError);
  if (!realError && !scan.visited.insert(real).second) return 0;

  database_.SetScanTime(static_cast<int64_t>(std::time(nullptr)));

  // Sorted by name, byte order, so that every scan adds in the same order.
  std::vector<Entry> entries;
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    if (++scan.entries > scan.entryLimit || std::chrono::steady_clock::now() > scan.deadline) {
      StopScan();
      return 0;
    }
    std::error_code typeError;
    // Links are followed; pipes, sockets, devices and broken links are no snapshots.
    const fs::file_status status = it->status(typeError);
    bool directory = !typeError && fs::is_directory(status);
    if (typeError) {
      // A folder too deep to be looked at by its path: the listing says it is one, and trying
      // to list it logs why it cannot be.
      std::error_code listedError;
      directory = it->is_directory(listedError) && !listedError;
    }
    entries.push_back({it->path().filename().string(), directory, !typeError && fs::is_regular_file(status)});
  }
  int32_t result = 0;
  if (error) {
    WriteLog(Format("Couldn't list the folder \"%s\" (%s); its snapshots are kept", path.c_str(),
                    error.message().c_str()));
    database_.KeepUnder(path);
    result = ERROR_SCANNING_FILES;
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });

  for (const Entry& entry : entries) {
    if (entry.name == "." || entry.name == "..") continue;
    const std::string full = path + "/" + entry.name;
    if (entry.directory) {
      if (Scan(full, false) != 0) result = ERROR_SCANNING_FILES;
      if (scan.stopped) return result;
    } else if (entry.regular && IsSupported(entry.name)) {
      database_.Add(full);
    }
  }
  return result;
}

void CArchive::StopScan() {
  scan_.stopped = true;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - scan_.start).count();
  WriteLog(Format("Archive scan stopped after %lld entries (%.1f s); the snapshots not reached are kept",
                  static_cast<long long>(scan_.entries), seconds));
  database_.KeepUnfound();
}

void CArchive::SetScanLimits(int64_t entries, double seconds) {
  entryLimit_ = entries;
  scanSeconds_ = seconds;
}

int32_t CArchive::ScanFolder(const std::string& path) {
  if (!scan_.started) {
    scan_ = ScanState();
    scan_.started = true;
    scan_.entryLimit = entryLimit_;
    scan_.start = std::chrono::steady_clock::now();
    scan_.deadline = scan_.start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                       std::chrono::duration<double>(scanSeconds_));
  }
  return Scan(path, true);
}

int32_t CArchive::BuildList() {
  CSmartPlay& database = database_;
  if (listBuilt_) return static_cast<int32_t>(database.RecordCount());
  listBuilt_ = true;
  scan_.started = false;  // one set of bounds for the whole build

  const bool active = setup_.smartPlay != 0 && (setup_.saverMode == SM_FULL || setup_.saverMode == SM_TEST);
  database.SetActive(active);
  database.Clear();

  int32_t loadResult = SMARTPLAY_CANNOT_OPEN;
  if (active) loadResult = database.Load(setup_.smartPlayPath);

  // The user's folder belongs to SmartPlay: without it only the Snapshots folder is used.
  if (!setup_.userFolder.empty() && active) {
    ScanFolder(setup_.userFolder);
    WriteLog(Format("Found %d supported snapshots in user's archive folder \"%s\"",
                    static_cast<int32_t>(database.RecordCount()), setup_.userFolder.c_str()));
  }

  if (setup_.includeDefault != 0 || database.RecordCount() == 0) {
    const uint32_t before = database.RecordCount();
    ScanFolder(setup_.snapshotsFolder);
    WriteLog(Format("Found %d supported snapshots in the Glimmerbox Snapshots folder",
                    static_cast<int32_t>(database.RecordCount() - before)));
  }

  database.Finish();

  const auto count = static_cast<int32_t>(database.RecordCount());
  if (active)
    captions_.Add(Format("[SmartPlay %s. %d files, %d added, %d removed]",
                         loadResult == SMARTPLAY_OK ? "restored" : "created", count,
                         static_cast<int32_t>(database.AddedCount()),
                         static_cast<int32_t>(database.RemovedCount())),
                  10.0f, 45.0f, 5.0f);

  WriteLog(Format("There are %d available snapshots.", count));
  return count;
}

std::optional<std::string> CArchive::Select() {
  BuildList();
  return database_.Select(random_);
}

std::optional<std::string> CArchive::At(int64_t index) {
  BuildList();
  return database_.RecordAt(index);
}

std::optional<std::string> CArchive::Find(std::string_view name) {
  BuildList();
  return database_.FindByName(name);
}

namespace {

// The database as it stood at the end of the last frame, for a close from another thread; and
// whether this run's final save is done, so that an older image never overwrites it.
struct PublishedSmartPlay {
  std::mutex lock;
  std::string path, image;
  uint64_t changes = 0;
  bool published = false, saved = false;
};

PublishedSmartPlay& Published() {
  static PublishedSmartPlay* published = new PublishedSmartPlay;  // outlives exit
  return *published;
}

}  // namespace

int32_t CArchive::SaveState() {
  // Without an application-data folder there is nowhere to keep the history.
  if (!database_.IsActive() || setup_.smartPlayPath.empty()) return 0;
  PublishedSmartPlay& published = Published();
  std::lock_guard<std::mutex> guard(published.lock);
  const int32_t result = database_.Save(setup_.smartPlayPath);
  if (result != SMARTPLAY_OK) WriteLog(Format("Error saving SmartPlay state: %d", result));
  published.saved = true;
  return result;
}

void CArchive::PublishState() {
  if (!database_.IsActive() || setup_.smartPlayPath.empty()) return;
  PublishedSmartPlay& published = Published();
  const uint64_t changes = database_.Changes();
  if (published.published && changes == published.changes) return;
  std::optional<std::string> image = database_.Image();
  if (!image) return;
  std::lock_guard<std::mutex> guard(published.lock);
  published.image = std::move(*image);
  published.path = setup_.smartPlayPath;
  published.changes = changes;
  published.published = true;
}

int32_t SavePublishedSmartPlayState() {
  PublishedSmartPlay& published = Published();
  std::lock_guard<std::mutex> guard(published.lock);
  if (published.saved || !published.published) return 0;
  WriteLog("Writing SmartPlay state to disk...");
  const int32_t result = CSmartPlay::WriteImage(published.path, published.image);
  if (result != SMARTPLAY_OK) WriteLog(Format("Error saving SmartPlay state: %d", result));
  published.saved = true;
  return result;
}
