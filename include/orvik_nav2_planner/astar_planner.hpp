// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik_nav2_gridmap/collision_check.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_gridmap/spin_collision.hpp"
#include "orvik_nav2_planner/astar_node.hpp"
#include "orvik_nav2_planner/astar_options.hpp"
#include "orvik_nav2_planner/astar_path_constraint.hpp"
#include "orvik_nav2_planner/astar_spin_analysis.hpp"
#include "orvik_nav2_planner/astar_table.hpp"
#include "orvik_nav2_planner/astar_trace.hpp"
#include "orvik_nav2_planner/search_info.hpp"
#include "orvik_nav2_protocol/msg/multi_paths.hpp"
#include "orvik_nav2_protocol/msg/path.hpp"
#include "orvik_nav2_tools/communicator_engine.hpp"

namespace orvik_nav2_planner::astar2 {

/// Grid A* planner over the 8-connected cells of the master costmap. Serves one request at a
/// time on the caller's thread; the search state of a request stays readable until the next.
///
/// Threads: one planner per thread. A planner takes no locks, so two requests must never run
/// on one planner at once, nor its state be read (getTrace, getTable, ...) during a request.
/// Planners on different threads may share one grid map (read-only), the process-wide
/// telemetry (CommunicatorEngine and its MicroUnitTrace, which lock) and the logging facade.
/// A ReferencePath (AstarOptions::reference_path) is written by every request that uses it:
/// never give one record to two planners; the start and goal may be taken from its poses.
class AstarPlanner {
 public:
  /// One open-list entry: the priority at the time of the push and the node.
  struct OpenEntry {
    double f;
    AstarNode* node;
  };

  /// @throw std::invalid_argument when the map or its layers are null.
  AstarPlanner(const std::string& name, std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map);

  AstarPlanner(const AstarPlanner&) = delete;
  AstarPlanner& operator=(const AstarPlanner&) = delete;

  /// Plans from start to goal. @return false, with error lines, when an endpoint is off the
  /// map or unusable, no path exists, or the goal check fails; `path` then holds no poses.
  bool searchPath(const geometry_msgs::msg::PoseStamped& start,
                  const geometry_msgs::msg::PoseStamped& goal, const AstarOptions& options,
                  orvik_nav2_protocol::msg::Path& path);

  /// Plans from start to the nearest cell where the robot can turn around; poses are appended
  /// to `path`. @return false when the start is unusable or no such cell is reachable.
  bool searchForwardPath(const geometry_msgs::msg::PoseStamped& start, const AstarOptions& options,
                         orvik_nav2_protocol::msg::Path& path);

  /// The direct path, or, when it needs a blocked rotation and search_spin_free_point is set, a
  /// forward leg to a turn-around cell and a leg from there to the goal.
  /// @return false, leaving `paths` unchanged, when the direct search fails.
  bool searchPaths(const geometry_msgs::msg::PoseStamped& start,
                   const geometry_msgs::msg::PoseStamped& goal, const AstarOptions& options,
                   orvik_nav2_protocol::msg::MultiPaths& paths);

  /// Sets info.start (moved off a blocked cell if allowed) and its orientation.
  /// @return false, with an error line, when no usable start cell exists.
  bool setStartNode(const geometry_msgs::msg::PoseStamped& pose, SearchInfo& info);
  /// Sets info.goal and its orientation. @return false, with an error line, on failure.
  bool setGoalNode(const geometry_msgs::msg::PoseStamped& pose, SearchInfo& info);

  /// The table node of the cell under the pose. @return false, leaving *node unchanged, for a
  /// non-finite position or one off the map.
  bool convertPoseToAstarNode(const geometry_msgs::msg::PoseStamped& pose, AstarNode** node);

  /// Moves a node on a blocked cell to the nearest usable cell within radius metres.
  /// @return false, with error lines, when the node ends on a cell in danger.
  bool fuzzyNodeAndCheck(AstarNode* node, double radius, int danger_level);

  /// Goal test, heuristic and tolerance of the ordinary start-to-goal search.
  void populateNormalSearchInfo(SearchInfo& info);
  /// Goal test, heuristic, neighbour filter and tolerance of the turn-around search.
  void populateSpinFreePathSearchInfo(SearchInfo& info);

  /// One A* run configured by `info`. @return true when a goal node was taken from the open
  /// list and passed the goal check; the path is then written into `path`.
  bool searchSinglePath(const SearchInfo& info, orvik_nav2_protocol::msg::Path& path);

  /// Footprint check near the goal of `path` (goal first). @return true when the robot can
  /// approach the goal; false for an empty list.
  bool canReachGoal(const std::vector<AstarNode*>& path, double tolerance);

  /// Appends the nodes (goal first) to `path` as poses, start first.
  void convertToPathMsgAndPopulation(const SearchInfo& info, const std::vector<AstarNode*>& nodes,
                                     orvik_nav2_protocol::msg::Path& path);

  /// @return the label of the labelled cell nearest to the node, 0 when there is none.
  int findNearestPassageLabel(const AstarNode* node) const;

  /// Goal test of the turn-around search. @return true when the robot can turn on the spot at
  /// the node, which must have a grandparent.
  bool canTurnAround(const AstarNode* node);

  const std::string& getName() const { return name_; }
  const std::shared_ptr<AstarTable>& getTable() const { return table_; }
  const std::shared_ptr<AstarTrace>& getTrace() const { return trace_; }
  const std::shared_ptr<AstarSpinAnalysis>& getSpinAnalysis() const { return spin_analysis_; }
  const std::shared_ptr<AstarPathConstraint>& getPathConstraint() const { return path_constraint_; }
  /// Nodes taken from the open list and expanded by the last search.
  std::size_t expandedCount() const { return expanded_count_; }

 private:
  struct GoalCell;
  struct NormalHeuristic;

  void resetSearchState();

  std::string name_;
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  std::shared_ptr<Collision::CollisionCheck> collision_checker_;
  std::shared_ptr<Collision::SpinCollision> spin_collision_;
  std::shared_ptr<AstarSpinAnalysis> spin_analysis_;
  std::shared_ptr<orvik_communicator::CommunicatorEngine> communicator_;
  std::shared_ptr<AstarTable> table_;
  std::shared_ptr<AstarTrace> trace_;
  std::shared_ptr<AstarPathConstraint> path_constraint_;
  std::vector<OpenEntry> open_list_;
  // Layers of the map, fetched once: the map never swaps them, and the search asks them for
  // every opened node.
  std::shared_ptr<orvik_nav2_gridmap::MultiGridMap> grid_;
  std::shared_ptr<nav2_costmap_2d::Costmap2D> costmap_;
  std::size_t expanded_count_{0};
  // The trace image was reset and nothing has been drawn into it since.
  bool trace_just_reset_{false};
};

}  // namespace orvik_nav2_planner::astar2
