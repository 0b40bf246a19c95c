// SPDX-License-Identifier: Apache-2.0
// A program that uses the three planner libraries as a downstream user does: linked against the
// shared libraries, each of which carries its own copy of the header-only logging facade and
// communicator access. It makes each library log and publish, then reports what its own copies
// see, so the test can tell whether the process ended up with one logger, one counter and one
// communicator.
#include <cstdio>
#include <memory>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav_msgs/msg/path.hpp"
#include "orvik/logger.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"
#include "orvik_nav2_planner/sunny_process.hpp"
#include "orvik_nav2_tools/communicator_engine.hpp"

namespace {

geometry_msgs::msg::PoseStamped poseAt(double x, double y) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "map";
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.w = 1.0;
  return pose;
}

}  // namespace

int main() {
  auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      nav2_costmap_2d::Costmap2D(10, 10, 0.1, 0.0, 0.0, 0), orvik_nav2_gridmap::GridMapConfig{});
  const auto inside = poseAt(0.25, 0.25);
  const auto far_away = poseAt(50.0, 50.0);

  // Library 1: a found path publishes its end poses; an off-map goal logs two errors.
  orvik_nav2_planner::astar2::AstarPlanner planner("probe", map);
  orvik_nav2_protocol::msg::Path path;
  planner.searchPath(inside, poseAt(0.75, 0.25), {}, path);
  planner.searchPath(inside, far_away, {}, path);
  // Library 2: the legacy search publishes its request's end poses and logs the failed goal.
  orvik_nav2_planner::astar::AstarPlanner legacy;
  nav_msgs::msg::Path legacy_path;
  legacy.searchv2(map, inside, far_away, legacy_path, false, 0.0, 0);
  // Library 3: a threshold of 0 is warned about.
  DouglasPeuker simplifier(0.0, 0.1, 10.0, 0.5, 0.5);

  auto& logger = orvik::Logger::Instance("probe");
  std::printf("counter %d\n", static_cast<int>(logger.counter.load()));
  std::printf("end poses %zu\n", orvik_communicator::CommunicatorEngine::GetInstance()
                                     ->getMicroUnitTrace()
                                     ->localEndPoseCount());
  return 0;
}
