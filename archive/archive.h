// The snapshot archive: the snapshot and recording files that scripts choose from, found in the
// user's archive folder and the program's Snapshots folder with all their subfolders, and kept
// in the SmartPlay database of the application's state (App().smartPlay).
//
// The list is built once per run, on the first request. The script functions use
// BuildArchiveList, SelectArchiveFile, ArchiveFileAt and FindArchiveFile; the application's
// final clean-up calls SaveSmartPlayState.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A folder holding a file or folder of this name is skipped with everything below it.
inline constexpr const char* ARCHIVE_EXCLUDE_MARKER = ".GlimmerboxExcludeMe";

// Builds the archive list if this run has not built it yet; returns the number of files.
int32_t BuildArchiveList();

// Adds the supported files of `path` and its subfolders to the database. Returns 0, or 2
// (ErrorScanningFiles) when a folder cannot be listed, which also ends the scan of every folder
// above it.
int32_t ScanFolder(const std::string& path);

// The SmartPlay choice of the next file, none when the archive is empty.
std::optional<std::string> SelectArchiveFile();

// The file at `index` of the list's current order, none when out of range; counts untouched.
std::optional<std::string> ArchiveFileAt(int64_t index);

// The first file, in the list's current order, whose name after the last '/' equals `name`
// without regard to letter case.
std::optional<std::string> FindArchiveFile(std::string_view name);

// Saves SmartPlay.dat to the application's SmartPlay path when SmartPlay is active this run.
// Returns the save result, 0 when there was nothing to save.
int32_t SaveSmartPlayState();

// Keeps a copy of the database as it stands, when it changed since the last copy; the frame
// cycle calls it between frames.
void PublishSmartPlayState();
// Saves the last copy, from any thread, unless this run's final save is done already: the close
// of a saver whose own thread cannot get there.
int32_t SavePublishedSmartPlayState();
