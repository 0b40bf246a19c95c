// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

#include "nav2_util/lifecycle_node.hpp"
#include "tf2_ros/buffer.h"

namespace nav2_costmap_2d {

/// The robot footprint published by the costmap node, as smoother_server passes it to its
/// smoothers. Nav2's own smoothers ignore it and so do ours, so only the type is provided.
class FootprintSubscriber {
 public:
  FootprintSubscriber(const nav2_util::LifecycleNode::WeakPtr& parent,
                      const std::string& topic_name, tf2_ros::Buffer& tf,
                      std::string robot_base_frame = "base_link", double transform_tolerance = 0.1)
      : tf_(tf),
        topic_name_(topic_name),
        robot_base_frame_(std::move(robot_base_frame)),
        transform_tolerance_(transform_tolerance) {
    (void)parent;
  }
  ~FootprintSubscriber() = default;

 protected:
  tf2_ros::Buffer& tf_;
  std::string topic_name_;
  std::string robot_base_frame_;
  double transform_tolerance_;
};

}  // namespace nav2_costmap_2d
