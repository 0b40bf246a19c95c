// SPDX-License-Identifier: Apache-2.0
#include <chrono>
#include <cmath>

#include "rclcpp/clock.hpp"
#include "rclcpp/time.hpp"

namespace rclcpp {

namespace {
constexpr int64_t kNanosecondsPerSecond = 1000000000;
}  // namespace

Time::Time(int32_t seconds, uint32_t nanoseconds, rcl_clock_type_t clock_type)
    : nanoseconds_(static_cast<int64_t>(seconds) * kNanosecondsPerSecond + nanoseconds),
      clock_type_(clock_type) {}

Time::Time(int64_t nanoseconds, rcl_clock_type_t clock_type)
    : nanoseconds_(nanoseconds), clock_type_(clock_type) {}

Time::Time(const builtin_interfaces::msg::Time& time_msg, rcl_clock_type_t clock_type)
    : Time(time_msg.sec, time_msg.nanosec, clock_type) {}

Time::operator builtin_interfaces::msg::Time() const {
  builtin_interfaces::msg::Time msg;
  // Floor division, so that times before the epoch keep a non-negative nanosecond field.
  int64_t sec = nanoseconds_ / kNanosecondsPerSecond;
  int64_t nanosec = nanoseconds_ % kNanosecondsPerSecond;
  if (nanosec < 0) {
    nanosec += kNanosecondsPerSecond;
    --sec;
  }
  msg.sec = static_cast<int32_t>(sec);
  msg.nanosec = static_cast<uint32_t>(nanosec);
  return msg;
}

double Time::seconds() const {
  return std::chrono::duration<double>(std::chrono::nanoseconds(nanoseconds_)).count();
}

int64_t Time::nanoseconds() const {
  return nanoseconds_;
}

rcl_clock_type_t Time::get_clock_type() const {
  return clock_type_;
}

Clock::Clock(rcl_clock_type_t clock_type) : clock_type_(clock_type) {}

Time Clock::now() {
  using std::chrono::duration_cast;
  using std::chrono::nanoseconds;
  const nanoseconds since_epoch =
      clock_type_ == RCL_STEADY_TIME
          ? duration_cast<nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
          : duration_cast<nanoseconds>(std::chrono::system_clock::now().time_since_epoch());
  return Time(static_cast<int64_t>(since_epoch.count()), clock_type_);
}

rcl_clock_type_t Clock::get_clock_type() const noexcept {
  return clock_type_;
}

}  // namespace rclcpp
