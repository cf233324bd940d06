// The end watch in a child process of its own (it installs process-wide signal handlers): a
// saver thread that never gets to its close, or never gets out of it, still ends with status 0
// within the watch's limits, after the emergency close.
#include "platform/end_watch.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

int g_marker = -1;
void EmergencyClose() {
  const char byte = 'E';
  if (write(g_marker, &byte, 1) < 0) {}
}

struct Ending {
  int status = -1;
  double seconds = 0;
  bool emergencyRan = false;
};

// Forks a child that starts the watch and then does `child`; waits for it to end.
template <typename Child>
Ending RunChild(Child child) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    g_marker = fds[1];
    StartEndWatch(EmergencyClose);
    child();
    _exit(3);
  }
  close(fds[1]);
  Ending ending;
  int status = 0;
  waitpid(pid, &status, 0);
  ending.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ending.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  char byte = 0;
  ending.emergencyRan = read(fds[0], &byte, 1) == 1 && byte == 'E';
  close(fds[0]);
  return ending;
}

void SleepFor(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

}  // namespace

TEST(EndWatch, ASaverThreadThatNeverClosesIsClosedForItWithinASecond) {
  const Ending ending = RunChild([] {
    raise(SIGTERM);
    SleepFor(30);  // stuck in a frame
  });
  EXPECT_EQ(ending.status, 0);
  EXPECT_TRUE(ending.emergencyRan);
  EXPECT_LT(ending.seconds, END_WATCH_EXIT_AFTER + 0.5);
}

TEST(EndWatch, ANormalCloseInTimeIsLeftAlone) {
  const Ending ending = RunChild([] {
    raise(SIGHUP);
    SleepUnlessEnded(30);  // the frame loop's sleep returns at once
    if (!BeginNormalClose()) SleepFor(30);
    NormalCloseFinished();
    _exit(0);
  });
  EXPECT_EQ(ending.status, 0);
  EXPECT_FALSE(ending.emergencyRan);
  EXPECT_LT(ending.seconds, 0.5);
}

TEST(EndWatch, ATeardownThatHangsAfterAKeyPressEndsToo) {
  const Ending ending = RunChild([] {
    ASSERT_TRUE(BeginNormalClose());  // no signal: the user ended the saver
    SleepFor(60);                      // stuck on the way out
  });
  EXPECT_EQ(ending.status, 0);
  EXPECT_TRUE(ending.emergencyRan) << "the log still gets its last lines";
  EXPECT_LT(ending.seconds, END_WATCH_TEARDOWN + 1);
}
