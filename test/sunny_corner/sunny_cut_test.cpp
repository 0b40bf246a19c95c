// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "orvik_nav2_gridmap/collision_check.hpp"
#include "orvik_nav2_planner/sunny_process.hpp"
#include "sunny_corner/path_builders.hpp"
#include "support/log_capture.hpp"

namespace {

using Path = std::vector<geometry_msgs::msg::PoseStamped>;
using GridMapPtr = std::shared_ptr<orvik_nav2_gridmap::GridMapROS>;

constexpr double kResolution = 0.05;
// Corridor scenarios: the corridor runs east along y = kLaneY (a row of cell centres), with
// free cells up to 0.175 m either side of it; the corner lies at x = 1.
constexpr double kLaneY = 1.025;
constexpr double kCornerX = 1.0;

geometry_msgs::msg::Point vertex(double x, double y) {
  geometry_msgs::msg::Point p;
  p.x = x;
  p.y = y;
  return p;
}

// A 0.6 m x 0.2 m robot: free to drive along the corridor, but its ends reach 0.32 m from its
// centre when it turns, more than the corridor allows.
orvik_nav2_gridmap::GridMapConfig narrowRobot() {
  orvik_nav2_gridmap::GridMapConfig config;
  config.footprint = {vertex(0.3, 0.1), vertex(0.3, -0.1), vertex(-0.3, -0.1), vertex(-0.3, 0.1)};
  return config;
}

// A map whose cells are lethal where `blocked` holds for the cell centre.
GridMapPtr mapWhere(double width, double height, double origin_x, double origin_y,
                    const std::function<bool(double, double)>& blocked) {
  const auto size_x = static_cast<unsigned int>(std::lround(width / kResolution));
  const auto size_y = static_cast<unsigned int>(std::lround(height / kResolution));
  nav2_costmap_2d::Costmap2D costmap(size_x, size_y, kResolution, origin_x, origin_y, 0);
  for (unsigned int j = 0; j < size_y; ++j) {
    for (unsigned int i = 0; i < size_x; ++i) {
      const double x = origin_x + (i + 0.5) * kResolution;
      const double y = origin_y + (j + 0.5) * kResolution;
      if (blocked(x, y)) {
        costmap.setCost(i, j, nav2_costmap_2d::LETHAL_OBSTACLE);
      }
    }
  }
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, narrowRobot());
}

// Cell centres lie 0.05 apart from kLaneY, so the cut falls between 0.15 and 0.2.
bool outsideLane(double y) {
  return std::fabs(y - kLaneY) > 0.19;
}

GridMapPtr openMap() {
  return mapWhere(3.0, 2.0, 0.0, 0.0, [](double, double) { return false; });
}

GridMapPtr endlessCorridor() {
  return mapWhere(3.0, 2.0, 0.0, 0.0, [](double, double y) { return outsideLane(y); });
}

// The corridor ends at the corner and opens into a free room.
GridMapPtr corridorIntoRoom() {
  return mapWhere(3.0, 2.0, 0.0, 0.0,
                  [](double x, double y) { return x < kCornerX && outsideLane(y); });
}

// A corner at the end of the corridor, turning clockwise by `angle` from heading east, with
// stretch indices that fit laneApproach().
Point laneCorner(double angle = M_PI / 2, double heading = 0.0) {
  Point corner;
  corner.x = kCornerX;
  corner.y = kLaneY;
  corner.angle = angle;
  corner.heading_in = heading;
  corner.heading_out = heading - angle;
  corner.index = 9;
  corner.left_far = 0;
  corner.left_near = 10;
  corner.right_near = 11;
  corner.right_far = 15;
  return corner;
}

// Poses along the lane up to the corner and a little past it.
Path laneApproach() {
  Path path;
  for (int i = 0; i < 20; ++i) {
    path.push_back(orvik_test::poseAt(0.55 + 0.05 * i, kLaneY));
  }
  return path;
}

// Brute force over the same offsets, checking a clockwise sweep at corner + offset straight
// ahead with a checker of its own: the first free offset, or a negative value when there is
// none below 0.5.
double firstFreeOffset(const GridMapPtr& map, const Point& corner) {
  Collision::CollisionCheck checker(map);
  const int yaws = static_cast<int>(std::fabs(corner.angle) / 0.05 + 1);
  for (int cycle = 0; cycle < 25; ++cycle) {
    const double offset = cycle * 0.02;
    bool free = true;
    for (int i = 0; i <= yaws && free; ++i) {
      geometry_msgs::msg::Pose2D pose;
      pose.x = corner.x + offset * std::cos(corner.heading_in);
      pose.y = corner.y + offset * std::sin(corner.heading_in);
      pose.theta = corner.heading_in - i * 0.05;
      free = checker.isCollisionFreePose(pose, true);
    }
    if (free) {
      return offset;
    }
  }
  return -1.0;
}

DouglasPeuker cutterOver(const GridMapPtr& map) {
  return DouglasPeuker(0.1, 0.01, 30.0, 0.05, 1.0, map);
}

TEST(SunnySpinCheck, FreeRotationAtTheCornerGivesZeroOffset) {
  DouglasPeuker cutter = cutterOver(openMap());
  orvik_test::LogCapture log(spdlog::level::debug);
  double offset = -1.0;
  EXPECT_TRUE(cutter.isSpinCollisionFree(laneCorner(), offset));
  EXPECT_EQ(offset, 0.0);
  EXPECT_TRUE(log.contains(spdlog::level::debug, "Sunny corner rotation max_cycle_count=32"))
      << log.text();
  EXPECT_TRUE(
      log.contains(spdlog::level::debug, "Sunny corner collision free is true, the offset is: 0"));
}

TEST(SunnySpinCheck, FreeOnlyPastTheCorridorEnd) {
  const GridMapPtr map = corridorIntoRoom();
  DouglasPeuker cutter = cutterOver(map);
  double offset = -1.0;
  EXPECT_TRUE(cutter.isSpinCollisionFree(laneCorner(), offset));
  // The turning robot reaches about 0.3 m behind its centre, so it must be that far into the
  // room; a cell of slack either way.
  EXPECT_GT(offset, 0.2);
  EXPECT_LT(offset, 0.4);
  EXPECT_NEAR(offset, firstFreeOffset(map, laneCorner()), 1e-12);
}

TEST(SunnySpinCheck, NeverFreeInAnEndlessCorridor) {
  DouglasPeuker cutter = cutterOver(endlessCorridor());
  orvik_test::LogCapture log(spdlog::level::debug);
  double offset = -1.0;
  EXPECT_FALSE(cutter.isSpinCollisionFree(laneCorner(), offset));
  EXPECT_DOUBLE_EQ(offset, 0.5);
  EXPECT_FALSE(log.mentions("collision free is true"));
  EXPECT_LT(firstFreeOffset(endlessCorridor(), laneCorner()), 0.0);
}

TEST(SunnySpinCheck, SweepsClockwiseOnly) {
  // Blocks to the north-east and south-west of a corner in the open catch the robot's ends
  // when it turns counter-clockwise, never when it turns clockwise. Cell centres lie 0.05
  // apart from the corner, so the cuts at 0.14 and 0.2 fall between them.
  Point corner = laneCorner();
  corner.x = 1.5;
  const GridMapPtr map = mapWhere(3.0, 2.0, 0.0, 0.0, [&corner](double x, double y) {
    const double dx = x - corner.x;
    const double dy = y - corner.y;
    return (dx > 0.19 && dy > 0.14) || (dx < -0.19 && dy < -0.14);
  });
  DouglasPeuker cutter = cutterOver(map);
  double offset = -1.0;
  EXPECT_TRUE(cutter.isSpinCollisionFree(corner, offset));
  EXPECT_EQ(offset, 0.0);

  Collision::CollisionCheck checker(map);
  geometry_msgs::msg::Pose2D pose;
  pose.x = corner.x;
  pose.y = corner.y;
  bool counter_clockwise_free = true;
  for (int i = 0; i <= 32 && counter_clockwise_free; ++i) {
    pose.theta = i * 0.05;
    counter_clockwise_free = checker.isCollisionFreePose(pose, true);
  }
  EXPECT_FALSE(counter_clockwise_free);
}

TEST(SunnySpinCheck, SweepLengthFollowsTheTurningAngle) {
  DouglasPeuker cutter = cutterOver(openMap());
  double offset = 0.0;
  for (const auto& [angle, count] : {std::pair<double, int>{0.0, 1}, {M_PI, 63}, {-M_PI, 63}}) {
    orvik_test::LogCapture log(spdlog::level::debug);
    EXPECT_TRUE(cutter.isSpinCollisionFree(laneCorner(angle), offset));
    EXPECT_TRUE(log.contains(spdlog::level::debug,
                             fmt::format("Sunny corner rotation max_cycle_count={}", count)))
        << log.text();
  }
}

TEST(SunnySpinCheck, RefusesWithoutCheckerOrWithNonFiniteCorner) {
  DouglasPeuker plain(0.1, 0.01, 30.0, 0.05, 1.0);
  double offset = -1.0;
  EXPECT_FALSE(plain.isSpinCollisionFree(laneCorner(), offset));
  EXPECT_EQ(offset, 0.0);

  DouglasPeuker null_map(0.1, 0.01, 30.0, 0.05, 1.0, nullptr);
  EXPECT_EQ(null_map.collision_checker_, nullptr);
  EXPECT_FALSE(null_map.isSpinCollisionFree(laneCorner(), offset));

  DouglasPeuker cutter = cutterOver(openMap());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(cutter.isSpinCollisionFree(laneCorner(nan), offset));
  EXPECT_FALSE(cutter.isSpinCollisionFree(laneCorner(inf), offset));
  EXPECT_FALSE(cutter.isSpinCollisionFree(laneCorner(M_PI / 2, nan), offset));
  Point lost = laneCorner();
  lost.x = nan;
  EXPECT_FALSE(cutter.isSpinCollisionFree(lost, offset));
}

TEST(SunnySpinCheck, CornerOffTheMapIsNeverFree) {
  DouglasPeuker cutter = cutterOver(openMap());
  Point far_away = laneCorner();
  far_away.x = 100.0;
  double offset = 0.0;
  EXPECT_FALSE(cutter.isSpinCollisionFree(far_away, offset));
  EXPECT_DOUBLE_EQ(offset, 0.5);
}

class SunnyCut : public ::testing::Test {
 protected:
  // The corner pose A and the spin pose B close the path; B is also recorded.
  void expectCutAt(const Path& original, const Path& cut, const Point& corner, double ahead) {
    ASSERT_EQ(cut.size(), static_cast<size_t>(corner.left_near) + 2);
    for (int i = 0; i < corner.left_near; ++i) {
      EXPECT_EQ(cut[i], original[i]) << "pose " << i;
    }
    const auto& a = cut[corner.left_near];
    EXPECT_EQ(a.pose.position.x, corner.x);
    EXPECT_EQ(a.pose.position.y, corner.y);
    EXPECT_EQ(a.pose.position.z, 0.0);
    EXPECT_EQ(a.pose.orientation.x, corner.angle);
    EXPECT_EQ(a.pose.orientation.y, 0.0);
    EXPECT_NEAR(a.pose.orientation.z, std::sin(corner.heading_in / 2), 1e-15);
    EXPECT_NEAR(a.pose.orientation.w, std::cos(corner.heading_in / 2), 1e-15);
    EXPECT_EQ(a.header.frame_id, "");
    EXPECT_EQ(a.header.stamp.sec, 0);

    const auto& b = cut.back();
    EXPECT_NEAR(b.pose.position.x, corner.x + ahead * std::cos(corner.heading_in), 1e-12);
    EXPECT_NEAR(b.pose.position.y, corner.y + ahead * std::sin(corner.heading_in), 1e-12);
    EXPECT_EQ(b.pose.orientation, a.pose.orientation);
  }
};

TEST_F(SunnyCut, FreeCornerPutsSpinPoseTheGivenDistanceAhead) {
  DouglasPeuker cutter = cutterOver(openMap());
  cutter.line_corners_ = {laneCorner()};
  const Path original = laneApproach();
  Path path = original;
  ASSERT_TRUE(cutter.cutPathFromSunny(path, 0, 0.25));
  expectCutAt(original, path, laneCorner(), 0.25);
  ASSERT_EQ(cutter.cut_poses_.size(), 1u);
  EXPECT_EQ(cutter.cut_poses_[0], path.back());
}

TEST_F(SunnyCut, SpinPoseMovesOnByTheFreeOffset) {
  const GridMapPtr map = corridorIntoRoom();
  DouglasPeuker cutter = cutterOver(map);
  cutter.line_corners_ = {laneCorner()};
  const Path original = laneApproach();
  Path path = original;
  ASSERT_TRUE(cutter.cutPathFromSunny(path, 0, 0.1));
  const double offset = firstFreeOffset(map, laneCorner());
  ASSERT_GT(offset, 0.0);
  expectCutAt(original, path, laneCorner(), 0.1 + offset);

  // With no extra distance the spin pose is exactly where the rotation was found free.
  Path again = original;
  ASSERT_TRUE(cutter.cutPathFromSunny(again, 0, 0.0));
  Collision::CollisionCheck checker(map);
  geometry_msgs::msg::Pose2D spin;
  spin.x = again.back().pose.position.x;
  spin.y = again.back().pose.position.y;
  for (int i = 0; i <= 32; ++i) {
    spin.theta = -i * 0.05;
    EXPECT_TRUE(checker.isCollisionFreePose(spin, true)) << "yaw step " << i;
  }
  EXPECT_EQ(cutter.cut_poses_.size(), 2u);
}

TEST_F(SunnyCut, BlockedCornerFallsBackTo30CentimetresAhead) {
  DouglasPeuker cutter = cutterOver(endlessCorridor());
  cutter.line_corners_ = {laneCorner()};
  const Path original = laneApproach();
  Path path = original;
  ASSERT_TRUE(cutter.cutPathFromSunny(path, 0, 2.0));
  expectCutAt(original, path, laneCorner(), 0.3);
}

TEST_F(SunnyCut, SpinPoseFollowsTheIncomingHeading) {
  DouglasPeuker cutter = cutterOver(openMap());
  Point north = laneCorner(M_PI / 3, M_PI / 2);
  north.y = 0.6;
  cutter.line_corners_ = {north};
  const Path original = laneApproach();
  Path path = original;
  ASSERT_TRUE(cutter.cutPathFromSunny(path, 0, 0.4));
  expectCutAt(original, path, north, 0.4);
  EXPECT_NEAR(path.back().pose.position.x, north.x, 1e-12);
  EXPECT_NEAR(path.back().pose.position.y, 1.0, 1e-12);
}

TEST_F(SunnyCut, WorkedCornerOfAProcessedPath) {
  const GridMapPtr map = mapWhere(8.0, 7.0, -1.0, -6.0, [](double, double) { return false; });
  DouglasPeuker cutter(0.1, 0.01, 30.0, 0.05, 1.0, map);
  const Path original = orvik_test::eastThenTurnPath(-1.0);
  cutter.processPath(original);
  ASSERT_EQ(cutter.line_corners_.size(), 1u);
  const Point corner = cutter.line_corners_[0];
  Path path = original;
  ASSERT_TRUE(cutter.cutPathFromSunny(path, 0, 0.2));
  expectCutAt(original, path, corner, 0.2);
  EXPECT_NEAR(path.back().pose.position.x, 5.2, 1e-12);
  EXPECT_NEAR(path[corner.left_near].pose.orientation.x, M_PI / 2, 1e-12);
}

TEST_F(SunnyCut, RejectionsLeavePathAndInstanceUntouched) {
  DouglasPeuker cutter = cutterOver(openMap());
  cutter.line_corners_ = {laneCorner()};
  const Path original = laneApproach();

  {
    orvik_test::LogCapture log(spdlog::level::debug);
    Path empty;
    EXPECT_FALSE(cutter.cutPathFromSunny(empty, 0, 0.2));
    EXPECT_TRUE(empty.empty());
    EXPECT_TRUE(log.contains(spdlog::level::err, "The path in cut path from sunny is empty !!!"));
  }
  for (int index : {-1, 1, 7}) {
    orvik_test::LogCapture log(spdlog::level::debug);
    Path path = original;
    EXPECT_FALSE(cutter.cutPathFromSunny(path, index, 0.2));
    EXPECT_EQ(path, original);
    EXPECT_TRUE(log.contains(spdlog::level::err, "The index of sunny corner is error !!!!!!"))
        << index;
  }
  // left_near off a short path, and right_far off a path that holds left_near.
  for (size_t length : {10u, 15u}) {
    orvik_test::LogCapture log(spdlog::level::debug);
    const Path shorter(original.begin(), original.begin() + length);
    Path path = shorter;
    EXPECT_FALSE(cutter.cutPathFromSunny(path, 0, 0.2));
    EXPECT_EQ(path, shorter);
    EXPECT_TRUE(log.contains(spdlog::level::err, "The first point index is out of range !!!!"))
        << length;
  }
  EXPECT_TRUE(cutter.cut_poses_.empty());
  EXPECT_EQ(cutter.line_corners_.size(), 1u);
}

TEST_F(SunnyCut, RefusesNonFiniteInputAndMissingChecker) {
  const Path original = laneApproach();
  DouglasPeuker cutter = cutterOver(openMap());
  cutter.line_corners_ = {laneCorner()};
  for (double distance :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    Path path = original;
    EXPECT_FALSE(cutter.cutPathFromSunny(path, 0, distance));
    EXPECT_EQ(path, original);
  }
  cutter.line_corners_[0].heading_in = std::numeric_limits<double>::quiet_NaN();
  Path path = original;
  EXPECT_FALSE(cutter.cutPathFromSunny(path, 0, 0.2));
  EXPECT_EQ(path, original);

  DouglasPeuker plain(0.1, 0.01, 30.0, 0.05, 1.0);
  plain.line_corners_ = {laneCorner()};
  EXPECT_FALSE(plain.cutPathFromSunny(path, 0, 0.2));
  EXPECT_EQ(path, original);
  EXPECT_TRUE(cutter.cut_poses_.empty());
  EXPECT_TRUE(plain.cut_poses_.empty());
}

// Without a free spin place pose B goes a fixed 0.3 m ahead and the distance is not used, so a
// distance that is not finite is no reason to refuse the cut.
TEST_F(SunnyCut, NonFiniteDistanceIsNotUsedWhenNoFreeSpinPlaceIsFound) {
  const GridMapPtr map = endlessCorridor();
  ASSERT_LT(firstFreeOffset(map, laneCorner()), 0.0);
  DouglasPeuker cutter = cutterOver(map);
  cutter.line_corners_ = {laneCorner()};
  for (double distance :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity()}) {
    Path path = laneApproach();
    ASSERT_TRUE(cutter.cutPathFromSunny(path, 0, distance)) << distance;
    ASSERT_EQ(path.size(), 12u);
    EXPECT_DOUBLE_EQ(path.back().pose.position.x, kCornerX + 0.3);
    EXPECT_DOUBLE_EQ(path.back().pose.position.y, kLaneY);
  }
  EXPECT_EQ(cutter.cut_poses_.size(), 3u);
}

}  // namespace
