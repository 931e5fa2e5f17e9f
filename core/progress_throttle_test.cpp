#include "core/progress_throttle.h"

#include <gtest/gtest.h>

namespace tidvale {
namespace {

constexpr int64_t kMs = 1'000'000;

class ProgressThrottleTest : public ::testing::Test {
 protected:
  int64_t now = 0;
  ProgressThrottle throttle{[this] { return now; }};
  bool at(int64_t milliseconds, bool force = false) {
    now = milliseconds * kMs;
    return throttle.admit(force);
  }
};

TEST_F(ProgressThrottleTest, FirstEventIsNeverThrottledEvenAtClockZero) {
  EXPECT_TRUE(at(0));
}

TEST_F(ProgressThrottleTest, DropsWithinTheIntervalAndPassesAfterIt) {
  EXPECT_TRUE(at(1000));
  EXPECT_FALSE(at(1050));  // 50 ms later: dropped
  EXPECT_TRUE(at(1130));   // 130 ms after the first: sent
  EXPECT_FALSE(at(1249));
  EXPECT_TRUE(at(1250));  // exactly 120 ms: sent
}

TEST_F(ProgressThrottleTest, ForcedEventAlwaysPassesAndRestartsTheWindow) {
  EXPECT_TRUE(at(1000));
  EXPECT_TRUE(at(1001, true));  // forced, 1 ms later
  // Times 120 ms or more after the first event but less after the forced one: only a window
  // restarted by the forced event drops them.
  EXPECT_TRUE(at(1100, true));
  EXPECT_FALSE(at(1130));
  EXPECT_FALSE(at(1219));
  EXPECT_TRUE(at(1220));
}

TEST_F(ProgressThrottleTest, DroppedEventsDoNotMoveTheWindow) {
  EXPECT_TRUE(at(1000));
  for (int t = 1010; t < 1120; t += 10) EXPECT_FALSE(at(t));
  EXPECT_TRUE(at(1120));
}

}  // namespace
}  // namespace tidvale
