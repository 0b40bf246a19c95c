// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <chrono>
#include <memory>

#include "rclcpp/clock.hpp"
#include "tf2/time.h"

namespace tf2_ros {

/// The transform buffer as the plugin interfaces pass it around. The plugins here only hold the
/// pointer (the servers transform poses into the costmap frame before calling them), so no
/// lookup is offered.
class Buffer {
 public:
  using SharedPtr = std::shared_ptr<tf2_ros::Buffer>;

  explicit Buffer(rclcpp::Clock::SharedPtr clock,
                  tf2::Duration cache_time = tf2::Duration(std::chrono::seconds(10)))
      : clock_(std::move(clock)), cache_time_(cache_time) {}
  virtual ~Buffer() = default;

 private:
  rclcpp::Clock::SharedPtr clock_;
  tf2::Duration cache_time_;
};

}  // namespace tf2_ros
