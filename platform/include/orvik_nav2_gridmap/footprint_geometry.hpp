// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "orvik_nav2_gridmap/grid_map_config.hpp"

namespace orvik_nav2_gridmap::footprint_geometry {

/// Number of vertices of the polygon that stands for a circular footprint.
constexpr int kCircleVertices = 16;

/// The robot's footprint as a polygon in the robot frame: the configured polygon, or for a
/// circle of robot_radius > 0 a regular polygon circumscribing that circle (so it covers every
/// cell the circle covers), or for a point robot the single point at the origin.
std::vector<geometry_msgs::msg::Point> footprintPolygon(const GridMapConfig& config);

/// Largest distance from the robot origin to a footprint vertex (0 for a point robot).
double circumscribedRadius(const std::vector<geometry_msgs::msg::Point>& polygon);

/// Radius of the largest circle around the robot origin inside the footprint: robot_radius for
/// a circle, else the smallest distance from the origin to a polygon edge (0 when the origin is
/// not strictly inside a polygon with at least three points).
double inscribedRadius(const GridMapConfig& config);

}  // namespace orvik_nav2_gridmap::footprint_geometry
