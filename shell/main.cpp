// The program entry: the application object, the two named locks, then the saver.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/lock_file.h"
#include "shell/glimmerbox.h"
#include "shell/log.h"

int main(int argc, char** argv) {
  auto app = std::make_unique<CGlimmerbox>();
  // Held until exit so that other instances can see this one; never a reason to refuse a start.
  LockFile local("Corvane.Glimmerbox");
  LockFile global("Global\\Corvane.GlimmerboxGlb");

  const std::vector<std::string> args(argv + 1, argv + argc);
  const int32_t started = app->StartSaver(args);
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
  return result;
}
