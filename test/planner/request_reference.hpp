// SPDX-License-Identifier: Apache-2.0
#pragma once

// The planner's three requests transcribed as plainly as possible from their rules, with every
// term a request can switch on: endpoint moves, path constraint and velocity constraint,
// passage preference, spin rating and penalty, the forward search's spin filter and its
// turn-around test, the goal approach check, the trace image and the published poses. It uses
// the grid map and the collision services as the planner does, and nothing of the planner.

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik_nav2_gridmap/collision_check.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_gridmap/spin_collision.hpp"
#include "orvik_nav2_planner/astar_options.hpp"
#include "orvik_nav2_planner/reference_path.hpp"

namespace orvik_test {

struct ReferenceOutcome {
  bool found{false};
  std::vector<std::pair<int, int>> cells;  // start first
  std::size_t expanded{0};
  bool start_spin_blocked{false};
  bool spin_blocked_on_path{false};
  float goal_tolerance{0.0f};
  bool has_goal_orientation{false};
};

/// A turn-around cell accepted after its full-turn check: where and facing which way.
struct ReferenceDirPose {
  double x;
  double y;
  double yaw;
};

class RequestReference {
 public:
  using Options = orvik_nav2_planner::astar2::AstarOptions;
  using Pose = geometry_msgs::msg::PoseStamped;

  explicit RequestReference(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map)
      : map_(std::move(map)),
        grid_(map_->getMultiGridMap()),
        costmap_(grid_->getCostmap()),
        size_x_(static_cast<int>(costmap_->getSizeInCellsX())),
        size_y_(static_cast<int>(costmap_->getSizeInCellsY())),
        checker_(std::make_shared<Collision::CollisionCheck>(map_)),
        spin_(std::make_shared<Collision::SpinCollision>(checker_)) {
    trace.assign(static_cast<std::size_t>(size_x_) * size_y_, 0);
  }

  /// Trace codes, row-major, as the planner's image holds them.
  std::vector<uint8_t> trace;
  /// Poses published for accepted turn-around cells during the last request.
  std::vector<ReferenceDirPose> dir_poses;
  /// Cells of the end poses published by the last ordinary search.
  std::pair<int, int> published_start{-1, -1};
  std::pair<int, int> published_goal{-1, -1};

  ReferenceOutcome searchPath(const Pose& start, const Pose& goal, const Options& options) {
    std::fill(trace.begin(), trace.end(), 0);
    nodes_.clear();
    last_expanded_ = 0;
    buildMarks(start, options);
    Search search{options};
    if (!setEndpoint(start, options.start_fuzzy_radius, options.danger_level, search.start) ||
        !setEndpoint(goal, options.goal_fuzzy_radius, options.danger_level, search.goal)) {
      return {};
    }
    search.start_yaw = yawOf(start);
    search.tolerance = options.goal_tolerance;
    search.forward = false;
    published_start = {nodes_[search.start].x, nodes_[search.start].y};
    published_goal = {nodes_[search.goal].x, nodes_[search.goal].y};
    if (options.priority_preference && grid_->hasPriorityPassage()) {
      search.target_label =
          options.target_label != 0 ? options.target_label : nearestLabel(nodes_[search.start]);
    }
    return run(search);
  }

  ReferenceOutcome searchForwardPath(const Pose& start, const Options& options) {
    nodes_.clear();
    last_expanded_ = 0;
    Search search{options};
    if (!setEndpoint(start, options.start_fuzzy_radius, options.danger_level, search.start)) {
      return {};
    }
    search.start_yaw = yawOf(start);
    search.tolerance = 0.1;
    search.forward = true;
    return run(search);
  }

  /// Paths appended by searchPaths; empty when it returns false.
  std::vector<ReferenceOutcome> searchPaths(const Pose& start, const Pose& goal,
                                            const Options& options, bool& ok) {
    ok = false;
    const ReferenceOutcome direct = searchPath(start, goal, options);
    if (!direct.found) {
      return {};
    }
    ok = true;
    if (!direct.spin_blocked_on_path || !options.search_spin_free_point) {
      return {direct};
    }
    const Options defaults;
    const ReferenceOutcome forward = searchForwardPath(start, defaults);
    if (!forward.found) {
      return {direct};
    }
    Pose turn = start;
    costmap_->mapToWorld(forward.cells.back().first, forward.cells.back().second,
                         turn.pose.position.x, turn.pose.position.y);
    turn.pose.orientation = Pose().pose.orientation;
    const ReferenceOutcome backward = searchPath(turn, goal, defaults);
    if (!backward.found) {
      return {direct};
    }
    return {forward, backward};
  }

  std::size_t lastExpanded() const { return last_expanded_; }

 private:
  struct Node {
    int x;
    int y;
    double g{0.0};
    int parent{-1};  // key of the parent node
    bool opened{false};
    bool closed{false};
  };
  struct Search {
    Options options;
    int start{-1};
    int goal{-1};
    double start_yaw{0.0};
    double tolerance{0.0};
    bool forward{false};
    int target_label{0};
  };
  struct Entry {
    double f;
    int key;
  };

  static double yawOf(const Pose& pose) {
    const auto& q = pose.pose.orientation;
    return std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
  }
  static Pose cellsPose(double x, double y, double yaw) {
    Pose pose;
    pose.pose.position.x = x;
    pose.pose.position.y = y;
    pose.pose.orientation.z = std::sin(yaw / 2.0);
    pose.pose.orientation.w = std::cos(yaw / 2.0);
    return pose;
  }
  Pose worldPose(int x, int y, double yaw) const {
    Pose pose;
    pose.header.frame_id = map_->getGlobalFrame();
    costmap_->mapToWorld(x, y, pose.pose.position.x, pose.pose.position.y);
    pose.pose.orientation.z = std::sin(yaw / 2.0);
    pose.pose.orientation.w = std::cos(yaw / 2.0);
    return pose;
  }
  bool danger(int x, int y, int level) const { return grid_->inDanger(x, y, level); }
  int keyOf(int x, int y) const { return x + y * size_x_; }
  Node& node(int key) {
    auto found = nodes_.find(key);
    if (found == nodes_.end()) {
      found = nodes_.emplace(key, Node{key % size_x_, key / size_x_}).first;
    }
    return found->second;
  }

  // A blocked endpoint moves to the nearest usable cell of a square window, Manhattan distance,
  // the first of equals in row-then-column order; the node keeps the key of its own cell.
  bool setEndpoint(const Pose& pose, double radius, int level, int& key) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!costmap_->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my)) {
      return false;
    }
    key = keyOf(static_cast<int>(mx), static_cast<int>(my));
    Node& n = node(key);
    if (radius > 0.001 && danger(n.x, n.y, level)) {
      const int h = static_cast<int>(radius / costmap_->getResolution());
      int best = std::numeric_limits<int>::max();
      int bx = -1;
      int by = -1;
      for (int i = n.y - h; i <= n.y + h; ++i) {
        for (int j = n.x - h; j <= n.x + h; ++j) {
          if (j < 0 || i < 0 || j >= size_x_ || i >= size_y_ || danger(j, i, level)) {
            continue;
          }
          const int d = std::abs(n.x - j) + std::abs(n.y - i);
          if (d < best) {
            best = d;
            bx = j;
            by = i;
          }
        }
      }
      if (bx < 0) {
        return false;
      }
      n.x = bx;
      n.y = by;
    }
    return !danger(n.x, n.y, level);
  }

  int nearestLabel(const Node& from) const {
    long best_d2 = std::numeric_limits<long>::max();
    int best = 0;
    for (int y = 0; y < size_y_; ++y) {
      for (int x = 0; x < size_x_; ++x) {
        const int label = grid_->getPriorityPassageLabel(x, y);
        const long d2 = static_cast<long>(x - from.x) * (x - from.x) +
                        static_cast<long>(y - from.y) * (y - from.y);
        if (label > 0 && (d2 < best_d2 || (d2 == best_d2 && label < best))) {
          best_d2 = d2;
          best = label;
        }
      }
    }
    return best;
  }

  // ---- path constraint: cells of a corridor along the reference path and of the predicted
  // motion; a step into any other cell costs extra.
  void fill(int mx, int my, int n, bool centred) {
    const int from = centred ? -n : 0;
    const int to = centred ? n : n - 1;
    for (int dx = from; dx <= to; ++dx) {
      for (int dy = from; dy <= to; ++dy) {
        const int x = mx + dx;
        const int y = my + dy;
        if (x >= 0 && y >= 0 && x < size_x_ && y < size_y_) {
          marks_.insert(y * size_x_ + x);
        }
      }
    }
  }
  static int cellsOf(double value) { return std::max(0, static_cast<int>(std::ceil(value))); }

  void buildMarks(const Pose& start, const Options& options) {
    marks_.clear();
    if (!options.use_path_consistency || options.reference_path == nullptr) {
      return;
    }
    auto& poses = options.reference_path->path.poses;
    if (poses.empty()) {
      return;
    }
    const double res = costmap_->getResolution();
    std::size_t nearest = 0;
    for (std::size_t i = 1; i < poses.size(); ++i) {
      const auto distance = [&](std::size_t k) {
        return std::hypot(poses[k].pose.position.x - start.pose.position.x,
                          poses[k].pose.position.y - start.pose.position.y);
      };
      if (distance(i) < distance(nearest)) {
        nearest = i;
      }
    }
    poses.erase(poses.begin(), poses.begin() + static_cast<long>(nearest));
    const auto& reference = *options.reference_path;
    double length = 0.0;
    for (std::size_t i = 1; i < poses.size(); ++i) {
      length += std::hypot(poses[i].pose.position.x - poses[i - 1].pose.position.x,
                           poses[i].pose.position.y - poses[i - 1].pose.position.y);
      if (length > reference.distance) {
        break;
      }
      unsigned int mx = 0;
      unsigned int my = 0;
      if (!costmap_->worldToMap(poses[i].pose.position.x, poses[i].pose.position.y, mx, my)) {
        continue;
      }
      if (options.priority_preference) {
        const double w = reference.half_width > res * 0.5      ? reference.half_width
                         : options.center_distance > res * 0.5 ? options.center_distance
                                                               : reference.distance * 0.5;
        fill(static_cast<int>(mx), static_cast<int>(my), cellsOf(w / res), true);
      } else {
        fill(static_cast<int>(mx), static_cast<int>(my), cellsOf(reference.distance / res * 0.5),
             false);
      }
    }
    if (options.predict_time < 0.1 || options.linear_velocity < 0.05) {
      return;
    }
    double theta = yawOf(start);
    double x = start.pose.position.x;
    double y = start.pose.position.y;
    double t = 0.0;
    while (true) {
      x += std::cos(theta) * options.linear_velocity * t;
      y += std::sin(theta) * options.linear_velocity * t;
      theta += options.angular_velocity * t;
      t += 0.1;
      unsigned int mx = 0;
      unsigned int my = 0;
      if (costmap_->worldToMap(x, y, mx, my)) {
        fill(static_cast<int>(mx), static_cast<int>(my), cellsOf(0.4 / res * 0.5),
             options.priority_preference);
      }
      if (!(options.predict_time >= t)) {
        break;
      }
    }
  }

  double consistencyCost(const Node& n, const Options& options) const {
    if (!options.use_path_consistency || options.reference_path == nullptr || marks_.empty() ||
        marks_.count(n.y * size_x_ + n.x) != 0) {
      return 0.0;
    }
    return options.reference_path->cost;
  }

  double passageTerm(const Node& n, const Options& options, int target_label) const {
    if (!grid_->hasPriorityPassage()) {
      return 0.0;
    }
    const bool outside = target_label > 0
                             ? grid_->getPriorityPassageLabel(n.x, n.y) != target_label
                             : !grid_->inPriorityPassage(n.x, n.y, options.danger_level);
    if (outside) {
      return options.outside_penalty;
    }
    double term = 0.0;
    if (options.boundary_weight > 0.0) {
      term += options.boundary_weight / (grid_->getPriorityPassageBoundaryDist(n.x, n.y) + 1.0);
      const double obstacle = grid_->getDistance(n.x, n.y);
      if (options.center_weight > 0.0 && obstacle < options.center_distance) {
        term -= options.center_weight / (obstacle + 1.0);
      }
    }
    return term;
  }

  // ---- spin analysis around the start: 0 outside the ring, 1 blocked, 2 reachable.
  bool setSpinCentre(const Node& start, double yaw) {
    centre_x_ = start.x;
    centre_y_ = start.y;
    centre_yaw_ = yaw;
    if (grid_->getDistance(start.x, start.y) > 0.8) {
      min_free_ = -2.0 * M_PI;
      max_free_ = 2.0 * M_PI;
      return true;
    }
    return spin_->getCollisionFreeAngle(worldPose(start.x, start.y, yaw), min_free_, max_free_);
  }
  int spinRating(const Node& n) const {
    const double d = std::hypot(centre_x_ - n.x, centre_y_ - n.y) - 10.0;
    if (d < 1.0 || d >= 3.0) {
      return 0;
    }
    double cw = 0.0;
    double ccw = 0.0;
    spin_->getSpinAngle(cellsPose(centre_x_, centre_y_, centre_yaw_), cellsPose(n.x, n.y, 0.0), cw,
                        ccw);
    const bool clockwise_ok = cw > -M_PI / 2.0 || cw > min_free_;
    const bool counter_clockwise_ok = ccw < M_PI / 2.0 || ccw < max_free_;
    return clockwise_ok || counter_clockwise_ok ? 2 : 1;
  }

  // ---- goal tests
  bool canTurnAround(int key) {
    const Node& n = nodes_.at(key);
    if (n.parent < 0 || nodes_.at(n.parent).parent < 0) {
      return false;
    }
    const Node& q = nodes_.at(nodes_.at(n.parent).parent);
    const Node& r = q.parent >= 0 ? nodes_.at(q.parent) : q;
    if (n.x == r.x && n.y == r.y) {
      return false;
    }
    const double d = grid_->getDistance(n.x, n.y);
    if (d > 0.8) {
      return true;
    }
    if (d < 0.6) {
      return false;
    }
    const double yaw = std::atan2(n.y - r.y, n.x - r.x);
    if (!spin_->isCollisionFree(worldPose(n.x, n.y, yaw), -M_PI, M_PI)) {
      return false;
    }
    trace[static_cast<std::size_t>(n.y) * size_x_ + n.x] = static_cast<uint8_t>(-2);
    const Pose pose = worldPose(n.x, n.y, yaw);
    dir_poses.push_back({pose.pose.position.x, pose.pose.position.y, yaw});
    return true;
  }

  bool canReachGoal(const std::vector<int>& chain, double tolerance) {
    if (tolerance < 0.0) {
      return true;
    }
    const double r = tolerance / costmap_->getResolution();
    const Node& goal = nodes_.at(chain.front());
    int chosen = chain.back();
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
      const Node& n = nodes_.at(chain[i]);
      if (std::hypot(n.x - goal.x, n.y - goal.y) > r) {
        chosen = chain[i];
        break;
      }
    }
    const Node& d = nodes_.at(chosen);
    if (grid_->getDistance(d.x, d.y) > 0.4) {
      return true;
    }
    if (chosen == chain.front()) {
      return false;
    }
    geometry_msgs::msg::Pose2D pose;
    costmap_->mapToWorld(d.x, d.y, pose.x, pose.y);
    pose.theta = std::atan2(goal.y - d.y, goal.x - d.x);
    return checker_->isCollisionFreePose(pose, true);
  }

  // ---- the search itself
  ReferenceOutcome run(const Search& search) {
    const Options& o = search.options;
    const bool rate_spin = !search.forward && (o.check_spin_direction || o.search_spin_free_point);
    ReferenceOutcome outcome;
    outcome.start_spin_blocked = !setSpinCentre(nodes_.at(search.start), search.start_yaw);
    last_expanded_ = 0;
    std::vector<Entry> open;
    const auto above = [](const Entry& a, const Entry& b) { return a.f >= b.f; };
    nodes_.at(search.start).opened = true;
    open.push_back({0.0, search.start});
    std::push_heap(open.begin(), open.end(), above);
    const int offsets[8][2] = {{-1, 0}, {-1, 1}, {-1, -1}, {0, 1},
                               {0, -1}, {1, 0},  {1, 1},   {1, -1}};
    int reached = -1;
    while (!open.empty() && reached < 0) {
      std::pop_heap(open.begin(), open.end(), above);
      const int key = open.back().key;
      open.pop_back();
      if (nodes_.at(key).closed) {
        continue;
      }
      nodes_.at(key).closed = true;
      ++last_expanded_;
      const Node current = nodes_.at(key);
      const bool is_goal = search.forward ? canTurnAround(key)
                                          : current.x == nodes_.at(search.goal).x &&
                                                current.y == nodes_.at(search.goal).y;
      if (is_goal) {
        reached = key;
        break;
      }
      for (const auto& offset : offsets) {
        const int nx = current.x + offset[0];
        const int ny = current.y + offset[1];
        if (nx < 0 || ny < 0 || nx >= size_x_ || ny >= size_y_ || danger(nx, ny, o.danger_level)) {
          continue;
        }
        const int next_key = keyOf(nx, ny);
        Node& next = node(next_key);
        if ((search.forward && spinRating(next) == 1) || next.closed) {
          continue;
        }
        double step = offset[0] != 0 && offset[1] != 0 ? 1.414 : 1.0;
        step += consistencyCost(next, o);
        if (o.priority_preference) {
          step += passageTerm(next, o, search.target_label);
        }
        const double g = current.g + step;
        if (next.opened && g >= next.g) {
          continue;
        }
        next.parent = key;
        next.g = g;
        if (next.opened) {
          continue;
        }
        double h = 0.0;
        uint8_t& code = trace[static_cast<std::size_t>(ny) * size_x_ + nx];
        if (search.forward) {
          h = grid_->getCost(nx, ny, o.cost_flag);
        } else {
          const Node& goal = nodes_.at(search.goal);
          h = o.cost_weight * grid_->getCost(nx, ny, o.cost_flag) +
              std::hypot(nx - goal.x, ny - goal.y);
          const int rating = rate_spin ? spinRating(next) : 0;
          if (rating == 1) {
            code = 98;
            h += o.spin_penalty;
          } else if (rating == 2) {
            code = 20;
          }
        }
        next.opened = true;
        open.push_back({next.g + h, next_key});
        std::push_heap(open.begin(), open.end(), above);
        if (code == 0) {
          code = 127;
        }
      }
    }
    outcome.expanded = last_expanded_;
    if (reached < 0) {
      return outcome;
    }
    std::vector<int> chain;  // goal first
    for (int k = reached; k >= 0; k = nodes_.at(k).parent) {
      chain.push_back(k);
    }
    if (o.check_goal_reachable && !canReachGoal(chain, search.tolerance)) {
      return outcome;
    }
    outcome.found = true;
    const bool flag_spin = o.check_spin_direction || o.search_spin_free_point;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      const Node& n = nodes_.at(*it);
      outcome.cells.emplace_back(n.x, n.y);
      if (flag_spin && spinRating(n) == 1) {
        outcome.spin_blocked_on_path = true;
      }
    }
    if (search.tolerance > 0.01) {
      outcome.goal_tolerance = static_cast<float>(search.tolerance);
    }
    outcome.has_goal_orientation = !search.forward;
    return outcome;
  }

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  std::shared_ptr<orvik_nav2_gridmap::MultiGridMap> grid_;
  std::shared_ptr<nav2_costmap_2d::Costmap2D> costmap_;
  int size_x_;
  int size_y_;
  std::shared_ptr<Collision::CollisionCheck> checker_;
  std::shared_ptr<Collision::SpinCollision> spin_;
  std::unordered_map<int, Node> nodes_;
  std::unordered_set<int> marks_;
  std::size_t last_expanded_{0};
  int centre_x_{0};
  int centre_y_{0};
  double centre_yaw_{0.0};
  double min_free_{0.0};
  double max_free_{0.0};
};

}  // namespace orvik_test
