// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace nav2_util {

/// Nav2's lifecycle node base, as its servers (planner_server, smoother_server) derive from it.
/// Upstream adds bond handling and parameter helpers that no plugin calls.
class LifecycleNode : public rclcpp_lifecycle::LifecycleNode {
 public:
  LifecycleNode(const std::string& node_name, const std::string& ns = "",
                const rclcpp::NodeOptions& options = rclcpp::NodeOptions())
      : rclcpp_lifecycle::LifecycleNode(node_name, ns, options) {}
  virtual ~LifecycleNode() = default;
};

}  // namespace nav2_util
