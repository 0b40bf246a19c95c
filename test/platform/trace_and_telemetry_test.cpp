// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "orvik_nav2_tools/communicator_engine.hpp"
#include "orvik_nav2_tools/trace_mat.hpp"
#include "platform/temp_files.hpp"
#include "support/grid_fixtures.hpp"

namespace {

geometry_msgs::msg::PoseStamped pose(double x, double y) {
  geometry_msgs::msg::PoseStamped p;
  p.header.frame_id = "map";
  p.pose.position.x = x;
  p.pose.position.y = y;
  return p;
}

}  // namespace

TEST(TraceMat, CodesPerCellWithResetAndOffMapCellsIgnored) {
  auto map = orvik_test::gridMapFromAscii({".....", ".....", "....."});
  orvik_trace::TraceMat trace(map, "planner_astar_trace");
  EXPECT_EQ(trace.getMat().cols, 5);
  EXPECT_EQ(trace.getMat().rows, 3);
  trace.setMatPointColor(cv::Point(4, 2), static_cast<char>(-2));
  trace.setMatPointColor(cv::Point(1, 0), 127);
  trace.setMatPointColor(cv::Point(5, 0), 20);   // off the map
  trace.setMatPointColor(cv::Point(-1, 1), 20);  // off the map
  EXPECT_EQ(trace.getMatColor(cv::Point(4, 2)), static_cast<char>(-2));
  EXPECT_EQ(static_cast<uint8_t>(trace.getMatColor(cv::Point(4, 2))), 254);
  EXPECT_EQ(trace.getMatColor(cv::Point(1, 0)), 127);
  EXPECT_EQ(trace.getMatColor(cv::Point(5, 0)), 0);
  EXPECT_EQ(cv::countNonZero(trace.getMat()), 2);
  trace.reset();
  EXPECT_EQ(cv::countNonZero(trace.getMat()), 0);
}

TEST(TraceMat, PublishHandsASnapshotToListenersAndKeepsIt) {
  auto map = orvik_test::gridMapFromAscii({"...", "..."});
  orvik_trace::TraceMat trace(map, "p_astar_trace");
  EXPECT_TRUE(trace.getLastPublished().empty());
  int calls = 0;
  std::string seen_name;
  cv::Mat seen;
  trace.addListener([&](const std::string& name, const cv::Mat& codes) {
    ++calls;
    seen_name = name;
    seen = codes;
  });
  trace.setMatPointColor(cv::Point(2, 1), 98);
  trace.publishCVMatAsGrid();
  trace.reset();  // later drawing must not change what was published
  ASSERT_EQ(calls, 1);
  EXPECT_EQ(seen_name, "p_astar_trace");
  EXPECT_EQ(seen.at<uint8_t>(1, 2), 98);
  EXPECT_EQ(trace.getLastPublished().at<uint8_t>(1, 2), 98);
}

TEST(TraceMat, LaterPublishesNeverChangeASnapshotSomeoneStillHolds) {
  auto map = orvik_test::gridMapFromAscii({"...", "..."});
  orvik_trace::TraceMat trace(map, "t");
  cv::Mat held;
  trace.addListener([&](const std::string&, const cv::Mat& codes) {
    if (held.empty()) {
      held = codes;
    }
  });
  trace.setMatPointColor(cv::Point(0, 0), 98);
  trace.publishCVMatAsGrid();
  const cv::Mat fetched = trace.getLastPublished();
  for (uint8_t code : {20, 127}) {
    trace.reset();
    trace.setMatPointColor(cv::Point(0, 0), static_cast<char>(code));
    trace.publishCVMatAsGrid();
    EXPECT_EQ(trace.getLastPublished().at<uint8_t>(0, 0), code);
  }
  EXPECT_EQ(held.at<uint8_t>(0, 0), 98);
  EXPECT_EQ(fetched.at<uint8_t>(0, 0), 98);
}

TEST(TraceMat, WritesPngWithMapRowZeroAtTheBottom) {
  auto map = orvik_test::gridMapFromAscii({"....", "...."});
  orvik_trace::TraceMat trace(map, "t");
  trace.setMatPointColor(cv::Point(0, 0), 127);
  orvik_test::TempDir tmp;
  const std::string path = tmp.path() + "/trace.png";
  ASSERT_TRUE(orvik_trace::TraceMat::writePng(trace.getMat(), path));
  const cv::Mat image = cv::imread(path, cv::IMREAD_COLOR);
  ASSERT_EQ(image.rows, 2);
  EXPECT_NE(image.at<cv::Vec3b>(1, 0), cv::Vec3b(255, 255, 255));  // bottom-left
  EXPECT_EQ(image.at<cv::Vec3b>(0, 0), cv::Vec3b(255, 255, 255));
  EXPECT_FALSE(orvik_trace::TraceMat::writePng(cv::Mat(), path));
  EXPECT_FALSE(orvik_trace::TraceMat::writePng(trace.getMat(), tmp.path() + "/no/such/dir.png"));
}

TEST(CommunicatorEngine, OneProcessWideInstance) {
  auto a = orvik_communicator::CommunicatorEngine::GetInstance();
  auto b = orvik_communicator::CommunicatorEngine::GetInstance();
  ASSERT_TRUE(a);
  EXPECT_EQ(a.get(), b.get());
  EXPECT_EQ(a->getMicroUnitTrace().get(), b->getMicroUnitTrace().get());
}

TEST(MicroUnitTrace, ListenersReceivePosesUntilRemoved) {
  orvik_communicator::MicroUnitTrace trace;
  int end_calls = 0;
  std::vector<double> dir_xs;
  const int end_id = trace.addEndPoseListener(
      [&](const geometry_msgs::msg::PoseStamped& s, const geometry_msgs::msg::PoseStamped& g) {
        ++end_calls;
        EXPECT_DOUBLE_EQ(s.pose.position.x, 1.0);
        EXPECT_DOUBLE_EQ(g.pose.position.y, 4.0);
      });
  trace.addDirPoseListener(
      [&](const geometry_msgs::msg::PoseStamped& p) { dir_xs.push_back(p.pose.position.x); });
  trace.PublishLocalEndPose(pose(1, 2), pose(3, 4));
  trace.PublishDirPose(pose(7, 0));
  trace.PublishDirPose(pose(8, 0));
  trace.removeListener(end_id);
  trace.PublishLocalEndPose(pose(1, 0), pose(0, 4));
  EXPECT_EQ(end_calls, 1);
  EXPECT_EQ(dir_xs, (std::vector<double>{7, 8}));
  EXPECT_EQ(trace.localEndPoseCount(), 2u);
  EXPECT_DOUBLE_EQ(trace.lastLocalEndPose().first.pose.position.x, 1.0);
  EXPECT_DOUBLE_EQ(trace.lastLocalEndPose().first.pose.position.y, 0.0);
  EXPECT_EQ(trace.dirPoses().size(), 2u);
  trace.clear();
  EXPECT_EQ(trace.localEndPoseCount(), 0u);
  EXPECT_TRUE(trace.dirPoses().empty());
}

TEST(MicroUnitTrace, KeepsOnlyTheMostRecentTurnAroundPoses) {
  orvik_communicator::MicroUnitTrace trace;
  const std::size_t limit = orvik_communicator::MicroUnitTrace::kDirPoseHistory;
  const std::size_t published = 3 * limit + 7;
  for (std::size_t i = 0; i < published; ++i) {
    trace.PublishDirPose(pose(static_cast<double>(i), 0));
  }
  const auto kept = trace.dirPoses();
  ASSERT_EQ(kept.size(), limit);
  for (std::size_t i = 0; i < limit; ++i) {
    EXPECT_DOUBLE_EQ(kept[i].pose.position.x, static_cast<double>(published - limit + i));
  }
  EXPECT_EQ(trace.dirPoseCount(), published);
  trace.clear();
  EXPECT_EQ(trace.dirPoseCount(), 0u);
  trace.PublishDirPose(pose(1, 0));
  ASSERT_EQ(trace.dirPoses().size(), 1u);
}
