// Building the snapshot archive list: SmartPlay.dat (when SmartPlay is active), the user's
// folder and the Snapshots folder are merged into the SmartPlay database, which then chooses.
#include "archive/archive.h"

#include <algorithm>
#include <cctype>
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
#include "presentation/text_list.h"
#include "shell/app_state.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t ERROR_SCANNING_FILES = 2;

// The snapshot types the loader knows.
constexpr const char* SUPPORTED_EXTENSIONS[] = {"sna", "z80", "rzx", "scr", "szx", "rom"};

std::string Format(const char* format, auto... args) {
  std::string text(static_cast<size_t>(std::max(0, std::snprintf(nullptr, 0, format, args...))), '\0');
  std::snprintf(text.data(), text.size() + 1, format, args...);
  return text;
}

bool IsSupported(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string_view extension = std::string_view(name).substr(dot + 1);
  return std::any_of(std::begin(SUPPORTED_EXTENSIONS), std::end(SUPPORTED_EXTENSIONS), [&](std::string_view known) {
    return std::equal(known.begin(), known.end(), extension.begin(), extension.end(), [](char a, char b) {
      return a == std::tolower(static_cast<unsigned char>(b));
    });
  });
}

struct Entry {
  std::string name;
  bool directory;
};

// `ancestors` holds the real paths of the folders that lead to this one: a symbolic link back to
// one of them would never end, while a link to a sibling is scanned as a folder of its own.
int32_t Scan(const std::string& path, std::vector<fs::path>& ancestors) {
  std::error_code error;
  fs::directory_iterator it(path, error);
  if (error) return ERROR_SCANNING_FILES;

  std::error_code markerError;
  const fs::file_status marker = fs::symlink_status(path + "/" + ARCHIVE_EXCLUDE_MARKER, markerError);
  if (!markerError && fs::exists(marker)) return 0;

  App().smartPlay.SetScanTime(static_cast<int64_t>(std::time(nullptr)));

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
      if (IsSupported(entry.name)) App().smartPlay.Add(full);
      continue;
    }
    std::error_code realError;
    const fs::path real = fs::canonical(full, realError);
    if (!realError && std::find(ancestors.begin(), ancestors.end(), real) != ancestors.end()) continue;
    ancestors.push_back(realError ? fs::path() : real);
    const int32_t result = Scan(full, ancestors);
    ancestors.pop_back();
    if (result != 0) return result;
  }
  return 0;
}

}  // namespace

int32_t ScanFolder(const std::string& path) {
  std::error_code error;
  const fs::path real = fs::canonical(path, error);
  std::vector<fs::path> ancestors{error ? fs::path() : real};
  return Scan(path, ancestors);
}

int32_t BuildArchiveList() {
  AppState& app = App();
  CSmartPlay& database = app.smartPlay;
  if (app.archiveListBuilt) return static_cast<int32_t>(database.RecordCount());
  app.archiveListBuilt = true;

  const bool active = app.settings.smartPlay != 0 && app.SoundMode();
  database.SetActive(active);
  database.Clear();

  int32_t loadResult = SMARTPLAY_CANNOT_OPEN;
  if (active) loadResult = database.Load(app.smartPlayPath);

  // The user's folder belongs to SmartPlay: without it only the Snapshots folder is used.
  if (!app.settings.archiveFolder.empty() && active) {
    ScanFolder(app.settings.archiveFolder);
    WriteLog(Format("Found %d supported snapshots in user's archive folder \"%s\"",
                    static_cast<int32_t>(database.RecordCount()), app.settings.archiveFolder.c_str()));
  }

  if (app.settings.includeDefaultArchive != 0 || database.RecordCount() == 0) {
    const uint32_t before = database.RecordCount();
    ScanFolder(app.folders.snapshots);
    WriteLog(Format("Found %d supported snapshots in the Glimmerbox Snapshots folder",
                    static_cast<int32_t>(database.RecordCount() - before)));
  }

  database.Finish();

  const auto count = static_cast<int32_t>(database.RecordCount());
  if (active)
    AddText(Format("[SmartPlay %s. %d files, %d added, %d removed]", loadResult == SMARTPLAY_OK ? "restored" : "created",
                   count, static_cast<int32_t>(database.AddedCount()), static_cast<int32_t>(database.RemovedCount())),
            10.0f, 45.0f, 5.0f);

  WriteLog(Format("There are %d available snapshots.", count));
  return count;
}

std::optional<std::string> SelectArchiveFile() {
  BuildArchiveList();
  return App().smartPlay.Select(App().random);
}

std::optional<std::string> ArchiveFileAt(int64_t index) {
  BuildArchiveList();
  return App().smartPlay.RecordAt(index);
}

std::optional<std::string> FindArchiveFile(std::string_view name) {
  BuildArchiveList();
  return App().smartPlay.FindByName(name);
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

int32_t SaveSmartPlayState() {
  AppState& app = App();
  // Without an application-data folder there is nowhere to keep the history.
  if (!app.smartPlay.IsActive() || app.smartPlayPath.empty()) return 0;
  PublishedSmartPlay& published = Published();
  std::lock_guard<std::mutex> guard(published.lock);
  const int32_t result = app.smartPlay.Save(app.smartPlayPath);
  if (result != SMARTPLAY_OK) WriteLog(Format("Error saving SmartPlay state: %d", result));
  published.saved = true;
  return result;
}

void PublishSmartPlayState() {
  AppState& app = App();
  if (!app.smartPlay.IsActive() || app.smartPlayPath.empty()) return;
  PublishedSmartPlay& published = Published();
  const uint64_t changes = app.smartPlay.Changes();
  if (published.published && changes == published.changes) return;
  std::optional<std::string> image = app.smartPlay.Image();
  if (!image) return;
  std::lock_guard<std::mutex> guard(published.lock);
  published.image = std::move(*image);
  published.path = app.smartPlayPath;
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
