// The program's clock: time since the program started, from a monotonic source, so it never jumps
// with the time of day and its resolution does not coarsen as the machine's uptime grows.
#pragma once

#include <cstdint>

// Seconds since program start, single precision: the machine clock and the application time.
float ClockSeconds();

// Whole milliseconds since program start, for coarse intervals.
uint32_t ClockMilliseconds();

// The system's tick count: milliseconds since the machine started, wrapping at 32 bits. Two
// programs started in the same second read different values, which makes it a seed.
uint32_t SystemTickCount();
