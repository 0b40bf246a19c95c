// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "orvik_nav2_planner/astar_planner.hpp"
#include "planner_test_support.hpp"

// The wall clock of a robot jumps: NTP steps it, an operator sets it. This program replaces
// clock_gettime (the call behind std::chrono's clocks) with one whose wall clock runs an hour
// ahead at every reading while the monotonic clock stays true, and checks that the planner's
// search time does not follow the jumps.

namespace {

std::atomic<bool> g_wall_clock_jumps{false};
std::atomic<long> g_wall_clock_readings{0};

}  // namespace

extern "C" int clock_gettime(clockid_t clock, struct timespec* time) {
  using ClockGetTime = int (*)(clockid_t, struct timespec*);
  static const auto real = reinterpret_cast<ClockGetTime>(dlsym(RTLD_NEXT, "clock_gettime"));
  const int result = real(clock, time);
  if (result == 0 && clock == CLOCK_REALTIME && g_wall_clock_jumps.load()) {
    time->tv_sec += 3600 * g_wall_clock_readings.fetch_add(1);
  }
  return result;
}

namespace {

TEST(PlannerSearchTime, IsMeasuredOnTheMonotonicClock) {
  const auto map = orvik_test::gridMapFromAscii(std::vector<std::string>(20, std::string(20, '.')));
  orvik_nav2_planner::astar2::AstarPlanner planner("clock", map);
  orvik_nav2_protocol::msg::Path path;
  orvik_test::LogCapture log;
  g_wall_clock_jumps = true;
  const bool found = planner.searchPath(orvik_test::cellPose(map, 1, 1),
                                        orvik_test::cellPose(map, 18, 17), {}, path);
  g_wall_clock_jumps = false;
  ASSERT_TRUE(found);
  // A search this small takes far less than the 100 ms that make it "too long".
  EXPECT_FALSE(log.contains(spdlog::level::info, "time is too long")) << log.text();
}

// The replacement reaches the standard library's clocks: without it the test above could not
// fail.
TEST(PlannerSearchTime, WallClockReadingsJumpWhileAskedTo) {
  g_wall_clock_readings = 1;
  g_wall_clock_jumps = true;
  const auto first = std::chrono::system_clock::now();
  const auto second = std::chrono::system_clock::now();
  const auto steady_first = std::chrono::steady_clock::now();
  const auto steady_second = std::chrono::steady_clock::now();
  g_wall_clock_jumps = false;
  EXPECT_GE(second - first, std::chrono::hours(1));
  EXPECT_LT(steady_second - steady_first, std::chrono::minutes(1));
}

}  // namespace
