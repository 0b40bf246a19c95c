// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_msgs/msg/costmap.hpp"
#include "nav2_util/lifecycle_node.hpp"
#include "rclcpp/rclcpp.hpp"

namespace nav2_costmap_2d {

/// The latest costmap published on a topic, as smoother_server shares it with its smoothers.
/// There is no transport here: messages arrive through costmapCallback.
class CostmapSubscriber {
 public:
  CostmapSubscriber(const nav2_util::LifecycleNode::WeakPtr& parent, const std::string& topic_name);
  ~CostmapSubscriber() = default;

  /// The latest message as a costmap (one object, refilled on every call).
  /// @throw std::runtime_error "Costmap is not available" before the first message; also for
  ///        a message whose data does not hold size_x * size_y cells (upstream reads past it).
  std::shared_ptr<Costmap2D> getCostmap();
  /// Copies the latest message into the costmap.
  void toCostmap2D();
  void costmapCallback(const nav2_msgs::msg::Costmap::SharedPtr msg);

 protected:
  std::shared_ptr<Costmap2D> costmap_;
  nav2_msgs::msg::Costmap::SharedPtr costmap_msg_;
  std::string topic_name_;
  bool costmap_received_{false};
};

}  // namespace nav2_costmap_2d
