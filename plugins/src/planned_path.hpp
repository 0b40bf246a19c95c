// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/path.hpp"
#include "std_msgs/msg/header.hpp"

namespace orvik_nav2_plugins {

/// A path for planner_server: the header in the costmap frame, stamped now, copied into every
/// pose, as Nav2's planners do (the server chains legs of a multi-goal request through it).
inline nav_msgs::msg::Path stampedPath(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                                       const std_msgs::msg::Header& header) {
  nav_msgs::msg::Path path;
  path.header = header;
  path.poses = poses;
  for (auto& pose : path.poses) {
    pose.header = header;
  }
  return path;
}

}  // namespace orvik_nav2_plugins
