// SPDX-License-Identifier: Apache-2.0
#include "nav2_costmap_2d/layered_costmap.hpp"

#include <utility>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/footprint.hpp"

namespace nav2_costmap_2d {

LayeredCostmap::LayeredCostmap(std::string global_frame, bool rolling_window, bool track_unknown)
    : global_frame_(std::move(global_frame)), rolling_window_(rolling_window) {
  costmap_.setDefaultValue(track_unknown ? NO_INFORMATION : FREE_SPACE);
}

void LayeredCostmap::setFootprint(const std::vector<geometry_msgs::msg::Point>& footprint_spec) {
  footprint_ = footprint_spec;
  calculateMinAndMaxDistances(footprint_spec, inscribed_radius_, circumscribed_radius_);
}

}  // namespace nav2_costmap_2d
