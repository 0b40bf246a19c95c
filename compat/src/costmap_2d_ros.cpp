// SPDX-License-Identifier: Apache-2.0
#include "nav2_costmap_2d/costmap_2d_ros.hpp"

#include "nav2_costmap_2d/footprint.hpp"
#include "nav2_util/node_utils.hpp"

namespace nav2_costmap_2d {

Costmap2DROS::Costmap2DROS(const rclcpp::NodeOptions& options)
    : nav2_util::LifecycleNode("costmap", "", options) {
  readParameters();
}

Costmap2DROS::Costmap2DROS(const std::string& name) : Costmap2DROS(name, "/", name) {}

Costmap2DROS::Costmap2DROS(const std::string& name, const std::string& parent_namespace,
                           const std::string& /*local_namespace*/)
    : nav2_util::LifecycleNode(name, parent_namespace) {
  readParameters();
}

void Costmap2DROS::readParameters() {
  declare_parameter("global_frame", rclcpp::ParameterValue(std::string("map")));
  declare_parameter("robot_base_frame", rclcpp::ParameterValue(std::string("base_link")));
  declare_parameter("robot_radius", rclcpp::ParameterValue(0.1));
  declare_parameter("footprint_padding", rclcpp::ParameterValue(0.01));
  declare_parameter("track_unknown_space", rclcpp::ParameterValue(false));

  get_parameter("global_frame", global_frame_);
  get_parameter("robot_base_frame", robot_base_frame_);
  double robot_radius = 0.1;
  get_parameter("robot_radius", robot_radius);
  get_parameter("footprint_padding", footprint_padding_);
  bool track_unknown_space = false;
  get_parameter("track_unknown_space", track_unknown_space);

  layered_costmap_ = std::make_unique<LayeredCostmap>(global_frame_, /*rolling_window=*/false,
                                                      track_unknown_space);
  setRobotFootprint(makeFootprintFromRadius(robot_radius));
}

void Costmap2DROS::setRobotFootprint(const std::vector<geometry_msgs::msg::Point>& points) {
  unpadded_footprint_ = points;
  padded_footprint_ = points;
  padFootprint(padded_footprint_, footprint_padding_);
  layered_costmap_->setFootprint(padded_footprint_);
}

}  // namespace nav2_costmap_2d
