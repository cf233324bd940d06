#include "platform/clock.h"

#include <gtest/gtest.h>

#include <thread>

TEST(Clock, CountsForwardFromProgramStart) {
  const float seconds = ClockSeconds();
  const uint32_t milliseconds = ClockMilliseconds();
  EXPECT_GE(seconds, 0.0f);
  EXPECT_LT(seconds, 60.0f);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_GE(ClockSeconds() - seconds, 0.019f);
  EXPECT_GE(ClockMilliseconds() - milliseconds, 19u);
}
