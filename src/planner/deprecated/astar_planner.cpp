// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "legacy_cell_index.hpp"
#include "orvik/logger.hpp"
#include "orvik_nav2_planner/deprecated/fuzzy_point.hpp"
#include "orvik_nav2_tools/communicator_engine.hpp"

namespace orvik_nav2_planner::astar {

namespace {

constexpr int kStartFuzzyFailed = 101100011;
constexpr int kGoalFuzzyFailed = 101100012;
constexpr int kOffMap = 101100005;
constexpr int kSearchFailed = 101100025;

constexpr double kSqrt2 = 1.4142135623730951;

struct Step {
  double dx;
  double dy;
  double cost;
};

// The expansion order decides which of several equally good parents a cell keeps, so it is
// part of the planner's observable behaviour and must not change.
constexpr Step kSteps[8] = {{-1.0, 0.0, 1.0},   {-1.0, 1.0, kSqrt2}, {-1.0, -1.0, kSqrt2},
                            {0.0, 1.0, 1.0},    {0.0, -1.0, 1.0},    {1.0, 0.0, 1.0},
                            {1.0, 1.0, kSqrt2}, {1.0, -1.0, kSqrt2}};

struct OpenEntry {
  int index;
  double key;
};

// Greater-or-equal rather than strictly greater: with std::push_heap / std::pop_heap this
// fixes which of several entries with equal keys surfaces first, and callers have come to rely
// on the resulting paths.
struct OpenEntryOrder {
  bool operator()(const OpenEntry& a, const OpenEntry& b) const { return a.key >= b.key; }
};

// Cell coordinate for a grid map query; anything off the unsigned range becomes a cell the map
// answers as off the map.
unsigned int toQueryCell(double value) {
  if (!(value >= 0.0 && value < static_cast<double>(std::numeric_limits<unsigned int>::max()))) {
    return std::numeric_limits<unsigned int>::max();
  }
  return static_cast<unsigned int>(value);
}

bool usableMap(const AstarPlanner::GridMapPtr& map, const char* operation) {
  const auto costmap = detail::masterCostmap(map);
  if (!costmap) {
    ORVIK_ERROR("AstarPlanner::{} failed, the grid map is missing", operation);
    return false;
  }
  if (!detail::fitsCellIndex(costmap->getSizeInCellsX(), costmap->getSizeInCellsY())) {
    ORVIK_ERROR("AstarPlanner::{} failed, a map of {} x {} cells exceeds 32-bit cell indices",
                operation, costmap->getSizeInCellsX(), costmap->getSizeInCellsY());
    return false;
  }
  return true;
}

}  // namespace

AstarPlanner::AstarPlanner()
    : start_node_(std::make_shared<AstarNode>()), goal_node_(std::make_shared<AstarNode>()) {}

bool AstarPlanner::searchv2(GridMapPtr map, geometry_msgs::msg::PoseStamped start,
                            geometry_msgs::msg::PoseStamped goal, nav_msgs::msg::Path& path,
                            bool cost_flag, double radius, int danger_level) {
  geometry_msgs::msg::PoseStamped start_copy = start;
  geometry_msgs::msg::PoseStamped goal_copy = goal;
  return searchv2(std::move(map), std::move(start_copy), std::move(goal_copy), path, cost_flag,
                  radius, radius, danger_level);
}

bool AstarPlanner::searchv2(GridMapPtr map, geometry_msgs::msg::PoseStamped start,
                            geometry_msgs::msg::PoseStamped goal, nav_msgs::msg::Path& path,
                            bool cost_flag, double start_radius, double goal_radius,
                            int danger_level) {
  ORVIK_DEBUG("AstarPlanner: search start");
  orvik_communicator::CommunicatorEngine::GetInstance()->getMicroUnitTrace()->PublishLocalEndPose(
      start, goal);
  path.poses.clear();
  if (!usableMap(map, "searchv2")) {
    return false;
  }
  if (!setStart(map, start, start_radius, danger_level)) {
    return false;
  }
  if (!setGoal(map, goal, goal_radius, danger_level)) {
    return false;
  }

  const auto grid = map->getMultiGridMap();
  const auto costmap = grid->getCostmap();
  const unsigned int size_x = costmap->getSizeInCellsX();
  const double size_x_cells = static_cast<double>(size_x);
  const double size_y_cells = static_cast<double>(costmap->getSizeInCellsY());

  closed_nodes_.clear();
  open_nodes_.clear();
  std::vector<OpenEntry> open_list;
  const OpenEntryOrder order;

  const int start_index = detail::cellIndex(start_node_->x, start_node_->y, size_x);
  open_nodes_.emplace(start_index, start_node_);
  // Every g carries this straight-line distance as a constant offset; it shifts all keys
  // alike and so leaves the order of expansion unchanged.
  start_node_->g += std::hypot(start_node_->x - goal_node_->x, start_node_->y - goal_node_->y);
  open_list.push_back({start_index, start_node_->g});
  std::push_heap(open_list.begin(), open_list.end(), order);

  while (!open_list.empty()) {
    std::pop_heap(open_list.begin(), open_list.end(), order);
    const int index = open_list.back().index;
    open_list.pop_back();
    NodePtr current = open_nodes_.at(index);
    closed_nodes_.emplace(index, current);

    // The goal is recognised as soon as its cell is expanded. Testing it only once a
    // neighbour of the goal passes the checks would miss a goal at the end of a one-cell dead
    // end; every path found that way is the same as the one found here.
    if (retrievePath(map, path, current, goal.pose.orientation)) {
      return true;
    }

    for (NodePtr& neighbour : motion(current, map)) {
      const int neighbour_index = detail::cellIndex(neighbour->x, neighbour->y, size_x);
      if (closed_nodes_.count(neighbour_index) != 0) {
        continue;
      }
      if (neighbour->x < 0.0 || neighbour->y < 0.0 || neighbour->x >= size_x_cells ||
          neighbour->y >= size_y_cells) {
        continue;
      }
      if (grid->inDanger(static_cast<unsigned int>(neighbour->x),
                         static_cast<unsigned int>(neighbour->y), danger_level)) {
        continue;
      }
      const auto known = open_nodes_.find(neighbour_index);
      if (known != open_nodes_.end()) {
        // The open list keeps the first key of a cell; only its g and parent improve.
        if (neighbour->g < known->second->g) {
          known->second->g = neighbour->g;
          known->second->parent = current;
        }
        continue;
      }
      // The key is computed only for newly discovered cells: for known ones it would be
      // discarded, and it costs a grid query per neighbour.
      const double h = critic(map, neighbour, cost_flag);
      neighbour->parent = current;
      open_list.push_back({neighbour_index, h + neighbour->g});
      std::push_heap(open_list.begin(), open_list.end(), order);
      open_nodes_.emplace(neighbour_index, std::move(neighbour));
    }
  }
  ORVIK_ERROR("AstarPlanner: search failed, error code is {}", kSearchFailed);
  return false;
}

bool AstarPlanner::setStart(const GridMapPtr& map, const geometry_msgs::msg::PoseStamped& pose,
                            double radius, int danger_level) {
  const auto costmap = detail::masterCostmap(map);
  if (!costmap) {
    ORVIK_ERROR("AstarPlanner::setStart failed, the grid map is missing");
    return false;
  }
  geometry_msgs::msg::PoseStamped target = pose;
  if (radius > 0.0 && !FuzzyPoint::fuzzyPoint(pose, map, target, danger_level, radius)) {
    ORVIK_ERROR("AstarPlanner::fuzzyPoint setStart failed, error code is {}", kStartFuzzyFailed);
    return false;
  }
  unsigned int mx = 0;
  unsigned int my = 0;
  if (!costmap->worldToMap(target.pose.position.x, target.pose.position.y, mx, my)) {
    ORVIK_ERROR("AstarPlanner::setStart failed, error code is {}", kOffMap);
    return false;
  }
  const auto grid = map->getMultiGridMap();
  if (grid->inDanger(mx, my, danger_level)) {
    ORVIK_WARN("起点不可达，像素坐标：{} {};离障碍物最小距离{}", mx, my, grid->getDistance(mx, my));
    return false;
  }
  start_node_->x = mx;
  start_node_->y = my;
  start_node_->g = 0.0;
  start_node_->parent.reset();
  return true;
}

bool AstarPlanner::setGoal(const GridMapPtr& map, const geometry_msgs::msg::PoseStamped& pose,
                           double radius, int danger_level) {
  const auto costmap = detail::masterCostmap(map);
  if (!costmap) {
    ORVIK_ERROR("AstarPlanner::setGoal failed, the grid map is missing");
    return false;
  }
  geometry_msgs::msg::PoseStamped target = pose;
  if (radius > 0.0 && !FuzzyPoint::fuzzyPoint(pose, map, target, danger_level, radius)) {
    ORVIK_ERROR("AstarPlanner::fuzzyPoint setGoal failed, error code is {}", kGoalFuzzyFailed);
    return false;
  }
  unsigned int mx = 0;
  unsigned int my = 0;
  if (!costmap->worldToMap(target.pose.position.x, target.pose.position.y, mx, my)) {
    ORVIK_ERROR("AstarPlanner::setGoal failed worldToMap, error code is {}", kOffMap);
    return false;
  }
  const auto grid = map->getMultiGridMap();
  if (grid->inDanger(mx, my, danger_level)) {
    ORVIK_WARN("终点不可达，像素坐标：{} {};离障碍物最小距离{}", mx, my, grid->getDistance(mx, my));
    return false;
  }
  goal_node_->x = mx;
  goal_node_->y = my;
  goal_node_->g = 0.0;
  return true;
}

std::vector<AstarPlanner::NodePtr> AstarPlanner::motion(const NodePtr& node,
                                                        const GridMapPtr& map) {
  std::vector<NodePtr> neighbours;
  neighbours.reserve(8);
  for (const Step& step : kSteps) {
    auto neighbour = std::make_shared<AstarNode>();
    neighbour->x = node->x + step.dx;
    neighbour->y = node->y + step.dy;
    neighbour->parent = node;
    neighbour->g = node->g + step.cost + getPathConsistencyCost(neighbour, map);
    neighbours.push_back(std::move(neighbour));
  }
  return neighbours;
}

double AstarPlanner::critic(const GridMapPtr& map, NodePtr& node, bool cost_flag) {
  const double distance = std::hypot(node->x - goal_node_->x, node->y - goal_node_->y);
  const auto grid = map ? map->getMultiGridMap() : nullptr;
  if (!grid) {
    return distance;
  }
  // The cell cost orders the search but is never added to g, so it does not accumulate
  // along a path.
  return static_cast<double>(grid->getCost(toQueryCell(node->x), toQueryCell(node->y), cost_flag)) +
         distance;
}

bool AstarPlanner::retrievePath(const GridMapPtr& map, nav_msgs::msg::Path& path, NodePtr& node,
                                const geometry_msgs::msg::Quaternion& goal_orientation) {
  if (!node || node->x != goal_node_->x || node->y != goal_node_->y) {
    return false;
  }
  const auto costmap = detail::masterCostmap(map);
  if (!costmap) {
    ORVIK_ERROR("AstarPlanner::retrievePath failed, the grid map is missing");
    return false;
  }
  goal_node_->parent = node->parent;

  std::vector<NodePtr> chain;
  while (node) {
    chain.push_back(node);
    node = node->parent;
  }

  const std::string& frame = map->getGlobalFrame();
  path.header.frame_id = frame;
  path.poses.reserve(path.poses.size() + chain.size());
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    geometry_msgs::msg::PoseStamped pose;
    pose.header.frame_id = frame;
    costmap->mapToWorld(static_cast<unsigned int>((*it)->x), static_cast<unsigned int>((*it)->y),
                        pose.pose.position.x, pose.pose.position.y);
    pose.pose.position.z = 0.0;
    path.poses.push_back(std::move(pose));
  }
  if (!path.poses.empty()) {
    path.poses.back().pose.orientation = goal_orientation;
  }
  ORVIK_DEBUG("A star has found best path, path_msg size ={}", path.poses.size());
  return true;
}

}  // namespace orvik_nav2_planner::astar
