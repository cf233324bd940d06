// Signals reach the program through two pipes: one wakes the watchdog, the other stays readable
// so that every later sleep of the frame loop returns at once. Only async-signal-safe calls in the
// handler; everything the watchdog reads is atomic or set before it starts.
#include "platform/end_watch.h"

#include <SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {

enum CloseState { RUNNING, CLOSING, CLOSED, WATCHDOG_CLOSING };

int g_watchPipe[2] = {-1, -1};
int g_wakePipe[2] = {-1, -1};
std::atomic<int> g_signal{0};
std::atomic<int> g_state{RUNNING};
std::atomic<int> g_child{0};
void (*g_emergencyClose)() = nullptr;

// One byte a signal, another when the saver's thread begins a close of its own.
constexpr char kSignalled = 1, kClosing = 2;

void OnEndSignal(int signal) {
  const int saved = errno;
  int none = 0;
  g_signal.compare_exchange_strong(none, signal);
  if (::write(g_watchPipe[1], &kSignalled, 1) < 0) {}
  if (::write(g_wakePipe[1], &kSignalled, 1) < 0) {}
  errno = saved;
}

void StopChildAndExit() {
  if (const int child = g_child.load(); child > 0) ::kill(child, SIGTERM);
  ::_exit(0);
}

void Watch() {
  using Clock = std::chrono::steady_clock;
  const auto after = [](double seconds) {
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(seconds));
  };
  auto closeBy = Clock::time_point::max(), exitBy = Clock::time_point::max();
  bool signalled = false, closing = false;
  for (;;) {
    const auto next = std::min(closeBy, exitBy);
    int timeout = -1;
    if (next != Clock::time_point::max()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
      timeout = static_cast<int>(std::max<int64_t>(left.count(), 0));
    }
    pollfd watch{g_watchPipe[0], POLLIN, 0};
    if (::poll(&watch, 1, timeout) > 0) {
      char byte = 0;
      if (::read(g_watchPipe[0], &byte, 1) == 1) {
        if (byte == kSignalled && !signalled) {
          signalled = true;
          closeBy = after(END_WATCH_CLOSE_AFTER);
          exitBy = std::min(exitBy, after(END_WATCH_EXIT_AFTER));
        } else if (byte == kClosing && !closing) {
          closing = true;
          exitBy = std::min(exitBy, after(END_WATCH_TEARDOWN));
        }
      }
    }
    const auto now = Clock::now();
    if (now >= closeBy) {
      closeBy = Clock::time_point::max();
      int running = RUNNING;
      if (g_state.compare_exchange_strong(running, WATCHDOG_CLOSING)) {
        if (g_emergencyClose) g_emergencyClose();
        StopChildAndExit();
      }
    }
    if (now >= exitBy) {
      // Closed but not gone (stuck on the way out), or still closing: the log gets its last
      // lines if it has not had them.
      if (g_state.load() != CLOSED && g_emergencyClose) g_emergencyClose();
      StopChildAndExit();
    }
  }
}

bool MakePipe(int fds[2]) { return ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0; }

}  // namespace

void StartEndWatch(void (*emergencyClose)()) {
  if (g_watchPipe[0] >= 0) return;
  if (!MakePipe(g_watchPipe) || !MakePipe(g_wakePipe)) return;
  g_emergencyClose = emergencyClose;
  // SDL would otherwise turn these signals into a quit event that only a running loop reads.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  struct sigaction action {};
  action.sa_handler = OnEndSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1}) ::sigaction(signal, &action, nullptr);
  std::thread(Watch).detach();
}

bool EndRequested() { return g_signal.load() != 0; }

int EndSignal() { return g_signal.load(); }

void SleepUnlessEnded(double seconds) {
  if (seconds <= 0) return;
  if (g_wakePipe[0] < 0) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return;
  }
  const auto until = std::chrono::steady_clock::now() +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(seconds));
  for (;;) {
    const auto left = std::chrono::duration<double, std::milli>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0 || EndRequested()) return;
    pollfd wake{g_wakePipe[0], POLLIN, 0};
    // poll counts whole milliseconds; the last fraction is slept plainly.
    const int ms = static_cast<int>(left.count());
    if (ms == 0) {
      std::this_thread::sleep_for(left);
      return;
    }
    if (::poll(&wake, 1, ms) > 0) return;
  }
}

bool BeginNormalClose() {
  int running = RUNNING;
  if (g_state.compare_exchange_strong(running, CLOSING)) {
    if (g_watchPipe[1] >= 0 && ::write(g_watchPipe[1], &kClosing, 1) < 0) {}
    return true;
  }
  return running != WATCHDOG_CLOSING;
}

void NormalCloseFinished() { g_state.store(CLOSED); }

void WatchChildProcess(int pid) { g_child.store(pid); }
