// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "legacy_test_support.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"
#include "support/grid_fixtures.hpp"

namespace {

using orvik_nav2_planner::astar::AstarPlanner;
using orvik_nav2_planner::astar::PathConstraint;
using Cells = std::vector<std::pair<int, int>>;
using Pose = geometry_msgs::msg::PoseStamped;

// The legacy request written out from its rules: endpoint moves in a Manhattan window, the
// corridor of a path constraint (blocks anchored at each pose, clipped to the map, up to the
// running length), a step cost that charges the cell entered, a key of cell cost (with the extra
// layer when cost_flag is set) plus straight-line distance, a first-key-only open list under a
// greater-or-equal heap, and a goal recognised when its cell is expanded.
class LegacyReference {
 public:
  explicit LegacyReference(legacy_test::GridMapPtr map)
      : map_(std::move(map)), grid_(map_->getMultiGridMap()), costmap_(grid_->getCostmap()) {
    size_x_ = static_cast<int>(costmap_->getSizeInCellsX());
    size_y_ = static_cast<int>(costmap_->getSizeInCellsY());
  }

  void setPathConstraint(const Pose& robot, const PathConstraint& constraint) {
    if (constraint.path.poses.empty()) {
      return;
    }
    active_ = true;
    cost_ = constraint.cost;
    corridor_.clear();
    auto poses = constraint.path.poses;
    std::size_t nearest = 0;
    const auto distance = [&](std::size_t k) {
      return std::hypot(poses[k].pose.position.x - robot.pose.position.x,
                        poses[k].pose.position.y - robot.pose.position.y);
    };
    for (std::size_t i = 1; i < poses.size(); ++i) {
      if (distance(i) < distance(nearest)) {
        nearest = i;
      }
    }
    poses.erase(poses.begin(), poses.begin() + static_cast<long>(nearest));
    const int n =
        static_cast<int>(std::ceil(constraint.distance / costmap_->getResolution() * 0.5));
    double length = 0.0;
    for (std::size_t i = 1; i < poses.size(); ++i) {
      length += std::hypot(poses[i].pose.position.x - poses[i - 1].pose.position.x,
                           poses[i].pose.position.y - poses[i - 1].pose.position.y);
      unsigned int px = 0;
      unsigned int py = 0;
      if (length > constraint.distance ||
          !costmap_->worldToMap(poses[i].pose.position.x, poses[i].pose.position.y, px, py)) {
        continue;
      }
      for (int j = 0; j < n; ++j) {
        for (int k = 0; k < n; ++k) {
          const int x = static_cast<int>(px) + j;
          const int y = static_cast<int>(py) + k;
          if (x < size_x_ && y < size_y_) {
            corridor_.insert(y * size_x_ + x);
          }
        }
      }
    }
  }

  const std::unordered_set<int>& corridor() const { return corridor_; }

  struct Outcome {
    bool found{false};
    Cells cells;
  };

  Outcome search(const Pose& start, const Pose& goal, bool cost_flag, double start_radius,
                 double goal_radius, int level) {
    int sx = 0;
    int sy = 0;
    int gx = 0;
    int gy = 0;
    if (!endpoint(start, start_radius, level, sx, sy) ||
        !endpoint(goal, goal_radius, level, gx, gy)) {
      return {};
    }
    struct Node {
      double g;
      int parent;
    };
    std::unordered_map<int, Node> discovered;
    std::unordered_set<int> closed;
    struct Entry {
      int index;
      double key;
    };
    const auto order = [](const Entry& a, const Entry& b) { return a.key >= b.key; };
    std::vector<Entry> open;
    const int s = sy * size_x_ + sx;
    discovered[s] = {std::hypot(sx - gx, sy - gy), -1};
    open.push_back({s, discovered[s].g});
    const int steps[8][2] = {{-1, 0}, {-1, 1}, {-1, -1}, {0, 1}, {0, -1}, {1, 0}, {1, 1}, {1, -1}};
    while (!open.empty()) {
      std::pop_heap(open.begin(), open.end(), order);
      const int i = open.back().index;
      open.pop_back();
      closed.insert(i);
      const int cx = i % size_x_;
      const int cy = i / size_x_;
      if (cx == gx && cy == gy) {
        Outcome outcome{true, {}};
        for (int at = i; at >= 0; at = discovered.at(at).parent) {
          outcome.cells.emplace_back(at % size_x_, at / size_x_);
        }
        std::reverse(outcome.cells.begin(), outcome.cells.end());
        return outcome;
      }
      for (const auto& step : steps) {
        const int nx = cx + step[0];
        const int ny = cy + step[1];
        const int n = ny * size_x_ + nx;
        if (nx < 0 || ny < 0 || nx >= size_x_ || ny >= size_y_ || closed.count(n) != 0 ||
            grid_->inDanger(nx, ny, level)) {
          continue;
        }
        const double g = discovered.at(i).g +
                         (step[0] != 0 && step[1] != 0 ? 1.4142135623730951 : 1.0) +
                         (active_ && corridor_.count(n) == 0 ? cost_ : 0.0);
        const auto known = discovered.find(n);
        if (known != discovered.end()) {
          if (g < known->second.g) {
            known->second = {g, i};
          }
          continue;
        }
        discovered[n] = {g, i};
        open.push_back({n, g + grid_->getCost(nx, ny, cost_flag) + std::hypot(nx - gx, ny - gy)});
        std::push_heap(open.begin(), open.end(), order);
      }
    }
    return {};
  }

 private:
  bool endpoint(const Pose& pose, double radius, int level, int& x, int& y) const {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!costmap_->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my)) {
      return false;
    }
    x = static_cast<int>(mx);
    y = static_cast<int>(my);
    if (radius > 0.0 && grid_->inDanger(x, y, level)) {
      const int m = static_cast<int>(radius / costmap_->getResolution());
      int best = std::numeric_limits<int>::max();
      int bx = -1;
      int by = -1;
      for (int wy = y - m; wy <= y + m; ++wy) {
        for (int wx = x - m; wx <= x + m; ++wx) {
          if (wx < 0 || wy < 0 || wx >= size_x_ || wy >= size_y_ ||
              grid_->inDanger(wx, wy, level)) {
            continue;
          }
          const int d = std::abs(wx - x) + std::abs(wy - y);
          if (d < best) {
            best = d;
            bx = wx;
            by = wy;
          }
        }
      }
      if (bx < 0) {
        return false;
      }
      x = bx;
      y = by;
    }
    return !grid_->inDanger(x, y, level);
  }

  legacy_test::GridMapPtr map_;
  std::shared_ptr<orvik_nav2_gridmap::MultiGridMap> grid_;
  std::shared_ptr<nav2_costmap_2d::Costmap2D> costmap_;
  int size_x_{0};
  int size_y_{0};
  bool active_{false};
  double cost_{0.0};
  std::unordered_set<int> corridor_;
};

PathConstraint randomConstraint(const legacy_test::GridMapPtr& map, std::mt19937& rng) {
  PathConstraint constraint;
  const auto costmap = map->getMultiGridMap()->getCostmap();
  const double res = costmap->getResolution();
  double x = costmap->getOriginX() + res * (0.5 + rng() % costmap->getSizeInCellsX());
  double y = costmap->getOriginY() + res * (0.5 + rng() % costmap->getSizeInCellsY());
  const int count = static_cast<int>(rng() % 40);
  for (int i = 0; i < count; ++i) {
    Pose pose;
    pose.pose.position.x = x;
    pose.pose.position.y = y;
    constraint.path.poses.push_back(pose);
    // One or two whole cells along an axis: on maps whose resolution is a power of two the
    // running length then meets the corridor distance exactly at times.
    const double length = res * (1 + rng() % 2);
    const int direction = static_cast<int>(rng() % 4);
    x += direction == 0 ? length : direction == 1 ? -length : 0.0;
    y += direction == 2 ? length : direction == 3 ? -length : 0.0;
  }
  constraint.cost = std::vector<double>{0.0, 0.7, 4.0}[rng() % 3];
  constraint.distance = res * static_cast<double>(rng() % 40);
  return constraint;
}

// Requests with every option a caller can set: cost_flag over an extra cost layer, danger
// levels with different clearances, fuzzy radii around blocked endpoints, and path constraints
// installed between requests, on maps of up to several thousand cells.
TEST(LegacyRequestOracle, EveryOptionMatchesAPlainTranscriptionOfTheRules) {
  std::mt19937 rng(1616);
  int found = 0;
  int moved = 0;
  int constrained = 0;
  int compared = 0;
  for (int map_index = 0; map_index < 40; ++map_index) {
    const unsigned int w = 6 + rng() % 70;
    const unsigned int h = 6 + rng() % 70;
    const double res = map_index % 2 ? 0.05 : 0.25;
    orvik_nav2_gridmap::GridMapConfig config;
    config.danger_clearances = {2.2 * res, 1.2 * res, 0.0};
    std::vector<uint8_t> extra(static_cast<std::size_t>(w) * h);
    for (auto& e : extra) {
      e = static_cast<uint8_t>(rng() % 3 == 0 ? rng() % 220 : 0);
    }
    const auto graded =
        orvik_test::randomGradedCostmap(w, h, 0.05 + 0.05 * (map_index % 5), 180, rng);
    nav2_costmap_2d::Costmap2D costmap(w, h, res, 0.0, 0.0, 0);
    for (unsigned int y = 0; y < h; ++y) {
      for (unsigned int x = 0; x < w; ++x) {
        costmap.setCost(x, y, graded.getCost(x, y));
      }
    }
    auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, config, std::vector<int>{},
                                                                extra);
    AstarPlanner planner;
    LegacyReference reference(map);
    for (int query = 0; query < 8; ++query) {
      const auto cell = [&] {
        return legacy_test::cellPose(map, static_cast<int>(rng() % w), static_cast<int>(rng() % h));
      };
      if (rng() % 3 == 0) {
        const Pose robot = cell();
        const PathConstraint constraint = randomConstraint(map, rng);
        planner.setPathConstraint(robot, constraint, map);
        reference.setPathConstraint(robot, constraint);
        EXPECT_TRUE(planner.constraintCells() == reference.corridor())
            << "map " << map_index << " query " << query << ": corridor";
        constrained += constraint.path.poses.empty() ? 0 : 1;
      }
      const Pose start = cell();
      Pose goal = cell();
      goal.pose.orientation.z = std::sin(0.3);
      goal.pose.orientation.w = std::cos(0.3);
      const bool cost_flag = rng() % 2;
      const double radii[4] = {0.0, 0.0, 2.4 * res, 8.0 * res};
      const double start_radius = radii[rng() % 4];
      const double goal_radius = radii[rng() % 4];
      const int level = static_cast<int>(rng() % 3);
      nav_msgs::msg::Path path;
      const bool ok =
          planner.searchv2(map, start, goal, path, cost_flag, start_radius, goal_radius, level);
      const auto expected =
          reference.search(start, goal, cost_flag, start_radius, goal_radius, level);
      const std::string where = "map " + std::to_string(map_index) + " (" + std::to_string(w) +
                                " x " + std::to_string(h) + ") query " + std::to_string(query);
      ASSERT_EQ(ok, expected.found) << where;
      EXPECT_EQ(legacy_test::pathCells(map, path), expected.cells) << where;
      ++compared;
      if (ok) {
        ++found;
        EXPECT_EQ(path.poses.back().pose.orientation.z, goal.pose.orientation.z) << where;
        // The goal node is left linked to the cell before it, as callers read it.
        const auto& goal_parent = planner.goalNode()->parent;
        if (expected.cells.size() > 1) {
          ASSERT_TRUE(goal_parent) << where;
          EXPECT_EQ(
              std::make_pair(static_cast<int>(goal_parent->x), static_cast<int>(goal_parent->y)),
              expected.cells[expected.cells.size() - 2])
              << where;
        } else {
          EXPECT_FALSE(goal_parent) << where;
        }
        nav_msgs::msg::Path requested;
        requested.poses = {start, goal};
        const Cells asked = legacy_test::pathCells(map, requested);
        moved += expected.cells.front() != asked.front() || expected.cells.back() != asked.back();
      }
    }
  }
  EXPECT_GT(found, compared / 3);
  EXPECT_LT(found, compared);
  EXPECT_GT(moved, 10);
  EXPECT_GT(constrained, 30);
}

}  // namespace
