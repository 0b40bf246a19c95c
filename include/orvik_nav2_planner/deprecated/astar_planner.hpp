// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "nav_msgs/msg/path.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_planner/deprecated/astar_node.hpp"
#include "orvik_nav2_planner/deprecated/path_constraint.hpp"

namespace orvik_nav2_planner::astar {

/// The previous generation of the grid A* planner: an 8-connected search from a start pose to
/// a goal pose over the master costmap of a grid map, returning the path of cell centres.
/// One request at a time; the nodes and tables of the last search stay readable until the
/// next one.
///
/// Threads: one planner per thread; a planner takes no locks. Planners on different threads
/// may share the grid map, the telemetry and the logging facade. setPathConstraint copies the
/// caller's constraint, so one record may be handed to several planners.
class AstarPlanner {
 public:
  using GridMapPtr = std::shared_ptr<orvik_nav2_gridmap::GridMapROS>;
  using NodePtr = std::shared_ptr<AstarNode>;
  using NodeTable = std::unordered_map<int, NodePtr>;

  AstarPlanner();
  // Copies would share the start and goal nodes and rewrite each other's requests.
  AstarPlanner(const AstarPlanner&) = delete;
  AstarPlanner& operator=(const AstarPlanner&) = delete;
  AstarPlanner(AstarPlanner&&) = default;
  AstarPlanner& operator=(AstarPlanner&&) = default;

  /// Plans from `start` to `goal`. A radius above 0 lets a start or goal on a cell in danger
  /// move to the nearest free cell within that many metres; `cost_flag` is passed to
  /// MultiGridMap::getCost and `danger_level` to every inDanger query.
  /// @return true when a path (start cell first, goal cell last, goal orientation on the last
  ///         pose) was written into `path`; false with an ERROR or WARN log otherwise, and then
  ///         `path.poses` is empty.
  bool searchv2(GridMapPtr map, geometry_msgs::msg::PoseStamped start,
                geometry_msgs::msg::PoseStamped goal, nav_msgs::msg::Path& path, bool cost_flag,
                double start_radius, double goal_radius, int danger_level);

  /// The same request with one radius for both endpoints.
  /// @return as the form with two radii.
  bool searchv2(GridMapPtr map, geometry_msgs::msg::PoseStamped start,
                geometry_msgs::msg::PoseStamped goal, nav_msgs::msg::Path& path, bool cost_flag,
                double radius, int danger_level);

  /// Sets the start node from a pose (moved off a danger cell first when radius > 0).
  /// @return false, with a log line, when the pose cannot be moved, lies off the map or its
  ///         cell is in danger; the start node is then unchanged.
  bool setStart(const GridMapPtr& map, const geometry_msgs::msg::PoseStamped& pose, double radius,
                int danger_level);

  /// Sets the goal node's cell from a pose, as setStart; its parent is left as it was.
  /// @return false, with a log line, as setStart.
  bool setGoal(const GridMapPtr& map, const geometry_msgs::msg::PoseStamped& pose, double radius,
               int danger_level);

  /// The eight neighbours of `node`, in the search's fixed order, each with `node` as parent
  /// and g = node.g + step (1 or sqrt 2) + path consistency cost. No bounds or danger checks.
  /// @return always eight new nodes.
  std::vector<NodePtr> motion(const NodePtr& node, const GridMapPtr& map);

  /// Key contribution of a node: its cell cost (getCost with `cost_flag`) plus the straight
  /// line distance in cells to the goal node. A node off the map gets the map's off-map cost.
  /// @return the key contribution; never throws.
  double critic(const GridMapPtr& map, NodePtr& node, bool cost_flag);

  /// Goal test and path output: when `node` sits on the goal cell, writes the chain from the
  /// start to it into `path` (cell centres, identity orientations, `goal_orientation` on the
  /// last pose) and moves `node` up the chain until it is empty.
  /// @return false, touching nothing, when `node` is empty or not on the goal cell.
  bool retrievePath(const GridMapPtr& map, nav_msgs::msg::Path& path, NodePtr& node,
                    const geometry_msgs::msg::Quaternion& goal_orientation);

  /// Installs a reference path: the search then charges `constraint.cost` for every step onto
  /// a cell outside the corridor built along the path's first `constraint.distance` metres
  /// from the pose nearest `robot_pose`. Stays in force until the next constraint.
  /// An empty path changes nothing. A missing map, a map too large for 32-bit cell indices,
  /// or a cost that is negative or not finite is refused with an ERROR log, and leaves no
  /// constraint in force (the previous one is dropped too).
  void setPathConstraint(const geometry_msgs::msg::PoseStamped& robot_pose,
                         const PathConstraint& constraint, GridMapPtr map);

  /// @return 0 while no constraint is set or when the node's cell is in the corridor, the
  ///         constraint's cost otherwise (also for a node that is not on a valid cell).
  double getPathConsistencyCost(const NodePtr& node, const GridMapPtr& map);

  /// Start node of the current request.
  const NodePtr& startNode() const { return start_node_; }
  /// Goal node of the current request; after a found path its parent is the goal's parent.
  const NodePtr& goalNode() const { return goal_node_; }
  /// Cells expanded by the last search, by cell index.
  const NodeTable& closedNodes() const { return closed_nodes_; }
  /// Every cell discovered by the last search, expanded or not, by cell index.
  const NodeTable& openNodes() const { return open_nodes_; }
  /// Cell indices of the current corridor.
  const std::unordered_set<int>& constraintCells() const { return constraint_cells_; }
  /// The last installed constraint, its path shortened to start at the pose nearest the robot.
  const PathConstraint& pathConstraint() const { return path_constraint_; }
  /// Whether a constraint has ever been installed.
  bool hasConstraint() const { return has_constraint_; }

 private:
  NodePtr start_node_;
  NodePtr goal_node_;
  NodeTable closed_nodes_;
  NodeTable open_nodes_;
  std::unordered_set<int> constraint_cells_;
  PathConstraint path_constraint_;
  bool has_constraint_{false};
};

}  // namespace orvik_nav2_planner::astar
