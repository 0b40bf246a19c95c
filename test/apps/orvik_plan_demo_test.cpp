// SPDX-License-Identifier: Apache-2.0
// End-to-end runs of orvik_plan, checked against the libraries' own answers for the same request.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include <opencv2/imgcodecs.hpp>

#include "apps/tool_runner.hpp"
#include "nav_msgs/msg/path.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"
#include "orvik_nav2_planner/sunny_process.hpp"
#include "support/grid_fixtures.hpp"

namespace {

using namespace orvik_plan_test;
using orvik_nav2_planner::astar2::AstarOptions;

geometry_msgs::msg::PoseStamped pose(double x, double y, double yaw) {
  geometry_msgs::msg::PoseStamped p;
  p.header.frame_id = "map";
  p.pose.position.x = x;
  p.pose.position.y = y;
  p.pose.orientation.z = std::sin(yaw / 2.0);
  p.pose.orientation.w = std::cos(yaw / 2.0);
  return p;
}

std::string poseArg(double x, double y, double yaw) {
  char text[96];
  std::snprintf(text, sizeof(text), "%.6f,%.6f,%.6f", x, y, yaw);
  return text;
}

/// Expects the JSON path to hold exactly the library's poses.
void expectSamePoses(const nlohmann::json& json_path,
                     const std::vector<geometry_msgs::msg::PoseStamped>& poses) {
  ASSERT_EQ(json_path["poses"].size(), poses.size());
  for (std::size_t i = 0; i < poses.size(); ++i) {
    EXPECT_NEAR(json_path["poses"][i]["x"].get<double>(), poses[i].pose.position.x, 1e-9) << i;
    EXPECT_NEAR(json_path["poses"][i]["y"].get<double>(), poses[i].pose.position.y, 1e-9) << i;
  }
}

struct DemoMap {
  std::string yaml = dataDir() + "/demo_warehouse.yaml";
  std::string config = dataDir() + "/demo_warehouse_gridmap.yaml";
  std::string labels = dataDir() + "/demo_warehouse_labels.pgm";
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> load() const {
    return orvik_nav2_gridmap::loadRosMap(yaml, orvik_nav2_gridmap::loadGridMapConfig(config),
                                          labels);
  }
};

TEST(OrvikPlanDemo, WithoutArgumentsWritesJsonAndAPictureOfTheMapSize) {
  TempDir dir;
  const ToolRun run = runTool({}, dir.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(run.err.empty()) << run.err;
  EXPECT_NE(run.out.find("FOUND"), std::string::npos);
  EXPECT_NE(run.out.find("out/plan.png"), std::string::npos);

  const auto json = readJson(dir.path() / "out" / "plan.json");
  EXPECT_TRUE(json["found"].get<bool>());
  const int scale = json["outputs"]["png_scale"].get<int>();
  ASSERT_GE(scale, 1);
  const cv::Mat picture = cv::imread((dir.path() / "out" / "plan.png").string());
  ASSERT_FALSE(picture.empty());
  EXPECT_EQ(picture.cols, json["map"]["size_x"].get<int>() * scale);
  EXPECT_EQ(picture.rows, json["map"]["size_y"].get<int>() * scale);
  // The demo is there to show the two-leg plan out of the corridor and every step after it.
  ASSERT_EQ(json["planner_paths"].size(), 2u);
  EXPECT_EQ(json["planner_paths"][0]["role"], "forward leg");
  EXPECT_EQ(json["planner_paths"][1]["role"], "backward leg");
  EXPECT_EQ(json["steps"].size(), 3u);
  EXPECT_FALSE(json["steps"][1]["cut_poses"].empty());
}

TEST(OrvikPlanDemo, DemoFlagKeepsTheOutputChoices) {
  TempDir dir;
  const ToolRun run = runTool(
      {"--demo", "--out-dir", "elsewhere", "--png-scale", "1", "--csv", "r.csv"}, dir.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const cv::Mat picture = cv::imread((dir.path() / "elsewhere" / "plan.png").string());
  EXPECT_EQ(picture.cols, 240);
  EXPECT_EQ(picture.rows, 160);
  EXPECT_EQ(readJson(dir.path() / "elsewhere" / "plan.json")["request"]["request"], "paths");
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "r.csv"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out"));
}

TEST(OrvikPlanDemo, PathsRequestMatchesTheLibrarysSearchPaths) {
  TempDir dir;
  const DemoMap demo;
  const std::string options = dir.write("options.yaml",
                                        "check_spin_direction: true\n"
                                        "search_spin_free_point: true\n"
                                        "spin_penalty: 20\n"
                                        "cost_weight: 0.05\n"
                                        "goal_tolerance: 0.3\n");
  const ToolRun run = runTool({"--map", demo.yaml, "--grid-config", demo.config, "--labels",
                               demo.labels, "--start", "9.0,4.0,0", "--goal", "1.0,2.35,3.14",
                               "--request", "paths", "--options", options, "--png-scale", "1"},
                              dir.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  AstarOptions o;
  o.check_spin_direction = true;
  o.search_spin_free_point = true;
  o.spin_penalty = 20;
  o.cost_weight = 0.05;
  orvik_nav2_planner::astar2::AstarPlanner planner("reference", demo.load());
  orvik_nav2_protocol::msg::MultiPaths expected;
  ASSERT_TRUE(planner.searchPaths(pose(9.0, 4.0, 0), pose(1.0, 2.35, 3.14), o, expected));

  const auto json = readJson(dir.path() / "out" / "plan.json");
  ASSERT_EQ(json["planner_paths"].size(), expected.paths.size());
  for (std::size_t i = 0; i < expected.paths.size(); ++i) {
    expectSamePoses(json["planner_paths"][i], expected.paths[i].poses);
    EXPECT_EQ(json["planner_paths"][i]["spin_blocked_on_path"].get<bool>(),
              expected.paths[i].spin_blocked_on_path);
    EXPECT_EQ(json["planner_paths"][i]["start_spin_blocked"].get<bool>(),
              expected.paths[i].start_spin_blocked);
  }
  EXPECT_EQ(json["request"]["options"]["spin_penalty"].get<int>(), 20);
  // At one pixel per cell the picture is exactly the map.
  const cv::Mat picture = cv::imread((dir.path() / "out" / "plan.png").string());
  EXPECT_EQ(picture.cols, 240);
  EXPECT_EQ(picture.rows, 160);
}

TEST(OrvikPlanDemo, ForwardRequestMatchesTheLibraryAndEndsWhereTheRobotCanTurn) {
  TempDir dir;
  const DemoMap demo;
  const ToolRun run = runTool({"--map", demo.yaml, "--grid-config", demo.config, "--start",
                               "9.0,4.0,0", "--request", "forward", "--no-png"},
                              dir.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  orvik_nav2_planner::astar2::AstarPlanner planner("reference", demo.load());
  orvik_nav2_protocol::msg::Path expected;
  ASSERT_TRUE(planner.searchForwardPath(pose(9.0, 4.0, 0), AstarOptions(), expected));
  const auto json = readJson(dir.path() / "out" / "plan.json");
  ASSERT_EQ(json["planner_paths"].size(), 1u);
  expectSamePoses(json["planner_paths"][0], expected.poses);
  // The corridor is too narrow to turn in; the turn happens in the bay east of x = 10.
  EXPECT_GT(json["planner_paths"][0]["poses"].back()["x"].get<double>(), 10.0);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "plan.png"));
}

TEST(OrvikPlanDemo, SunnyCutAndCsvMatchTheLibrarysDouglasPeuker) {
  TempDir dir;
  const DemoMap demo;
  const std::string post = dir.write("post.yaml",
                                     "sunny_corner:\n  dilute_threshold: 0.05\n"
                                     "  max_fit_error: 0.05\n  angle_margin: 30\n"
                                     "  max_corner_shift: 0.3\n  side_length: 0.8\n"
                                     "  corner_index: 0\n  distance: 0.1\n");
  const ToolRun run = runTool(
      {"--map", demo.yaml, "--grid-config", demo.config, "--start", "7.2,6.0,-1.57", "--goal",
       "1.0,2.35,3.14", "--post", "sunny", "--post-config", post, "--csv", "route.csv"},
      dir.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  const auto map = demo.load();
  orvik_nav2_planner::astar2::AstarPlanner planner("reference", map);
  orvik_nav2_protocol::msg::Path raw;
  ASSERT_TRUE(
      planner.searchPath(pose(7.2, 6.0, -1.57), pose(1.0, 2.35, 3.14), AstarOptions(), raw));
  DouglasPeuker analysis(0.05, 0.05, 30, 0.3, 0.8, map);
  analysis.processPath(raw.poses);
  ASSERT_FALSE(analysis.line_corners_.empty()) << "south then west is a clockwise corner";
  std::vector<geometry_msgs::msg::PoseStamped> cut = raw.poses;
  ASSERT_TRUE(analysis.cutPathFromSunny(cut, 0, 0.1));

  const auto json = readJson(dir.path() / "out" / "plan.json");
  expectSamePoses(json["planner_paths"][0], raw.poses);
  expectSamePoses(json["final_paths"][0], cut);
  EXPECT_EQ(json["steps"][0]["line_corners"].size(), analysis.line_corners_.size());
  ASSERT_EQ(json["steps"][0]["cut_poses"].size(), 1u);
  EXPECT_NEAR(json["steps"][0]["cut_poses"][0]["x"].get<double>(),
              analysis.cut_poses_[0].pose.position.x, 1e-9);

  // CSV: a header, then one line per pose of the final route, in order.
  const auto csv = lines(readFile(dir.path() / "route.csv"));
  ASSERT_EQ(csv.size(), cut.size() + 1);
  EXPECT_EQ(csv[0], "path,role,pose,x,y,yaw");
  double x = 0, y = 0;
  ASSERT_EQ(std::sscanf(csv.back().c_str(), "0,direct,%*d,%lf,%lf", &x, &y), 2);
  EXPECT_NEAR(x, cut.back().pose.position.x, 1e-6);
  EXPECT_NEAR(y, cut.back().pose.position.y, 1e-6);
}

/// First and last cells of a map that are usable at danger level 0, as world positions.
std::pair<cv::Point2d, cv::Point2d> farApartFreeCells(const orvik_nav2_gridmap::GridMapROS& map) {
  const auto grid = map.getMultiGridMap();
  const auto costmap = grid->getCostmap();
  std::vector<cv::Point2d> free;
  for (unsigned int y = 0; y < costmap->getSizeInCellsY(); y += 7) {
    for (unsigned int x = 0; x < costmap->getSizeInCellsX(); x += 7) {
      if (!grid->inDanger(x, y, 0)) {
        double wx = 0, wy = 0;
        costmap->mapToWorld(x, y, wx, wy);
        free.emplace_back(wx, wy);
      }
    }
  }
  return {free.front(), free.back()};
}

class OrvikPlanSharedMap : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string maps = orvik_test::sharedMapsDir();
    if (maps.empty()) {
      GTEST_SKIP() << "third-party maps not present";
    }
    map_yaml_ = maps + "/smoothers_world/smoothers_world.yaml";
    config_ = dir_.write("robot.yaml", "robot_radius: 0.2\ndanger_clearances: [0.2]\n");
    map_ =
        orvik_nav2_gridmap::loadRosMap(map_yaml_, orvik_nav2_gridmap::loadGridMapConfig(config_));
    std::tie(start_, goal_) = farApartFreeCells(*map_);
  }
  TempDir dir_;
  std::string map_yaml_;
  std::string config_;
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  cv::Point2d start_, goal_;
};

TEST_F(OrvikPlanSharedMap, Astar2PathMatchesTheLibraryAndPictureHasTheMapSize) {
  const ToolRun run = runTool(
      {"--map", map_yaml_, "--grid-config", config_, "--start", poseArg(start_.x, start_.y, 0),
       "--goal", poseArg(goal_.x, goal_.y, 0), "--png-scale", "2"},
      dir_.path());
  orvik_nav2_planner::astar2::AstarPlanner planner("reference", map_);
  orvik_nav2_protocol::msg::Path expected;
  const bool found = planner.searchPath(pose(start_.x, start_.y, 0), pose(goal_.x, goal_.y, 0),
                                        AstarOptions(), expected);
  ASSERT_EQ(run.status, found ? 0 : 1) << run.out << run.err;
  const auto json = readJson(dir_.path() / "out" / "plan.json");
  ASSERT_EQ(json["found"].get<bool>(), found);
  ASSERT_TRUE(found) << "the two far corners of the smoother world are connected";
  expectSamePoses(json["planner_paths"][0], expected.poses);
  EXPECT_EQ(json["nodes_expanded"].get<std::size_t>(), planner.expandedCount());
  const cv::Mat picture = cv::imread((dir_.path() / "out" / "plan.png").string());
  EXPECT_EQ(picture.cols, 600);
  EXPECT_EQ(picture.rows, 600);
}

TEST_F(OrvikPlanSharedMap, LegacyPathMatchesTheLibrary) {
  const ToolRun run = runTool(
      {"--map", map_yaml_, "--grid-config", config_, "--planner", "legacy", "--start",
       poseArg(start_.x, start_.y, 0), "--goal", poseArg(goal_.x, goal_.y, 1.0), "--no-png"},
      dir_.path());
  orvik_nav2_planner::astar::AstarPlanner planner;
  nav_msgs::msg::Path expected;
  ASSERT_TRUE(planner.searchv2(map_, pose(start_.x, start_.y, 0), pose(goal_.x, goal_.y, 1.0),
                               expected, false, 0.0, 0.0, 0));
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const auto json = readJson(dir_.path() / "out" / "plan.json");
  expectSamePoses(json["planner_paths"][0], expected.poses);
  EXPECT_NEAR(json["planner_paths"][0]["poses"].back()["yaw"].get<double>(), 1.0, 1e-9);
  EXPECT_EQ(json["nodes_expanded"].get<std::size_t>(), planner.closedNodes().size());
  EXPECT_EQ(json["nodes_opened"].get<std::size_t>(), planner.openNodes().size());
}

}  // namespace
