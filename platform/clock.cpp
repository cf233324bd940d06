// Both readings count from one start point taken while the program loads.
#include "platform/clock.h"

#include <chrono>

namespace {
const std::chrono::steady_clock::time_point g_start = std::chrono::steady_clock::now();
}  // namespace

float ClockSeconds() {
  return std::chrono::duration<float>(std::chrono::steady_clock::now() - g_start).count();
}

uint32_t ClockMilliseconds() {
  auto elapsed = std::chrono::steady_clock::now() - g_start;
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

uint32_t SystemTickCount() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}
