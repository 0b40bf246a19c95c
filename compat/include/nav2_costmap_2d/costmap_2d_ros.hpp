// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/layered_costmap.hpp"
#include "nav2_util/lifecycle_node.hpp"
#include "rclcpp/rclcpp.hpp"

namespace nav2_costmap_2d {

/// The costmap node that planner_server hands to its planners, reduced to what a planner
/// reads: the master grid, the global frame and the robot footprint with its radii.
///
/// Upstream declares its parameters at construction and reads them on configure; this
/// stand-in has no lifecycle transitions, so it reads `global_frame` ("map"),
/// `robot_base_frame` ("base_link"), `robot_radius` (0.1), `footprint_padding` (0.01) and
/// `track_unknown_space` (false) at construction, and the robot starts out as the circle of
/// `robot_radius`, as upstream's does without a `footprint` parameter. The grid stays empty
/// until its holder fills it (resizeMap and setCost on getCostmap()).
class Costmap2DROS : public nav2_util::LifecycleNode {
 public:
  explicit Costmap2DROS(const rclcpp::NodeOptions& options = rclcpp::NodeOptions());
  explicit Costmap2DROS(const std::string& name);
  explicit Costmap2DROS(const std::string& name, const std::string& parent_namespace,
                        const std::string& local_namespace);
  ~Costmap2DROS() override = default;

  Costmap2D* getCostmap() { return layered_costmap_->getCostmap(); }
  std::string getGlobalFrameID() { return global_frame_; }
  std::string getBaseFrameID() { return robot_base_frame_; }
  LayeredCostmap* getLayeredCostmap() { return layered_costmap_.get(); }

  /// The footprint padded by `footprint_padding`, in the robot frame.
  std::vector<geometry_msgs::msg::Point> getRobotFootprint() { return padded_footprint_; }
  std::vector<geometry_msgs::msg::Point> getUnpaddedRobotFootprint() { return unpadded_footprint_; }
  /// Sets the robot's outline (robot frame); the padded copy goes to the layered costmap,
  /// which derives the inscribed and circumscribed radii from it.
  void setRobotFootprint(const std::vector<geometry_msgs::msg::Point>& points);

 private:
  void readParameters();

  std::unique_ptr<LayeredCostmap> layered_costmap_;
  std::string global_frame_;
  std::string robot_base_frame_;
  double footprint_padding_{0.01};
  std::vector<geometry_msgs::msg::Point> unpadded_footprint_;
  std::vector<geometry_msgs::msg::Point> padded_footprint_;
};

}  // namespace nav2_costmap_2d
