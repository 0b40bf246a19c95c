// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/astar_planner.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "open_list_heap.hpp"
#include "orvik/logger.hpp"
#include "orvik_nav2_planner/fuzzy_point.hpp"
#include "orvik_nav2_planner/priority_passage.hpp"
#include "world_to_cell.hpp"

namespace orvik_nav2_planner::astar2 {

namespace {

constexpr double kStraightStep = 1.0;
// Deliberately 1.414, not sqrt(2): the tie-breaking between equal-length routes that callers
// see depends on this exact value.
constexpr double kDiagonalStep = 1.414;
constexpr double kSpinEvaluationRadius = 10.0;
constexpr double kSlowSearchMs = 100.0;
constexpr double kMinFuzzyRadius = 0.001;
constexpr double kMinReportedTolerance = 0.01;
constexpr double kSmallTolerance = 0.3;
// Obstacle distance (metres) above which the goal approach needs no footprint check.
constexpr double kGoalClearance = 0.4;
constexpr int kFuzzyErrorCode = 101100011;

cv::Point cellOf(const AstarNode* node) {
  return cv::Point(node->x, node->y);
}

}  // namespace

// Named types rather than lambdas, so that searchSinglePath can recognise them in the
// SearchInfo's std::function and call them directly: inlined, instead of an indirect call per
// pop and per push.
struct AstarPlanner::GoalCell {
  bool operator()(const SearchInfo& search, const AstarNode* node) const {
    return search.goal != nullptr && node->x == search.goal->x && node->y == search.goal->y;
  }
};

struct AstarPlanner::NormalHeuristic {
  // Raw pointers: the planner owns these collaborators and outlives every search it runs.
  AstarTable* table;
  AstarSpinAnalysis* spin;
  orvik_trace::TraceMat* trace;

  bool operator()(const SearchInfo& search, const AstarNode* node, double& h) const {
    const AstarOptions& options = search.options;
    const double dx = search.goal ? static_cast<double>(node->x - search.goal->x) : 0.0;
    const double dy = search.goal ? static_cast<double>(node->y - search.goal->y) : 0.0;
    h = options.cost_weight * table->cellCost(node, options.cost_flag) +
        std::sqrt(dx * dx + dy * dy);
    if (options.check_spin_direction || options.search_spin_free_point) {
      const int rating = spin->isSpinFreeDirection(node);
      if (rating == AstarSpinAnalysis::kBlocked) {
        trace->setMatPointColor(cellOf(node), trace_code::kSpinBlocked);
        h += options.spin_penalty;
      } else if (rating == AstarSpinAnalysis::kReachable) {
        trace->setMatPointColor(cellOf(node), trace_code::kSpinFree);
      }
    }
    return true;
  }
};

AstarPlanner::AstarPlanner(const std::string& name,
                           std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map)
    : name_(name), map_(std::move(map)) {
  if (!map_ || !map_->getMultiGridMap() || !map_->getMultiGridMap()->getCostmap()) {
    throw std::invalid_argument("AstarPlanner(" + name_ + "): grid map without layers");
  }
  grid_ = map_->getMultiGridMap();
  costmap_ = grid_->getCostmap();
  communicator_ = orvik_communicator::CommunicatorEngine::GetInstance();
  collision_checker_ = std::make_shared<Collision::CollisionCheck>(map_);
  spin_collision_ = std::make_shared<Collision::SpinCollision>(collision_checker_);
  spin_analysis_ = std::make_shared<AstarSpinAnalysis>(map_, spin_collision_);
  table_ = std::make_shared<AstarTable>(map_);
  path_constraint_ = std::make_shared<AstarPathConstraint>(map_);
  trace_ = std::make_shared<AstarTrace>(map_, name_);
}

void AstarPlanner::resetSearchState() {
  std::vector<OpenEntry>().swap(open_list_);
  table_->clear();
  expanded_count_ = 0;
}

bool AstarPlanner::searchPath(const geometry_msgs::msg::PoseStamped& requested_start,
                              const geometry_msgs::msg::PoseStamped& requested_goal,
                              const AstarOptions& options, orvik_nav2_protocol::msg::Path& path) {
  // The search time must not jump with the wall clock (NTP steps, a clock set by hand).
  const auto start_time = std::chrono::steady_clock::now();
  // Copies, because building the path constraint trims the caller's reference path, and a
  // caller may pass poses of that very path as start or goal.
  const geometry_msgs::msg::PoseStamped start = requested_start;
  const geometry_msgs::msg::PoseStamped goal = requested_goal;
  path.poses.clear();
  trace_->getTraceMat()->reset();
  trace_just_reset_ = true;
  resetSearchState();
  path_constraint_->buildPathConstraint(start, options);

  SearchInfo info(options);
  if (!setStartNode(start, info)) {
    return false;
  }
  if (!setGoalNode(goal, info)) {
    return false;
  }

  geometry_msgs::msg::PoseStamped used_start = start;
  geometry_msgs::msg::PoseStamped used_goal = goal;
  costmap_->mapToWorld(static_cast<unsigned int>(info.start->x),
                       static_cast<unsigned int>(info.start->y), used_start.pose.position.x,
                       used_start.pose.position.y);
  costmap_->mapToWorld(static_cast<unsigned int>(info.goal->x),
                       static_cast<unsigned int>(info.goal->y), used_goal.pose.position.x,
                       used_goal.pose.position.y);
  communicator_->getMicroUnitTrace()->PublishLocalEndPose(used_start, used_goal);

  populateNormalSearchInfo(info);
  if (options.priority_preference && grid_->hasPriorityPassage()) {
    int label = options.target_label;
    if (label == 0) {
      label = findNearestPassageLabel(info.start);
    }
    info.target_label = label;
    ORVIK_INFO("[PriorityPassage] AstarPlanner({}) selected nearest target label: {} (total: {})",
               name_, label, grid_->getPriorityPassageLabelCount());
  }

  const bool ok = searchSinglePath(info, path);
  trace_->getTraceMat()->publishCVMatAsGrid();

  const auto elapsed_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::chrono::steady_clock::now() - start_time)
                              .count();
  const double elapsed_ms = static_cast<double>(elapsed_ns) / 1e9 * 1000.0;
  if (elapsed_ms > kSlowSearchMs) {
    ORVIK_INFO("AstarPlanner({})::searchPath found path time is too long, search time: {}ms", name_,
               elapsed_ms);
  }
  return ok;
}

bool AstarPlanner::convertPoseToAstarNode(const geometry_msgs::msg::PoseStamped& pose,
                                          AstarNode** node) {
  unsigned int mx = 0;
  unsigned int my = 0;
  if (!worldToCell(*costmap_, pose.pose.position.x, pose.pose.position.y, mx, my)) {
    ORVIK_ERROR("convert point from world to map failed");
    return false;
  }
  *node = table_->findOrCreate(static_cast<int32_t>(mx), static_cast<int32_t>(my));
  return true;
}

bool AstarPlanner::setStartNode(const geometry_msgs::msg::PoseStamped& pose, SearchInfo& info) {
  if (!convertPoseToAstarNode(pose, &info.start)) {
    ORVIK_ERROR("AstarPlanner({}): setStartNode convertPoseToAstarNode failed", name_);
    return false;
  }
  if (!fuzzyNodeAndCheck(info.start, info.options.start_fuzzy_radius, info.options.danger_level)) {
    ORVIK_ERROR("AstarPlanner({}): setStartNode fuzzyNode failed", name_);
    return false;
  }
  info.start_orientation = pose.pose.orientation;
  return true;
}

bool AstarPlanner::setGoalNode(const geometry_msgs::msg::PoseStamped& pose, SearchInfo& info) {
  if (!convertPoseToAstarNode(pose, &info.goal)) {
    ORVIK_ERROR("AstarPlanner({}): setGoalNode convertPoseToAstarNode failed", name_);
    return false;
  }
  if (!fuzzyNodeAndCheck(info.goal, info.options.goal_fuzzy_radius, info.options.danger_level)) {
    ORVIK_ERROR("AstarPlanner({}): setGoalNode fuzzyNode failed", name_);
    return false;
  }
  info.goal_orientation = pose.pose.orientation;
  return true;
}

bool AstarPlanner::fuzzyNodeAndCheck(AstarNode* node, double radius, int danger_level) {
  if (node == nullptr || node->x < 0 || node->y < 0 ||
      node->x >= static_cast<int32_t>(costmap_->getSizeInCellsX()) ||
      node->y >= static_cast<int32_t>(costmap_->getSizeInCellsY())) {
    ORVIK_ERROR("AstarPlanner({}): fuzzyNodeAndCheck got no node on the map", name_);
    return false;
  }
  if (radius > kMinFuzzyRadius) {
    if (!fuzzyPoint(map_, node, radius, danger_level)) {
      ORVIK_ERROR("AstarPlanner::fuzzyPoint fuzzyNode failed, error code is {}", kFuzzyErrorCode);
      return false;
    }
  }
  if (grid_->inDanger(static_cast<unsigned int>(node->x), static_cast<unsigned int>(node->y),
                      danger_level)) {
    ORVIK_ERROR("pose({} {}) is not valid:", node->x, node->y);
    return false;
  }
  return true;
}

void AstarPlanner::populateNormalSearchInfo(SearchInfo& info) {
  info.tolerance = info.options.goal_tolerance;
  info.is_goal = GoalCell();
  info.heuristic = NormalHeuristic{table_.get(), spin_analysis_.get(), trace_->getTraceMat().get()};
  info.skip_neighbor = nullptr;
}

bool AstarPlanner::searchSinglePath(const SearchInfo& info, orvik_nav2_protocol::msg::Path& path) {
  const AstarOptions& options = info.options;
  const bool has_passage = grid_->hasPriorityPassage();
  reportPassageSearchStart(name_, options, has_passage);
  if (info.start == nullptr || !info.is_goal || !info.heuristic) {
    ORVIK_ERROR("AstarPlanner({}): searchSinglePath needs a start, a goal test and a heuristic",
                name_);
    return false;
  }

  const bool can_spin = spin_analysis_->setEvaluationCenterAndCheckCollision(
      info.start, info.start_orientation, kSpinEvaluationRadius);
  path.start_spin_blocked = !can_spin;

  orvik_trace::TraceMat& trace = *trace_->getTraceMat();
  info.start->opened = true;
  open_list_.push_back({0.0, info.start});
  pushOpenEntry(open_list_);

  // The layers pointer is held for the whole search, as the neighbour walk requires.
  const std::shared_ptr<orvik_nav2_gridmap::MultiGridMap> grid = grid_;
  // The constraint answers 0 whenever these are off; asking it per neighbour would only cost.
  const bool consistency_on = options.use_path_consistency && options.reference_path != nullptr;
  const bool priority_preference = options.priority_preference;
  const GoalCell* const goal_cell = info.is_goal.target<GoalCell>();
  const NormalHeuristic* const normal_heuristic = info.heuristic.target<NormalHeuristic>();
  // Right after a reset, a search whose only colour is the opened mark finds each cell either
  // uncoloured or marked already, so it can set the mark without asking for the colour first:
  // one call into the tools library per push instead of two.
  const bool only_opened_marks = trace_just_reset_ && goal_cell != nullptr &&
                                 normal_heuristic != nullptr && !options.check_spin_direction &&
                                 !options.search_spin_free_point;
  trace_just_reset_ = false;
  // The search loop, compiled twice: with the optional step terms, and without them for the
  // ordinary search, where testing the two switches per neighbour would be all they cost.
  const auto run_search = [&](auto with_step_terms) -> AstarNode* {
    while (!open_list_.empty()) {
      // The top entry is the node expanded next: asking the caches for its neighbourhood now
      // overlaps those fetches with the heap's sift-down instead of stalling the neighbour loop.
      // On a flood of a large map the frontier spans the whole map and most of them would miss.
      table_->prefetchNeighborhood(open_list_.front().node);
      // One of the root's children is usually the next top: fetching the node blocks of both
      // now gives those fetches a whole expansion of lead instead of a sift-down.
      if (open_list_.size() > 2) {
        AstarTable::prefetchNodeBlock(open_list_[1].node);
        AstarTable::prefetchNodeBlock(open_list_[2].node);
      }
      AstarNode* current = popOpenEntry(open_list_).node;
      if (current->closed) {
        continue;
      }
      current->closed = true;
      ++expanded_count_;
      if (goal_cell != nullptr ? (*goal_cell)(info, current) : info.is_goal(info, current)) {
        return current;
      }

      // Neighbours are other cells' nodes and the closed test skips `current` itself, so its g
      // stays fixed while they are relaxed.
      const double current_g = current->g;
      const auto relax = [&](AstarNode * next, bool diagonal) __attribute__((always_inline)) {
        if (next->closed) {
          return;
        }
        double step = diagonal ? kDiagonalStep : kStraightStep;
        if constexpr (decltype(with_step_terms)::value) {
          if (consistency_on) {
            step += path_constraint_->getPathConsistencyCost(next, options);
          }
          if (priority_preference) {
            step += passageStepTerm(*grid, next, options, info.target_label);
          }
        }
        const double g_new = current_g + step;
        if (next->opened && g_new >= next->g) {
          return;
        }
        next->parent = current;
        next->g = g_new;
        // An opened node keeps its first open-list entry: no decrease-key, no re-push.
        if (next->opened) {
          return;
        }
        double h = 0.0;
        if (normal_heuristic != nullptr ? (*normal_heuristic)(info, next, h)
                                        : info.heuristic(info, next, h)) {
          next->opened = true;
          open_list_.push_back({next->g + h, next});
          pushOpenEntry(open_list_);
          if (only_opened_marks || trace.getMatColor(cellOf(next)) == 0) {
            trace.setMatPointColor(cellOf(next), trace_code::kOpened);
          }
        }
      };
      if (info.skip_neighbor) {
        // The filter sees every neighbour before the first of them is relaxed.
        AstarNode* kept[8];
        bool kept_diagonal[8];
        std::size_t kept_count = 0;
        table_->forEachNeighbor(current, options.danger_level, [&](AstarNode* next, bool diagonal) {
          if (!info.skip_neighbor(next)) {
            kept[kept_count] = next;
            kept_diagonal[kept_count++] = diagonal;
          }
        });
        for (std::size_t n = 0; n < kept_count; ++n) {
          relax(kept[n], kept_diagonal[n]);
        }
      } else {
        // Relaxing each neighbour as soon as its node exists is the same as collecting them
        // first: a relaxation writes only to its own neighbour's node.
        table_->forEachNeighbor(current, options.danger_level, relax);
      }
    }
    return nullptr;
  };
  AstarNode* const goal = consistency_on || priority_preference ? run_search(std::true_type())
                                                                : run_search(std::false_type());
  if (goal == nullptr) {
    return false;
  }

  std::vector<AstarNode*> nodes;
  table_->backtracePath(goal, nodes);
  if (options.check_goal_reachable && !canReachGoal(nodes, info.tolerance)) {
    ORVIK_ERROR("AstarPlanner({}): can not reach goal", name_);
    return false;
  }
  reportPassagePathUsage(name_, *grid, nodes, options, has_passage);
  convertToPathMsgAndPopulation(info, nodes, path);
  if (info.tolerance > kMinReportedTolerance) {
    path.goal_tolerance = static_cast<float>(info.tolerance);
  }
  return true;
}

bool AstarPlanner::canReachGoal(const std::vector<AstarNode*>& path, double tolerance) {
  if (path.empty()) {
    ORVIK_ERROR("AstarPlanner({}): canReachGoal got an empty path", name_);
    return false;
  }
  if (tolerance < 0.0) {
    return true;
  }
  if (tolerance < kSmallTolerance) {
    ORVIK_INFO("AstarPlanner({}): canReachGoal tolerance is {}", name_, tolerance);
  }
  const double radius_cells = tolerance / costmap_->getResolution();
  const AstarNode* goal = path.front();
  const AstarNode* chosen = path.back();
  for (std::size_t i = 0; i + 1 < path.size(); ++i) {
    const double dx = path[i]->x - goal->x;
    const double dy = path[i]->y - goal->y;
    if (std::sqrt(dx * dx + dy * dy) > radius_cells) {
      chosen = path[i];
      break;
    }
  }
  if (grid_->getDistance(static_cast<unsigned int>(chosen->x),
                         static_cast<unsigned int>(chosen->y)) > kGoalClearance) {
    return true;
  }
  if (chosen == goal) {
    return false;
  }
  geometry_msgs::msg::Pose2D pose;
  costmap_->mapToWorld(static_cast<unsigned int>(chosen->x), static_cast<unsigned int>(chosen->y),
                       pose.x, pose.y);
  pose.theta = std::atan2(static_cast<double>(goal->y - chosen->y),
                          static_cast<double>(goal->x - chosen->x));
  return collision_checker_->isCollisionFreePose(pose, true);
}

void AstarPlanner::convertToPathMsgAndPopulation(const SearchInfo& info,
                                                 const std::vector<AstarNode*>& nodes,
                                                 orvik_nav2_protocol::msg::Path& path) {
  const std::string& frame = map_->getGlobalFrame();
  path.header.frame_id = frame;
  const bool rate_spin = info.options.check_spin_direction || info.options.search_spin_free_point;
  path.poses.reserve(path.poses.size() + nodes.size());
  for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) {
    const AstarNode* node = *it;
    if (rate_spin && spin_analysis_->isSpinFreeDirection(node) == AstarSpinAnalysis::kBlocked) {
      path.spin_blocked_on_path = true;
    }
    geometry_msgs::msg::PoseStamped pose;
    pose.header.frame_id = frame;
    costmap_->mapToWorld(static_cast<unsigned int>(node->x), static_cast<unsigned int>(node->y),
                         pose.pose.position.x, pose.pose.position.y);
    pose.pose.position.z = 0.0;
    path.poses.push_back(pose);
  }
  if (!path.poses.empty()) {
    path.poses.back().pose.orientation = info.goal_orientation;
  }
}

int AstarPlanner::findNearestPassageLabel(const AstarNode* node) const {
  if (node == nullptr) {
    return 0;
  }
  return ::orvik_nav2_planner::astar2::findNearestPassageLabel(*grid_, node->x, node->y);
}

}  // namespace orvik_nav2_planner::astar2
