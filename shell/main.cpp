// The program entry: the end watch, the application object, the two named locks, then the saver.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "base/log.h"
#include "platform/end_watch.h"
#include "platform/lock_file.h"
#include "platform/x11_errors.h"
#include "shell/glimmerbox.h"

namespace {

// The watchdog's close, when the saver's own thread did not get to it in time: the SmartPlay
// database as the last whole frame left it, and the log's usual last lines. Scripts, machines
// and devices go with the process.
void EmergencyClose() {
  WriteLog("Signal " + std::to_string(EndSignal()) +
           ": the saver did not stop within its time; closing in its place");
  if (!FinalCleanupDone()) {
    WriteLog("Peforming final cleanup");
    SavePublishedSmartPlayState();
  }
  WriteLog("Glimmerbox closing normally with return code of 0");
  CloseLog();
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything can take long, and before the saver lowers its own priority.
  StartEndWatch(EmergencyClose);
  InstallX11ErrorHandlers();

  auto app = std::make_unique<CGlimmerbox>();
  // Held until exit so that other instances can see this one; never a reason to refuse a start.
  LockFile local("Corvane.Glimmerbox");
  LockFile global("Global\\Corvane.GlimmerboxGlb");

  const std::vector<std::string> args(argv + 1, argv + argc);
  const int32_t started = app->StartSaver(args);
  if (started == SAVER_E_USAGE) return 2;
  if (started < 0) {
    WriteLog("Couldn't create Glimmerbox class");
    app->DisplayErrorMsg(started);
    global.Release();
    app.reset();
    return 0;
  }
  const int32_t result = app->RunSaver();
  char line[80];
  std::snprintf(line, sizeof line, "Glimmerbox closing normally with return code of %d", result);
  WriteLog(line);
  global.Release();
  app.reset();
  CloseLog();
  NormalCloseFinished();
  return result;
}
