// The program's clock: time since the program started, from a monotonic source, so it never jumps
// with the time of day and its resolution does not coarsen as the machine's uptime grows.
#pragma once

#include <cstdint>

// Seconds since program start, single precision: the machine clock and the application time.
float ClockSeconds();

// Whole milliseconds since program start, for coarse intervals and seeding (a tick count).
uint32_t ClockMilliseconds();
