// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <vector>

#include "orvik_nav2_planner/astar_planner.hpp"
#include "planner_test_support.hpp"

namespace {

using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPlanner;
using orvik_test::cellPose;
using Path = orvik_nav2_protocol::msg::Path;

struct PublishCounter {
  int images = 0;
  std::string last_name;
};

TEST(AstarTrace, ImageIsNamedAfterThePlanner) {
  auto map = orvik_test::gridMapFromAscii({"..."});
  AstarPlanner planner("alpha", map);
  EXPECT_EQ(planner.getTrace()->getTraceMat()->getName(), "alpha_astar_trace");
}

TEST(AstarTrace, OpenedCellsAreMarkedAndNothingElse) {
  auto map = orvik_test::gridMapFromAscii({"......", ".##...", "......", "......"});
  AstarPlanner planner("opened", map);
  Path path;
  ASSERT_TRUE(planner.searchPath(cellPose(map, 0, 0), cellPose(map, 5, 3), AstarOptions(), path));
  const cv::Mat codes = planner.getTrace()->getTraceMat()->getLastPublished();
  ASSERT_EQ(codes.rows, 4);
  ASSERT_EQ(codes.cols, 6);
  const auto& table = *planner.getTable();
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      const auto* node = table.find(x, y);
      const bool opened = node != nullptr && node->opened;
      const bool is_start = x == 0 && y == 0;
      // The start is pushed without a colour.
      EXPECT_EQ(codes.at<unsigned char>(y, x), opened && !is_start ? 127 : 0) << x << "," << y;
    }
  }
}

TEST(AstarTrace, FailedSearchStillPublishesItsImage) {
  auto map = orvik_test::gridMapFromAscii({".....", "..###", "..#.#", "..###"});
  AstarPlanner planner("fail", map);
  PublishCounter counter;
  planner.getTrace()->getTraceMat()->addListener(
      [&counter](const std::string& name, const cv::Mat&) {
        ++counter.images;
        counter.last_name = name;
      });
  Path path;
  EXPECT_FALSE(planner.searchPath(cellPose(map, 0, 0), cellPose(map, 3, 1), AstarOptions(), path));
  EXPECT_EQ(counter.images, 1);
  EXPECT_EQ(counter.last_name, "fail_astar_trace");
  const cv::Mat codes = planner.getTrace()->getTraceMat()->getLastPublished();
  // Every free cell outside the box except the start was opened; the boxed goal never was.
  EXPECT_EQ(cv::countNonZero(codes == 127), 20 - 8 - 1 - 1);
}

TEST(AstarTrace, GoalOffTheMapPublishesNeitherEndPosesNorAnImage) {
  auto map = orvik_test::gridMapFromAscii({"....", "...."});
  AstarPlanner planner("off", map);
  PublishCounter counter;
  planner.getTrace()->getTraceMat()->addListener(
      [&counter](const std::string&, const cv::Mat&) { ++counter.images; });
  auto trace = orvik_communicator::CommunicatorEngine::GetInstance()->getMicroUnitTrace();
  // Leave a mark that the failed request must reset.
  Path path;
  ASSERT_TRUE(planner.searchPath(cellPose(map, 0, 0), cellPose(map, 3, 1), AstarOptions(), path));
  ASSERT_EQ(counter.images, 1);
  const std::size_t poses_before = trace->localEndPoseCount();
  auto goal = cellPose(map, 3, 1);
  goal.pose.position.x = 5.0;
  EXPECT_FALSE(planner.searchPath(cellPose(map, 0, 0), goal, AstarOptions(), path));
  EXPECT_EQ(counter.images, 1);
  EXPECT_EQ(trace->localEndPoseCount(), poses_before);
  EXPECT_EQ(cv::countNonZero(planner.getTrace()->getTraceMat()->getMat()), 0);
}

TEST(AstarTrace, PublishedEndPosesKeepTheRequestHeadersAndOrientations) {
  auto map = orvik_test::gridMapFromAscii({"....", "...."});
  AstarPlanner planner("ends", map);
  auto start = cellPose(map, 0, 0, 0.5);
  auto goal = cellPose(map, 3, 1, -1.0);
  // Off-centre positions: the published poses show the centres of the cells used.
  start.pose.position.x += 0.01;
  goal.pose.position.y -= 0.02;
  start.pose.position.z = 0.7;
  start.header.frame_id = "odom";
  Path path;
  ASSERT_TRUE(planner.searchPath(start, goal, AstarOptions(), path));
  const auto [published_start, published_goal] =
      orvik_communicator::CommunicatorEngine::GetInstance()
          ->getMicroUnitTrace()
          ->lastLocalEndPose();
  EXPECT_DOUBLE_EQ(published_start.pose.position.x, 0.025);
  EXPECT_DOUBLE_EQ(published_start.pose.position.y, 0.025);
  EXPECT_EQ(published_start.pose.position.z, 0.7);
  EXPECT_EQ(published_start.header.frame_id, "odom");
  EXPECT_EQ(published_start.pose.orientation, start.pose.orientation);
  EXPECT_DOUBLE_EQ(published_goal.pose.position.x, 0.175);
  EXPECT_DOUBLE_EQ(published_goal.pose.position.y, 0.075);
  EXPECT_EQ(published_goal.pose.orientation, goal.pose.orientation);
}

}  // namespace
