#pragma once

#include <memory>
#include <vector>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"

namespace Collision {

/// Footprint collision test on a grid map: a pose collides when any cell under the footprint
/// is an obstacle or off the map.
class CollisionCheck {
 public:
  explicit CollisionCheck(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map);

  /// @param flag hint that this is the first check of a sweep; never changes the answer.
  /// @return false for a colliding pose and for non-finite coordinates.
  bool isCollisionFreePose(const geometry_msgs::msg::Pose2D& pose, bool flag);

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> getMap() const;
  /// Footprint polygon in the robot frame (a circle is given as a polygon too).
  const std::vector<geometry_msgs::msg::Point>& getFootprint() const;

 private:
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  std::vector<geometry_msgs::msg::Point> footprint_;
};

}  // namespace Collision
