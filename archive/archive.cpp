// Building the snapshot archive list: SmartPlay.dat (when SmartPlay is active), the user's
// folder and the Snapshots folder are merged into the SmartPlay database, which then chooses.
#include "archive/archive.h"

#include <algorithm>
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
};

// `ancestors` holds the real paths of the folders that lead to this one: a symbolic link back to
// one of them would never end, while a link to a sibling is scanned as a folder of its own.
int32_t Scan(CSmartPlay& database, const std::string& path, std::vector<fs::path>& ancestors) {
  std::error_code error;
  fs::directory_iterator it(path, error);
  if (error) return ERROR_SCANNING_FILES;

  std::error_code markerError;
  const fs::file_status marker = fs::symlink_status(path + "/" + ARCHIVE_EXCLUDE_MARKER, markerError);
  if (!markerError && fs::exists(marker)) return 0;

  database.SetScanTime(static_cast<int64_t>(std::time(nullptr)));

  // Sorted by name, byte order, so that every scan adds in the same order.
  std::vector<Entry> entries;
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    std::error_code typeError;
    const bool directory = it->is_directory(typeError);
    entries.push_back({it->path().filename().string(), directory && !typeError});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });

  for (const Entry& entry : entries) {
    if (entry.name == "." || entry.name == "..") continue;
    const std::string full = path + "/" + entry.name;
    if (!entry.directory) {
      if (IsSupported(entry.name)) database.Add(full);
      continue;
    }
    std::error_code realError;
    const fs::path real = fs::canonical(full, realError);
    if (!realError && std::find(ancestors.begin(), ancestors.end(), real) != ancestors.end()) continue;
    ancestors.push_back(realError ? fs::path() : real);
    const int32_t result = Scan(database, full, ancestors);
    ancestors.pop_back();
    if (result != 0) return result;
  }
  return 0;
}

}  // namespace

int32_t CArchive::ScanFolder(const std::string& path) {
  std::error_code error;
  const fs::path real = fs::canonical(path, error);
  std::vector<fs::path> ancestors{error ? fs::path() : real};
  return Scan(database_, path, ancestors);
}

int32_t CArchive::BuildList() {
  CSmartPlay& database = database_;
  if (listBuilt_) return static_cast<int32_t>(database.RecordCount());
  listBuilt_ = true;

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
