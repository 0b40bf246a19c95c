// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>

namespace nav2_util {

constexpr int8_t OCC_GRID_UNKNOWN = -1;
constexpr int8_t OCC_GRID_FREE = 0;
constexpr int8_t OCC_GRID_OCCUPIED = 100;

}  // namespace nav2_util
