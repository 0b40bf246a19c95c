// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/priority_passage.hpp"
#include "planner_test_support.hpp"

namespace {

using orvik_nav2_planner::astar2::AstarNode;
using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPlanner;
using orvik_nav2_planner::astar2::findNearestPassageLabel;
using orvik_nav2_planner::astar2::passageStepTerm;

std::shared_ptr<orvik_nav2_gridmap::GridMapROS> labelledMap(unsigned int sx, unsigned int sy,
                                                            std::vector<int> labels) {
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      nav2_costmap_2d::Costmap2D(sx, sy, 0.05, 0.0, 0.0, 0), orvik_nav2_gridmap::GridMapConfig{},
      std::move(labels));
}

// Independent statement of the answer: the smallest squared distance to a labelled cell; among
// cells at that distance the smallest label, except that cells lying exactly on the axis of
// the ring where the search stops (Chebyshev distance equal to the Euclidean one) are only
// seen when nothing else sits at that distance.
int bruteForceLabel(const std::vector<int>& labels, int sx, int sy, int x, int y) {
  long best_d2 = LONG_MAX;
  for (int cy = 0; cy < sy; ++cy) {
    for (int cx = 0; cx < sx; ++cx) {
      if (labels[cy * sx + cx] > 0) {
        best_d2 = std::min(best_d2, long{(cx - x) * (cx - x) + (cy - y) * (cy - y)});
      }
    }
  }
  if (best_d2 == LONG_MAX) {
    return 0;
  }
  int inner = 0;
  int any = 0;
  for (int cy = 0; cy < sy; ++cy) {
    for (int cx = 0; cx < sx; ++cx) {
      const int label = labels[cy * sx + cx];
      const long d2 = (cx - x) * (cx - x) + (cy - y) * (cy - y);
      if (label <= 0 || d2 != best_d2) {
        continue;
      }
      const long chebyshev = std::max(std::abs(cx - x), std::abs(cy - y));
      any = any == 0 ? label : std::min(any, label);
      if (chebyshev * chebyshev < d2) {
        inner = inner == 0 ? label : std::min(inner, label);
      }
    }
  }
  return inner != 0 ? inner : any;
}

TEST(NearestPassageLabel, AgreesWithABruteForceScanOnRandomLabelMaps) {
  std::mt19937 rng(2024);
  int nonzero = 0;
  for (int trial = 0; trial < 200; ++trial) {
    const int sx = 5 + static_cast<int>(rng() % 25);
    const int sy = 5 + static_cast<int>(rng() % 25);
    std::vector<int> labels(static_cast<std::size_t>(sx * sy), 0);
    const int count = static_cast<int>(rng() % 6);
    for (int i = 0; i < count; ++i) {
      // Few labels, so that ties on distance with different labels happen often.
      labels[rng() % labels.size()] = 1 + static_cast<int>(rng() % 3);
    }
    auto map = labelledMap(sx, sy, labels);
    for (int q = 0; q < 5; ++q) {
      const int x = static_cast<int>(rng() % sx);
      const int y = static_cast<int>(rng() % sy);
      const int expected = bruteForceLabel(labels, sx, sy, x, y);
      nonzero += expected != 0;
      EXPECT_EQ(findNearestPassageLabel(*map->getMultiGridMap(), x, y), expected)
          << "trial " << trial << " at " << x << "," << y;
    }
  }
  EXPECT_GT(nonzero, 500);
}

TEST(NearestPassageLabel, OwnCellWinsAndEqualDistancesGoToTheSmallerLabel) {
  std::vector<int> labels(15 * 9, 0);
  labels[4 * 15 + 7] = 3;
  labels[4 * 15 + 2] = 5;
  labels[4 * 15 + 12] = 2;
  auto map = labelledMap(15, 9, labels);
  EXPECT_EQ(findNearestPassageLabel(*map->getMultiGridMap(), 7, 4), 3);
  labels[4 * 15 + 7] = 0;
  map = labelledMap(15, 9, labels);
  EXPECT_EQ(findNearestPassageLabel(*map->getMultiGridMap(), 7, 4), 2);
  EXPECT_EQ(findNearestPassageLabel(*labelledMap(6, 6, {}).get()->getMultiGridMap(), 3, 3), 0);
}

class PassageTermTest : public ::testing::Test {
 protected:
  // Passage 1 fills rows 2 to 6 of a 20 x 9 map, passage 5 the columns 17 to 19 of row 0.
  PassageTermTest() {
    labels_.assign(20 * 9, 0);
    for (int y = 2; y <= 6; ++y) {
      for (int x = 0; x < 20; ++x) {
        labels_[y * 20 + x] = 1;
      }
    }
    for (int x = 17; x < 20; ++x) {
      labels_[x] = 5;
    }
    map_ = labelledMap(20, 9, labels_);
    options_.priority_preference = true;
    options_.outside_penalty = 7.0;
  }
  AstarNode cell(int x, int y) {
    AstarNode n;
    n.x = x;
    n.y = y;
    return n;
  }
  double term(int x, int y, int target) {
    const AstarNode n = cell(x, y);
    return passageStepTerm(*map_->getMultiGridMap(), &n, options_, target);
  }
  std::vector<int> labels_;
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  AstarOptions options_;
};

TEST_F(PassageTermTest, OutsideCostsThePenaltyAndOtherLabelsCountAsOutsideOnlyWithATarget) {
  EXPECT_EQ(term(3, 0, 1), 7.0);
  EXPECT_EQ(term(18, 0, 1), 7.0);
  EXPECT_EQ(term(18, 0, 0), 0.0);
  EXPECT_EQ(term(3, 0, 0), 7.0);
  EXPECT_EQ(term(3, 4, 1), 0.0);
}

TEST_F(PassageTermTest, InsideTermsUseBoundaryAndObstacleDistances) {
  options_.boundary_weight = 2.0;
  options_.center_weight = 5.0;
  options_.center_distance = 1e9;  // the map has no obstacles: distance is finite but large
  const auto& grid = *map_->getMultiGridMap();
  const double b = grid.getPriorityPassageBoundaryDist(10, 4);
  const double o = grid.getDistance(10, 4);
  EXPECT_GT(b, 0.0);
  EXPECT_DOUBLE_EQ(term(10, 4, 1), 2.0 / (b + 1.0) - 5.0 / (o + 1.0));
  options_.center_distance = 0.0;
  EXPECT_DOUBLE_EQ(term(10, 4, 1), 2.0 / (b + 1.0));
  // The centre part never comes without the boundary part.
  options_.boundary_weight = 0.0;
  options_.center_distance = 1e9;
  EXPECT_EQ(term(10, 4, 1), 0.0);
  // A cell on the passage edge weighs more than one in the middle.
  options_.boundary_weight = 2.0;
  options_.center_weight = 0.0;
  EXPECT_GT(term(10, 2, 1), term(10, 4, 1));
}

TEST_F(PassageTermTest, NoPassagesMeansNoTerm) {
  auto plain = labelledMap(20, 9, {});
  const AstarNode n = cell(3, 0);
  EXPECT_EQ(passageStepTerm(*plain->getMultiGridMap(), &n, options_, 1), 0.0);
}

TEST_F(PassageTermTest, PreferredPassageAttractsThePathAndIsReported) {
  AstarPlanner planner("pp", map_);
  options_.outside_penalty = 3.0;
  orvik_nav2_protocol::msg::Path path;
  orvik_test::LogCapture log;
  // From row 0 to row 0: straight along row 0 is shortest, the passage is cheaper.
  ASSERT_TRUE(planner.searchPath(orvik_test::cellPose(map_, 0, 0),
                                 orvik_test::cellPose(map_, 15, 0), options_, path));
  EXPECT_TRUE(log.contains(
      spdlog::level::info,
      "[PriorityPassage] AstarPlanner(pp) priority preference enabled, outside_penalty: 3"));
  EXPECT_TRUE(
      log.contains(spdlog::level::info,
                   "[PriorityPassage] AstarPlanner(pp) selected nearest target label: 1 (total: "));
  EXPECT_TRUE(
      log.contains(spdlog::level::info,
                   "[PriorityPassage] AstarPlanner(pp) path uses priority passage, cells: "));
  int inside = 0;
  for (const auto& c : orvik_test::pathCells(map_, path)) {
    inside += c.y >= 2 && c.y <= 6;
  }
  EXPECT_GT(inside, 5);
}

TEST_F(PassageTermTest, TargetLabelFromTheOptionsIsUsedAndStillLogged) {
  AstarPlanner planner("pp", map_);
  options_.target_label = 4;
  orvik_nav2_protocol::msg::Path path;
  orvik_test::LogCapture log;
  ASSERT_TRUE(planner.searchPath(orvik_test::cellPose(map_, 0, 4), orvik_test::cellPose(map_, 3, 4),
                                 options_, path));
  EXPECT_TRUE(log.contains(spdlog::level::info, "selected nearest target label: 4 (total: "));
}

TEST_F(PassageTermTest, PassagesWithoutPreferenceAreStillReported) {
  AstarPlanner planner("np", map_);
  orvik_nav2_protocol::msg::Path path;
  orvik_test::LogCapture log;
  ASSERT_TRUE(planner.searchPath(orvik_test::cellPose(map_, 0, 3), orvik_test::cellPose(map_, 5, 3),
                                 AstarOptions(), path));
  EXPECT_TRUE(log.contains(
      spdlog::level::info,
      "[PriorityPassage] AstarPlanner(np) priority passage loaded, but preference disabled"));
  EXPECT_TRUE(log.contains(
      spdlog::level::info,
      "[PriorityPassage] AstarPlanner(np) path uses priority passage, cells: 6/6, ratio: 1.000"));
  EXPECT_FALSE(log.mentions("selected nearest target label"));
}

TEST(PassagePreference, MapWithoutPassagesSearchesAsUsualWithOneWarning) {
  auto map = labelledMap(12, 8, {});
  AstarPlanner planner("none", map);
  AstarOptions preferred;
  preferred.priority_preference = true;
  preferred.outside_penalty = 10.0;
  orvik_nav2_protocol::msg::Path with;
  orvik_nav2_protocol::msg::Path without;
  orvik_test::LogCapture log;
  ASSERT_TRUE(planner.searchPath(orvik_test::cellPose(map, 0, 0), orvik_test::cellPose(map, 11, 7),
                                 preferred, with));
  EXPECT_EQ(
      log.count(spdlog::level::warn, "priority preference enabled, but no priority passage loaded"),
      1u);
  ASSERT_TRUE(planner.searchPath(orvik_test::cellPose(map, 0, 0), orvik_test::cellPose(map, 11, 7),
                                 AstarOptions(), without));
  EXPECT_EQ(with, without);
}

}  // namespace
