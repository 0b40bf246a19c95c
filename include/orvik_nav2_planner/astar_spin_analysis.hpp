// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <unordered_map>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_gridmap/spin_collision.hpp"
#include "orvik_nav2_planner/astar_node.hpp"

namespace orvik_nav2_planner::astar2 {

/// Rates, for cells in a ring around the start of a search, whether an in-place rotation from
/// the start heading can face them without collision. Answers are cached per cell until the
/// next centre is set.
class AstarSpinAnalysis {
 public:
  /// Ratings returned by isSpinFreeDirection.
  enum Rating : int {
    /// Outside the analysed ring: nothing is said.
    kNotAnalysed = 0,
    /// Facing the node takes a rotation that is blocked both ways.
    kBlocked = 1,
    /// The node can be faced.
    kReachable = 2,
  };

  AstarSpinAnalysis(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map,
                    std::shared_ptr<Collision::SpinCollision> spin_checker);

  /// The node's cell as a pose in cell units: position (x, y, 0), identity orientation, no frame.
  geometry_msgs::msg::PoseStamped coverteToGeometryPoseStampedWithoutMap(
      const AstarNode* node) const;
  /// The node's cell centre in world coordinates with the given orientation and the map frame.
  geometry_msgs::msg::PoseStamped coverteToGeometryPoseStamped(
      const AstarNode* node, const geometry_msgs::msg::Quaternion& orientation) const;

  /// true when the node lies in the analysed ring (1 to 3 cells beyond the radius).
  bool isNeedToAnalysis(const AstarNode* node) const;

  /// Sets the centre and heading of the analysis, clears the cache and finds the free rotation
  /// range at the centre. @return false when the robot cannot rotate at the centre.
  bool setEvaluationCenterAndCheckCollision(const AstarNode* node,
                                            const geometry_msgs::msg::Quaternion& orientation,
                                            double radius);

  /// @return kNotAnalysed, kBlocked or kReachable for the direction from the centre to the node.
  int isSpinFreeDirection(const AstarNode* node);

  double getMinFreeAngle() const { return min_free_angle_; }
  double getMaxFreeAngle() const { return max_free_angle_; }
  double getRadius() const { return radius_; }
  const geometry_msgs::msg::PoseStamped& getCenterWorld() const { return center_world_; }
  const geometry_msgs::msg::PoseStamped& getCenterCells() const { return center_cells_; }
  std::size_t cacheSize() const { return direction_cache_.size(); }

 private:
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  std::shared_ptr<Collision::SpinCollision> spin_checker_;
  // NaN until the first centre is set, which makes every ring test fail.
  double radius_;
  geometry_msgs::msg::PoseStamped center_world_;
  geometry_msgs::msg::PoseStamped center_cells_;
  double max_free_angle_{0.0};
  double min_free_angle_{0.0};
  std::unordered_map<int, bool> direction_cache_;
};

}  // namespace orvik_nav2_planner::astar2
