// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_tools/communicator_engine.hpp"
#include "planner_test_support.hpp"
#include "request_reference.hpp"

namespace {

using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPlanner;
using orvik_nav2_planner::astar2::ReferencePath;
using Pose = geometry_msgs::msg::PoseStamped;
using CellList = std::vector<std::pair<int, int>>;

// A robot much longer than wide, so that the free rotation range at the start, the spin rating
// of directions and the full-turn check of turn-around cells all depend on where the walls are.
std::vector<geometry_msgs::msg::Point> thinFootprint(double half_length, double half_width) {
  std::vector<geometry_msgs::msg::Point> points(4);
  const double xs[4] = {half_length, half_length, -half_length, -half_length};
  const double ys[4] = {half_width, -half_width, -half_width, half_width};
  for (int i = 0; i < 4; ++i) {
    points[i].x = xs[i];
    points[i].y = ys[i];
  }
  return points;
}

// Walls, scattered obstacles and unknown cells over graded costs; passage rectangles with a
// few labels (overlapping ones overwrite); an extra cost layer on most maps.
std::shared_ptr<orvik_nav2_gridmap::GridMapROS> randomWorld(std::mt19937& rng) {
  const int sx = 34 + static_cast<int>(rng() % 50);
  const int sy = 34 + static_cast<int>(rng() % 50);
  // 0.0795 and 0.0605 m put straight runs of ten cells just inside the 0.8 m and just outside
  // the 0.6 m obstacle distances at which rotation and turn-around checks change.
  const double resolutions[4] = {0.05, 0.1, 0.0795, 0.0605};
  const double resolution = resolutions[rng() % 4];
  nav2_costmap_2d::Costmap2D costmap(sx, sy, resolution, -1.0, 0.5, 0);
  std::uniform_int_distribution<int> cost(1, 200);
  for (int y = 0; y < sy; ++y) {
    for (int x = 0; x < sx; ++x) {
      const unsigned roll = rng() % 100;
      costmap.setCost(x, y, roll < 2 ? 254 : roll < 3 ? 255 : roll < 50 ? 0 : cost(rng));
    }
  }
  const int walls = 2 + static_cast<int>(rng() % 6);
  for (int w = 0; w < walls; ++w) {
    const bool vertical = rng() % 2;
    const int length = 5 + static_cast<int>(rng() % 25);
    const int x0 = static_cast<int>(rng() % sx);
    const int y0 = static_cast<int>(rng() % sy);
    for (int i = 0; i < length; ++i) {
      const int x = vertical ? x0 : x0 + i;
      const int y = vertical ? y0 + i : y0;
      if (x < sx && y < sy) {
        costmap.setCost(x, y, 254);
      }
    }
  }
  std::vector<int> labels;
  if (rng() % 4 != 0) {
    labels.assign(static_cast<std::size_t>(sx) * sy, 0);
    const int passages = 1 + static_cast<int>(rng() % 3);
    const int label_choice[4] = {1, 2, 3, 5};
    for (int p = 0; p < passages; ++p) {
      const int label = label_choice[rng() % 4];
      const int x0 = static_cast<int>(rng() % sx);
      const int y0 = static_cast<int>(rng() % sy);
      const int w = 3 + static_cast<int>(rng() % 20);
      const int h = 3 + static_cast<int>(rng() % 20);
      for (int y = y0; y < std::min(sy, y0 + h); ++y) {
        for (int x = x0; x < std::min(sx, x0 + w); ++x) {
          labels[static_cast<std::size_t>(y) * sx + x] = label;
        }
      }
    }
  }
  std::vector<uint8_t> extra;
  if (rng() % 3 != 0) {
    extra.resize(static_cast<std::size_t>(sx) * sy);
    for (auto& e : extra) {
      e = static_cast<uint8_t>(rng() % 2 ? 0 : rng() % 150);
    }
  }
  orvik_nav2_gridmap::GridMapConfig config;
  const double lengths[4] = {0.3, 0.55, 0.7, 0.9};
  config.footprint = thinFootprint(lengths[rng() % 4], rng() % 2 ? 0.05 : 0.1);
  config.danger_clearances = {0.12, 0.06, 0.0};
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, config, labels, extra);
}

Pose poseAt(const std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map, int x, int y, double yaw) {
  return orvik_test::cellPose(map, x, y, yaw);
}

// A wandering previous path, partly off the map, starting anywhere.
ReferencePath randomReference(const std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map,
                              std::mt19937& rng) {
  ReferencePath reference;
  const auto costmap = map->getMultiGridMap()->getCostmap();
  const double res = costmap->getResolution();
  double x = costmap->getOriginX() + res * (rng() % costmap->getSizeInCellsX());
  double y = costmap->getOriginY() + res * (rng() % costmap->getSizeInCellsY());
  double heading = (rng() % 628) / 100.0;
  const int count = static_cast<int>(rng() % 30);
  for (int i = 0; i < count; ++i) {
    Pose pose;
    pose.pose.position.x = x;
    pose.pose.position.y = y;
    reference.path.poses.push_back(pose);
    heading += ((rng() % 100) / 100.0 - 0.5);
    x += std::cos(heading) * res * 1.7;
    y += std::sin(heading) * res * 1.7;
  }
  reference.cost = rng() % 2 ? 0.5 : 3.0;
  const double distances[3] = {0.3, 1.5, 3.0};
  reference.distance = distances[rng() % 3];
  reference.half_width = rng() % 2 ? 0.0 : 0.2;
  return reference;
}

AstarOptions randomOptions(std::mt19937& rng, ReferencePath* reference) {
  const auto pick = [&rng](std::initializer_list<double> values) {
    return *(values.begin() + rng() % values.size());
  };
  AstarOptions o;
  o.check_spin_direction = rng() % 2;
  o.search_spin_free_point = rng() % 2;
  o.spin_penalty = static_cast<int>(pick({0, 5, 60}));
  o.cost_flag = rng() % 2;
  o.cost_weight = pick({0.0, 0.01, 0.05, 1.0});
  o.start_fuzzy_radius = pick({0.0, 0.3, 1.0});
  o.goal_fuzzy_radius = pick({0.0, 0.3, 1.0});
  o.goal_tolerance = pick({-1.0, 0.005, 0.2, 0.3, 0.6});
  o.check_goal_reachable = rng() % 2;
  o.danger_level = static_cast<int>(rng() % 3);
  o.priority_preference = rng() % 3 != 0;
  o.outside_penalty = pick({0.0, 2.0, 10.0});
  o.boundary_weight = pick({0.0, 1.0, 4.0});
  o.center_weight = pick({0.0, 2.0});
  o.center_distance = pick({0.5, 0.3});
  o.target_label = static_cast<int>(pick({0, 0, 1, 2, 3, 5}));
  o.use_path_consistency = rng() % 2;
  o.reference_path = rng() % 5 == 0 ? nullptr : reference;
  o.linear_velocity = pick({0.0, 0.049, 0.3, 0.8});
  o.angular_velocity = pick({0.0, 0.6, -0.4});
  o.predict_time = pick({0.0, 0.1, 0.2, 1.5});
  return o;
}

struct Tally {
  int searches{0};
  int found{0};
  int moved_endpoints{0};
  int spin_blocked_paths{0};
  int forward_found{0};
  int turn_checks_accepted{0};
  int two_legs{0};
  int one_leg_after_blocked{0};
};

class RequestComparison {
 public:
  RequestComparison(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map, Tally& tally)
      : map_(std::move(map)), planner_("oracle", map_), reference_(map_), tally_(tally) {}

  void expectSameTrace(const std::string& where) {
    const cv::Mat& codes = planner_.getTrace()->getTraceMat()->getMat();
    const std::vector<uint8_t> actual(codes.data, codes.data + codes.total());
    EXPECT_TRUE(actual == reference_.trace) << where << ": trace images differ";
    const auto published = telemetry()->dirPoses();
    ASSERT_EQ(published.size(), reference_.dir_poses.size()) << where << ": turn-around poses";
    for (std::size_t i = 0; i < published.size(); ++i) {
      const auto& p = published[i].pose;
      const auto& e = reference_.dir_poses[i];
      EXPECT_NEAR(p.position.x, e.x, 1e-9) << where;
      EXPECT_NEAR(p.position.y, e.y, 1e-9) << where;
      EXPECT_NEAR(p.orientation.z, std::sin(e.yaw / 2.0), 1e-9) << where << ": heading";
      EXPECT_NEAR(p.orientation.w, std::cos(e.yaw / 2.0), 1e-9) << where << ": heading";
      EXPECT_EQ(published[i].header.frame_id, map_->getGlobalFrame()) << where;
    }
    tally_.turn_checks_accepted += published.empty() ? 0 : 1;
  }

  void expectSamePath(const orvik_nav2_protocol::msg::Path& path, std::size_t first_pose,
                      const orvik_test::ReferenceOutcome& expected, const Pose& goal,
                      const std::string& where) {
    const auto cells = orvik_test::pathCells(map_, path);
    CellList actual;
    for (std::size_t i = first_pose; i < cells.size(); ++i) {
      actual.emplace_back(cells[i].x, cells[i].y);
    }
    EXPECT_EQ(actual, expected.cells) << where;
    EXPECT_EQ(path.spin_blocked_on_path, expected.spin_blocked_on_path) << where;
    EXPECT_EQ(path.start_spin_blocked, expected.start_spin_blocked) << where;
    EXPECT_EQ(path.goal_tolerance, expected.goal_tolerance) << where;
    if (!path.poses.empty()) {
      const auto& q = path.poses.back().pose.orientation;
      const auto& e =
          expected.has_goal_orientation ? goal.pose.orientation : Pose().pose.orientation;
      EXPECT_TRUE(q.z == e.z && q.w == e.w) << where << ": last orientation";
    }
    tally_.spin_blocked_paths += expected.spin_blocked_on_path ? 1 : 0;
  }

  void searchPath(const Pose& start, const Pose& goal, AstarOptions options,
                  ReferencePath* reference, const std::string& where) {
    ReferencePath planner_copy = reference ? *reference : ReferencePath();
    AstarOptions planner_options = options;
    if (options.reference_path) {
      planner_options.reference_path = &planner_copy;
    }
    telemetry()->clear();
    reference_.dir_poses.clear();
    orvik_nav2_protocol::msg::Path path;
    const bool ok = planner_.searchPath(start, goal, planner_options, path);
    const auto expected = reference_.searchPath(start, goal, options);
    ASSERT_EQ(ok, expected.found) << where;
    EXPECT_EQ(planner_.expandedCount(), expected.expanded) << where;
    if (ok) {
      expectSamePath(path, 0, expected, goal, where);
      ++tally_.found;
    }
    if (expected.expanded > 0) {
      const auto end = telemetry()->lastLocalEndPose();
      const auto cells = orvik_test::pathCells(map_, pathOf({end.first, end.second}));
      EXPECT_EQ(cells.front().x, reference_.published_start.first) << where;
      EXPECT_EQ(cells.front().y, reference_.published_start.second) << where;
      EXPECT_EQ(cells.back().x, reference_.published_goal.first) << where;
      EXPECT_EQ(cells.back().y, reference_.published_goal.second) << where;
      const auto own = orvik_test::pathCells(map_, pathOf({start, goal}));
      tally_.moved_endpoints += own.front().x != reference_.published_start.first ||
                                own.back().x != reference_.published_goal.first ||
                                own.front().y != reference_.published_start.second ||
                                own.back().y != reference_.published_goal.second;
    }
    if (options.reference_path) {
      EXPECT_EQ(planner_copy.path.poses.size(), reference->path.poses.size()) << where;
    }
    expectSameTrace(where);
    ++tally_.searches;
  }

  void searchForwardPath(const Pose& start, AstarOptions options, ReferencePath* reference,
                         const std::string& where) {
    ReferencePath planner_copy = reference ? *reference : ReferencePath();
    AstarOptions planner_options = options;
    if (options.reference_path) {
      planner_options.reference_path = &planner_copy;
    }
    telemetry()->clear();
    reference_.dir_poses.clear();
    // A pose already in the path stays in front of the found ones.
    orvik_nav2_protocol::msg::Path path = pathOf({start});
    const bool ok = planner_.searchForwardPath(start, planner_options, path);
    const auto expected = reference_.searchForwardPath(start, options);
    ASSERT_EQ(ok, expected.found) << where;
    EXPECT_EQ(planner_.expandedCount(), expected.expanded) << where;
    if (ok) {
      expectSamePath(path, 1, expected, start, where);
      ++tally_.forward_found;
    }
    expectSameTrace(where);
    ++tally_.searches;
  }

  void searchPaths(const Pose& start, const Pose& goal, AstarOptions options,
                   ReferencePath* reference, const std::string& where) {
    ReferencePath planner_copy = reference ? *reference : ReferencePath();
    AstarOptions planner_options = options;
    if (options.reference_path) {
      planner_options.reference_path = &planner_copy;
    }
    telemetry()->clear();
    reference_.dir_poses.clear();
    orvik_nav2_protocol::msg::MultiPaths paths;
    const bool ok = planner_.searchPaths(start, goal, planner_options, paths);
    bool expected_ok = false;
    const auto expected = reference_.searchPaths(start, goal, options, expected_ok);
    ASSERT_EQ(ok, expected_ok) << where;
    ASSERT_EQ(paths.paths.size(), expected.size()) << where;
    EXPECT_EQ(planner_.expandedCount(), reference_.lastExpanded()) << where;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const bool forward_leg = expected.size() == 2 && i == 0;
      expectSamePath(paths.paths[i], 0, expected[i], forward_leg ? start : goal,
                     where + " path " + std::to_string(i));
    }
    tally_.two_legs += expected.size() == 2;
    expectSameTrace(where);
    ++tally_.searches;
  }

 private:
  static std::shared_ptr<orvik_communicator::MicroUnitTrace> telemetry() {
    return orvik_communicator::CommunicatorEngine::GetInstance()->getMicroUnitTrace();
  }
  static orvik_nav2_protocol::msg::Path pathOf(std::vector<Pose> poses) {
    orvik_nav2_protocol::msg::Path path;
    path.poses = std::move(poses);
    return path;
  }

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  AstarPlanner planner_;
  orvik_test::RequestReference reference_;
  Tally& tally_;
};

// Every request mode with every optional term, on random maps with walls, passages and a long
// thin robot: found flag, path cells, message flags, expanded count, trace image and the
// published poses must all be what the plain transcription of the rules gives.
TEST(AstarRequestOracle, EveryRequestModeMatchesAPlainTranscriptionOfItsRules) {
  std::mt19937 rng(16016);
  Tally tally;
  for (int map_index = 0; map_index < 90; ++map_index) {
    const auto map = randomWorld(rng);
    const auto costmap = map->getMultiGridMap()->getCostmap();
    const int sx = static_cast<int>(costmap->getSizeInCellsX());
    const int sy = static_cast<int>(costmap->getSizeInCellsY());
    const auto grid = map->getMultiGridMap();
    RequestComparison compare(map, tally);
    const auto randomPose = [&](int level) {
      // Mostly usable cells; some blocked ones for the endpoint moves.
      for (int attempt = 0; attempt < 50; ++attempt) {
        const int x = static_cast<int>(rng() % sx);
        const int y = static_cast<int>(rng() % sy);
        if (rng() % 4 == 0 || !grid->inDanger(x, y, level)) {
          return poseAt(map, x, y, (rng() % 628) / 100.0 - 3.14);
        }
      }
      return poseAt(map, 0, 0, 0.0);
    };
    // Starts whose obstacle distance lies near the 0.8 m beyond which a full turn is taken as
    // free without a check: there the free rotation range depends on that limit.
    std::vector<std::pair<int, int>> near_limit;
    for (int y = 0; y < sy; ++y) {
      for (int x = 0; x < sx; ++x) {
        const double d = grid->getDistance(x, y);
        if (d > 0.75 && d < 0.85) {
          near_limit.emplace_back(x, y);
        }
      }
    }
    const auto startPose = [&](int level) {
      if (near_limit.empty() || rng() % 3 != 0) {
        return randomPose(level);
      }
      const auto [x, y] = near_limit[rng() % near_limit.size()];
      return poseAt(map, x, y, (rng() % 628) / 100.0 - 3.14);
    };
    for (int query = 0; query < 9; ++query) {
      ReferencePath reference = randomReference(map, rng);
      AstarOptions options = randomOptions(rng, &reference);
      const Pose start = startPose(options.danger_level);
      const Pose goal = randomPose(options.danger_level);
      const std::string where = "map " + std::to_string(map_index) + " (" + std::to_string(sx) +
                                " x " + std::to_string(sy) + ") query " + std::to_string(query);
      switch (query % 3) {
        case 0:
          compare.searchPath(start, goal, options, &reference, where + " searchPath");
          break;
        case 1:
          compare.searchForwardPath(start, options, &reference, where + " searchForwardPath");
          break;
        default:
          options.search_spin_free_point = rng() % 4 != 0;
          compare.searchPaths(start, goal, options, &reference, where + " searchPaths");
          break;
      }
      if (::testing::Test::HasFatalFailure()) {
        return;
      }
    }
  }
  // The sample must reach every branch that the comparison is meant to cover.
  EXPECT_GT(tally.found, 40);
  EXPECT_GT(tally.moved_endpoints, 5);
  EXPECT_GT(tally.spin_blocked_paths, 5);
  EXPECT_GT(tally.forward_found, 15);
  EXPECT_GT(tally.turn_checks_accepted, 5);
  EXPECT_GT(tally.two_legs, 3);
  std::printf(
      "searches %d found %d moved %d spin-blocked %d forward %d turn-checked %d two-leg %d\n",
      tally.searches, tally.found, tally.moved_endpoints, tally.spin_blocked_paths,
      tally.forward_found, tally.turn_checks_accepted, tally.two_legs);
}

}  // namespace
