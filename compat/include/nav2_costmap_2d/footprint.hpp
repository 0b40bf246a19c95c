// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <vector>

#include "geometry_msgs/msg/point.hpp"

namespace nav2_costmap_2d {

/// Smallest distance from the robot centre to the footprint's outline (its vertices and edges)
/// and largest distance to a vertex. An empty footprint leaves both outputs unchanged.
void calculateMinAndMaxDistances(const std::vector<geometry_msgs::msg::Point>& footprint,
                                 double& min_dist, double& max_dist);

/// Moves each vertex `padding` further from the robot centre along each axis.
void padFootprint(std::vector<geometry_msgs::msg::Point>& footprint, double padding);

/// A 16-vertex polygon approximating a circle of `radius`.
std::vector<geometry_msgs::msg::Point> makeFootprintFromRadius(double radius);

}  // namespace nav2_costmap_2d
