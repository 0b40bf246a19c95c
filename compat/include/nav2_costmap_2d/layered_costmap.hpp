// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace nav2_costmap_2d {

/// The master grid of a costmap node and the robot footprint it was inflated for. Upstream
/// also stacks the layer plugins that fill the grid; here the grid is filled by whoever holds
/// the costmap (tests, the planning tool).
class LayeredCostmap {
 public:
  LayeredCostmap(std::string global_frame, bool rolling_window, bool track_unknown);
  ~LayeredCostmap() = default;
  LayeredCostmap(const LayeredCostmap&) = delete;
  LayeredCostmap& operator=(const LayeredCostmap&) = delete;

  Costmap2D* getCostmap() { return &costmap_; }
  std::string getGlobalFrameID() const { return global_frame_; }
  bool isRolling() { return rolling_window_; }
  bool isTrackingUnknown() { return costmap_.getDefaultValue() == 255; }

  /// Stores the footprint and derives the inscribed and circumscribed radii from it.
  void setFootprint(const std::vector<geometry_msgs::msg::Point>& footprint_spec);
  const std::vector<geometry_msgs::msg::Point>& getFootprint() { return footprint_; }
  double getCircumscribedRadius() { return circumscribed_radius_; }
  double getInscribedRadius() { return inscribed_radius_; }

 private:
  Costmap2D costmap_;
  std::string global_frame_;
  bool rolling_window_;
  std::vector<geometry_msgs::msg::Point> footprint_;
  double circumscribed_radius_{1.0};
  double inscribed_radius_{0.1};
};

}  // namespace nav2_costmap_2d
