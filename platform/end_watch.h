// Ending on a signal. SIGTERM (how screen-saver daemons end their hacks), SIGINT, SIGHUP and
// SIGUSR1 (xsecurelock's reset) are caught and noted for the frame loop, which then closes the
// saver the normal way. A watchdog thread, started before the program lowers its priority, sees
// to it that the process is gone within a second of the signal even when the saver's own thread
// cannot get there (an idle-priority thread on a busy machine, or one stuck in a driver): it then
// runs the emergency close it was given, stops any child process and exits with status 0.
//
//   StartEndWatch(EmergencyClose);       // first thing in main
//   ... each loop turn: if (EndRequested()) close ...
//   if (!BeginNormalClose()) ...         // false: the watchdog is closing, stand still
//   ... close, last log line ...
//   NormalCloseFinished();
#pragma once

// Installs the signal handlers and starts the watchdog; `emergencyClose` runs on the watchdog's
// thread and must only touch what is safe to touch while the saver's thread is anywhere.
void StartEndWatch(void (*emergencyClose)());

// Whether an end signal has arrived, and which (0 none).
bool EndRequested();
int EndSignal();

// Sleeps up to `seconds`, returning at once when an end signal has arrived (or arrives).
void SleepUnlessEnded(double seconds);

// The saver's thread starts its close: false when the watchdog already closes in its place (the
// caller then waits for the exit). Only the first call counts; from then on the process has
// END_WATCH_TEARDOWN seconds to be gone.
bool BeginNormalClose();
// The normal close is done (log closed): what is left is the exit itself.
void NormalCloseFinished();

// A child process (a private X server) that the emergency exit stops too; 0 forgets it.
void WatchChildProcess(int pid);

// How long the saver's thread has after a signal before the watchdog closes in its place, and
// the limit after which the process exits in any case, in seconds; and the limit for a close that
// began without a signal (a key press, a window gone) to be over, so that no teardown can hang.
constexpr double END_WATCH_CLOSE_AFTER = 0.8;
constexpr double END_WATCH_EXIT_AFTER = 1.0;
constexpr double END_WATCH_TEARDOWN = 5.0;
