// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <vector>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"

namespace Collision {

/// Footprint collision test on a grid map: a pose collides when any cell under the footprint
/// is an obstacle (MultiGridMap::isObstacle) or off the map. A cell is under the footprint when
/// its square touches the footprint polygon (exact for convex footprints, conservative for
/// concave ones); a point robot covers the cell it stands in.
class CollisionCheck {
 public:
  /// @throw std::invalid_argument when the map or its layers are missing.
  explicit CollisionCheck(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map);

  /// @param flag hint that this is the first check of a sweep; never changes the answer.
  /// @return false for a colliding pose and for non-finite coordinates.
  bool isCollisionFreePose(const geometry_msgs::msg::Pose2D& pose, bool flag);

  /// The map the checker was built over.
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> getMap() const;
  /// Largest distance from the robot origin to the footprint (0 for a point robot).
  double getCircumscribedRadius() const;
  /// true when every rotation of the robot at (x, y) is free, decided from the distance field
  /// alone; false means "not known", not "colliding". Non-finite input gives false.
  bool isFullTurnSurelyFree(double x, double y) const;
  /// Footprint polygon in the robot frame (a circle is given as a polygon too).
  const std::vector<geometry_msgs::msg::Point>& getFootprint() const;

 private:
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  std::vector<geometry_msgs::msg::Point> footprint_;
  // Held to skip a shared_ptr copy per check; a GridMapROS never swaps its layers.
  std::shared_ptr<orvik_nav2_gridmap::MultiGridMap> grid_;
  double circumscribed_radius_{0.0};
};

}  // namespace Collision
