// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "orvik/logger.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_tools/communicator_engine.hpp"
#include "support/grid_fixtures.hpp"

// What the libraries allow to be shared between threads, used from several threads at once.
// Each test also checks its results, but its main purpose shows under ThreadSanitizer
// (scripts/tsan.sh), which fails the program on any data race.

namespace {

using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPlanner;
using orvik_nav2_planner::astar2::ReferencePath;

constexpr int kThreads = 4;

// Keeps the facade formatting and numbering statements while spdlog writes none of them.
class QuietLogger {
 public:
  QuietLogger() : logger_(orvik::Logger::Instance("spdlog").logger) {
    previous_ = logger_->level();
    logger_->set_level(spdlog::level::off);
  }
  ~QuietLogger() { logger_->set_level(previous_); }
  QuietLogger(const QuietLogger&) = delete;
  QuietLogger& operator=(const QuietLogger&) = delete;

 private:
  std::shared_ptr<spdlog::logger> logger_;
  spdlog::level::level_enum previous_{spdlog::level::info};
};

TEST(SharedLogging, LevelMayChangeWhileOtherThreadsLog) {
  QuietLogger quiet;
  orvik::Logger& facade = orvik::Logger::Instance("spdlog");
  const int32_t original = facade.level;
  std::atomic<bool> stop{false};
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t, &stop] {
      for (int i = 0; !stop.load() || i < 1000; ++i) {
        ORVIK_INFO("writer {} message {}", t, i);
        ORVIK_DEBUG("writer {} detail {}", t, i);
      }
    });
  }
  for (int i = 0; i < 2000; ++i) {
    facade.level = (i % 2 == 0) ? 1 : 4;
  }
  stop = true;
  for (auto& writer : writers) {
    writer.join();
  }
  facade.level = original;
  EXPECT_EQ(facade.level.load(), original);
}

// One planner per thread over one shared map, with the process-wide telemetry read meanwhile:
// every thread gets the path a lone planner gets.
TEST(SharedMap, PlannersOnSeveralThreadsFindWhatOnePlannerFinds) {
  QuietLogger quiet;
  std::vector<std::string> rows(40, std::string(60, '.'));
  for (int y = 5; y < 35; ++y) {
    rows[y][30] = '#';  // a wall with gaps at both ends
  }
  orvik_nav2_gridmap::GridMapConfig config;
  config.robot_radius = 0.1;
  const auto map = orvik_test::gridMapFromAscii(rows, config);
  const auto start = [&](int t) {
    geometry_msgs::msg::PoseStamped pose;
    pose.pose.position.x = 0.3 + 0.1 * t;
    pose.pose.position.y = 1.0;
    pose.pose.orientation.w = 1.0;
    return pose;
  };
  geometry_msgs::msg::PoseStamped goal;
  goal.pose.position.x = 2.7;
  goal.pose.position.y = 1.0;
  goal.pose.orientation.w = 1.0;
  // Each thread replans against a reference path of its own: a ReferencePath is not shared.
  auto referenceFor = [&](int t) {
    ReferencePath reference;
    reference.cost = 1.0;
    reference.distance = 1.0;
    reference.path.poses = {start(t), goal};
    return reference;
  };

  std::vector<orvik_nav2_protocol::msg::Path> expected(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    AstarPlanner alone("alone", map);
    ReferencePath reference = referenceFor(t);
    AstarOptions options;
    options.use_path_consistency = true;
    options.reference_path = &reference;
    options.check_spin_direction = true;
    ASSERT_TRUE(alone.searchPath(start(t), goal, options, expected[t]));
  }

  const auto telemetry = orvik_communicator::CommunicatorEngine::GetInstance()->getMicroUnitTrace();
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done.load()) {
      const auto poses = telemetry->dirPoses();
      const auto last = telemetry->lastLocalEndPose();
      EXPECT_LE(poses.size(), orvik_communicator::MicroUnitTrace::kDirPoseHistory);
      (void)last;
    }
  });
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      AstarPlanner planner("worker" + std::to_string(t), map);
      for (int round = 0; round < 20; ++round) {
        ReferencePath reference = referenceFor(t);
        AstarOptions options;
        options.use_path_consistency = true;
        options.reference_path = &reference;
        options.check_spin_direction = true;
        orvik_nav2_protocol::msg::Path path;
        if (!planner.searchPath(start(t), goal, options, path) || path.poses != expected[t].poses) {
          ++mismatches[t];
        }
        orvik_nav2_protocol::msg::Path forward;
        planner.searchForwardPath(start(t), AstarOptions{}, forward);
        planner.getTrace()->getTraceMat()->getLastPublished();
      }
    });
  }
  for (auto& worker : workers) {
    worker.join();
  }
  done = true;
  reader.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(mismatches[t], 0) << "thread " << t;
  }
}

}  // namespace
