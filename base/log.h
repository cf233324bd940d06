// The program's log file: one time-stamped line per call, flushed at once, appended across runs.
#pragma once

#include <string>

// Closes any open log (writing its closing line), then opens `path` for appending and writes
// the start line. Returns false and leaves logging off when the file cannot be opened.
bool OpenLog(const std::string& path);

// Writes "[HH:MM:SS] message" as one line when the log is open; does nothing otherwise.
void WriteLog(const std::string& message);
// The same from a printf format; a line longer than 255 characters is cut.
__attribute__((format(printf, 1, 2))) void WriteLogFormat(const char* format, ...);

// Writes the closing line and closes the file. Also runs once at program exit.
void CloseLog();

bool IsLogOpen();

// Developer diagnostics: to stderr, only when GLIMMERBOX_DEBUG=1.
void DebugOutput(const std::string& message);
