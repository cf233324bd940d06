// The log keeps one C stream for the whole program; lines are written whole and flushed so the
// file is complete up to the last line even when the program is killed. A lock keeps the lines of
// the watchdog's emergency close (another thread) whole.
#include "base/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

namespace {

std::FILE* g_log = nullptr;
// Never destroyed: the watchdog may write while static objects go away at exit.
std::mutex& LogLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

void WriteLine(const std::string& message) {
  if (!g_log) return;
  std::time_t now = std::time(nullptr);
  char stamp[16] = "00:00:00";
  std::tm local{};
  if (localtime_r(&now, &local)) std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
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

void CloseUnlocked() {
  if (!g_log) return;
  WriteLine("Log is being closed.");
  std::fclose(g_log);
  g_log = nullptr;
}

// Closes the log at program exit so every run ends with the closing line.
struct LogCloser {
  ~LogCloser() { CloseLog(); }
} g_closer;

}  // namespace

bool OpenLog(const std::string& path) {
  std::lock_guard<std::mutex> guard(LogLock());
  CloseUnlocked();
  g_log = std::fopen(path.c_str(), "a+");
  if (!g_log) return false;
  WriteLine("*** Logging of Glimmerbox 1.01 started");
  return true;
}

void WriteLogFormat(const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  WriteLog(line);
}

void WriteLog(const std::string& message) {
  std::lock_guard<std::mutex> guard(LogLock());
  WriteLine(message);
}

void CloseLog() {
  std::lock_guard<std::mutex> guard(LogLock());
  CloseUnlocked();
}

bool IsLogOpen() {
  std::lock_guard<std::mutex> guard(LogLock());
  return g_log != nullptr;
}

void DebugOutput(const std::string& message) {
  static const bool enabled = [] {
    const char* value = std::getenv("GLIMMERBOX_DEBUG");
    return value && std::strcmp(value, "1") == 0;
  }();
  if (enabled) std::fputs(message.c_str(), stderr);
}
