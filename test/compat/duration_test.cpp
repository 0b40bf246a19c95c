// SPDX-License-Identifier: Apache-2.0
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "rclcpp/duration.hpp"

namespace {

using rclcpp::Duration;

TEST(DurationFromSeconds, ConvertsInRangeAndSaturatesBeyondInt64Nanoseconds) {
  EXPECT_EQ(Duration::from_seconds(2.5).nanoseconds(), 2500000000LL);
  EXPECT_EQ(Duration::from_seconds(-1.0).nanoseconds(), -1000000000LL);
  EXPECT_EQ(Duration::from_seconds(0.0).nanoseconds(), 0);
  // 1e10 s is 1e19 ns, beyond int64: a time limit that large means "no limit", not a wrap
  // into a negative duration (nor undefined behaviour).
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  for (const double seconds : {1e10, 9.3e9, 1e300, std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(Duration::from_seconds(seconds).nanoseconds(), kMax) << seconds;
    EXPECT_EQ(Duration::from_seconds(-seconds).nanoseconds(), kMin) << -seconds;
  }
  EXPECT_GT(Duration::from_seconds(9.2e9).nanoseconds(), 0);
  EXPECT_EQ(Duration::from_seconds(std::numeric_limits<double>::quiet_NaN()).nanoseconds(), 0);
}

}  // namespace
