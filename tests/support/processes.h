// Processes for tests that run the program as a user would: a private Xvfb server, programs run
// in the background and waited for with a limit, and waiting (by polling) for a file to say
// something.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

// Runs `command` through the shell in the background; its pid (the shell execs the last command).
inline pid_t StartInBackground(const std::string& command) {
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);  // so that a test can end the whole group
    execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Polls `done` every 50 ms until it holds or `seconds` pass.
inline bool WaitFor(double seconds, const std::function<bool()>& done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// Waits for `pid` to end; its exit status, or -1 when it was still running after `seconds` (it is
// then killed) or ended on a signal.
inline int WaitForExit(pid_t pid, double seconds) {
  int status = 0;
  const bool ended = WaitFor(seconds, [&] { return waitpid(pid, &status, WNOHANG) == pid; });
  if (!ended) {
    kill(-pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool FileContains(const std::string& path, const std::string& text) {
  return ReadWholeFile(path).find(text) != std::string::npos;
}

// An Xvfb server on a free display, stopped at scope end. `screens` are Xvfb's screen options,
// e.g. {"-screen", "0", "800x600x24"}.
class XvfbServer {
 public:
  explicit XvfbServer(const std::vector<std::string>& options) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten",
                                       "tcp"};
      args.insert(args.end(), options.begin(), options.end());
      std::vector<char*> argv;
      for (std::string& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execvp("Xvfb", argv.data());
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~XvfbServer() { Stop(); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // Empty when the server did not start.
  const std::string& Display() const { return display_; }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

 private:
  pid_t pid_ = 0;
  std::string display_;
};

inline bool HaveProgram(const std::string& name) {
  return std::system(("command -v " + name + " > /dev/null 2>&1").c_str()) == 0;
}
