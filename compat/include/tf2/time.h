// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <chrono>

namespace tf2 {

using Duration = std::chrono::nanoseconds;
using TimePoint = std::chrono::time_point<std::chrono::system_clock, Duration>;

}  // namespace tf2
