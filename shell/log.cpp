// The log keeps one C stream for the whole program; lines are written whole and flushed so the
// file is complete up to the last line even when the program is killed.
#include "shell/log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

std::FILE* g_log = nullptr;

// Closes the log at program exit so every run ends with the closing line.
struct LogCloser {
  ~LogCloser() { CloseLog(); }
} g_closer;

}  // namespace

bool OpenLog(const std::string& path) {
  CloseLog();
  g_log = std::fopen(path.c_str(), "a+");
  if (!g_log) return false;
  WriteLog("*** Logging of Glimmerbox 1.01 started");
  return true;
}

void WriteLog(const std::string& message) {
  if (!g_log) return;
  std::time_t now = std::time(nullptr);
  char stamp[16] = "00:00:00";
  if (const std::tm* local = std::localtime(&now)) std::strftime(stamp, sizeof stamp, "%H:%M:%S", local);
  std::string line;
  line.reserve(message.size() + 12);
  line += '[';
  line += stamp;
  line += "] ";
  line += message;
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), g_log);
  std::fflush(g_log);
}

void CloseLog() {
  if (!g_log) return;
  WriteLog("Log is being closed.");
  std::fclose(g_log);
  g_log = nullptr;
}

bool IsLogOpen() { return g_log != nullptr; }

void DebugOutput(const std::string& message) {
  static const bool enabled = [] {
    const char* value = std::getenv("GLIMMERBOX_DEBUG");
    return value && std::strcmp(value, "1") == 0;
  }();
  if (enabled) std::fputs(message.c_str(), stderr);
}
