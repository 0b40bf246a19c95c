// SPDX-License-Identifier: Apache-2.0
// Both planner plugins on Nav2's smoother benchmark world, against direct calls of the
// planners on the same map: same path, stamped as Nav2 planners stamp theirs, failures as
// exceptions that planner_server catches, and a replan after the costmap changed.
#include <cmath>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "nav2_core/exceptions.hpp"
#include "nav2_core/global_planner.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"
#include "plugins/plugin_test_support.hpp"
#include "rclcpp/exceptions.hpp"

namespace {

using orvik_test::mapPose;
using PoseList = std::vector<geometry_msgs::msg::PoseStamped>;

constexpr char kAstar2Type[] = "orvik_nav2_plugins::Astar2Planner";
constexpr char kLegacyType[] = "orvik_nav2_plugins::LegacyAstarPlanner";

class PlannerPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto world = orvik_test::inflatedSmoothersWorld(0.21);
    if (!world) {
      GTEST_SKIP() << "shared maps folder absent";
    }
    costmap_ros = std::make_shared<nav2_costmap_2d::Costmap2DROS>("global_costmap");
    // 0.48 x 0.40 m before the 1 cm padding: inscribed radius 0.21 m.
    setRectangularRobot(0.24, 0.20);
    *costmap_ros->getCostmap() = *world;
  }

  void setRectangularRobot(double half_length, double half_width) {
    std::vector<geometry_msgs::msg::Point> rectangle;
    for (auto [x, y] : {std::pair{half_length, half_width},
                        {-half_length, half_width},
                        {-half_length, -half_width},
                        {half_length, -half_width}}) {
      geometry_msgs::msg::Point p;
      p.x = x;
      p.y = y;
      rectangle.push_back(p);
    }
    costmap_ros->setRobotFootprint(rectangle);
  }

  /// The grid map a planner plugin should build: the costmap's padded footprint, and the
  /// inscribed radius as the only danger clearance unless one is given.
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> expectedMap(std::vector<double> clearances = {}) {
    orvik_nav2_gridmap::GridMapConfig config;
    config.global_frame = "map";
    config.footprint = costmap_ros->getRobotFootprint();
    config.danger_clearances =
        clearances.empty()
            ? std::vector<double>{costmap_ros->getLayeredCostmap()->getInscribedRadius()}
            : clearances;
    return std::make_shared<orvik_nav2_gridmap::GridMapROS>(*costmap_ros->getCostmap(), config);
  }

  std::shared_ptr<nav2_core::GlobalPlanner> configured(
      const char* type, const std::string& name,
      const std::vector<rclcpp::Parameter>& overrides = {}) {
    node = orvik_test::serverNode("planner_server", overrides);
    auto planner = orvik_test::createPlugin<nav2_core::GlobalPlanner>(type);
    EXPECT_NE(planner, nullptr);
    if (planner) {
      planner->configure(node, name, nullptr, costmap_ros);
      planner->activate();
    }
    return planner;
  }

  static PoseList astar2Direct(const std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map,
                               const orvik_nav2_planner::astar2::AstarOptions& options,
                               const geometry_msgs::msg::PoseStamped& start,
                               const geometry_msgs::msg::PoseStamped& goal) {
    orvik_nav2_planner::astar2::AstarPlanner planner("GridBased", map);
    orvik_nav2_protocol::msg::Path path;
    EXPECT_TRUE(planner.searchPath(start, goal, options, path));
    return path.poses;
  }

  static PoseList legacyDirect(const std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map,
                               const geometry_msgs::msg::PoseStamped& start,
                               const geometry_msgs::msg::PoseStamped& goal) {
    orvik_nav2_planner::astar::AstarPlanner planner;
    nav_msgs::msg::Path path;
    EXPECT_TRUE(planner.searchv2(map, start, goal, path, false, 0.0, 0.0, 0));
    return path.poses;
  }

  /// Same positions and orientations, and each pose carries the path's header, which is in
  /// the costmap's frame and stamped.
  static void expectPlanned(const nav_msgs::msg::Path& path, const PoseList& expected) {
    EXPECT_EQ(path.header.frame_id, "map");
    EXPECT_GT(path.header.stamp.sec, 0) << "stamped with the node's clock";
    ASSERT_EQ(path.poses.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(path.poses[i].header, path.header) << "pose " << i;
      EXPECT_EQ(path.poses[i].pose, expected[i].pose) << "pose " << i;
    }
  }

  static bool samePoses(const PoseList& a, const PoseList& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const auto& p, const auto& q) { return p.pose == q.pose; });
  }

  /// The centre of some lethal cell.
  geometry_msgs::msg::PoseStamped onObstacle() {
    auto* costmap = costmap_ros->getCostmap();
    for (unsigned int y = 0; y < costmap->getSizeInCellsY(); ++y) {
      for (unsigned int x = 0; x < costmap->getSizeInCellsX(); ++x) {
        if (costmap->getCost(x, y) == nav2_costmap_2d::LETHAL_OBSTACLE) {
          double wx = 0.0;
          double wy = 0.0;
          costmap->mapToWorld(x, y, wx, wy);
          return mapPose(wx, wy);
        }
      }
    }
    ADD_FAILURE() << "no obstacle on the map";
    return mapPose(0.0, 0.0);
  }

  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros;
  std::shared_ptr<nav2_util::LifecycleNode> node;
  // Across the world, past the cross and the ellipse.
  const geometry_msgs::msg::PoseStamped start = mapPose(3.0, 12.2);
  const geometry_msgs::msg::PoseStamped goal = mapPose(13.5, 1.0, 1.0);
};

TEST_F(PlannerPluginTest, Astar2PlansWhatTheLibraryPlansWithTheConfiguredOptions) {
  orvik_nav2_planner::astar2::AstarOptions options;
  options.cost_weight = 4.0;
  options.goal_tolerance = 0.5;
  const PoseList expected = astar2Direct(expectedMap(), options, start, goal);
  ASSERT_FALSE(expected.empty());
  ASSERT_FALSE(samePoses(expected, astar2Direct(expectedMap(), {}, start, goal)))
      << "the overrides must change the path, else this test cannot see them ignored";

  auto planner = configured(kAstar2Type, "GridBased",
                            {rclcpp::Parameter("GridBased.cost_weight", 4.0),
                             rclcpp::Parameter("GridBased.goal_tolerance", 0.5)});
  ASSERT_NE(planner, nullptr);
  expectPlanned(planner->createPlan(start, goal), expected);
  EXPECT_TRUE(node->has_parameter("GridBased.check_spin_direction")) << "every option declared";
  EXPECT_EQ(node->get_parameter("GridBased.center_distance").as_double(), 0.5);
  planner->deactivate();
  planner->cleanup();
}

TEST_F(PlannerPluginTest, LegacyPlansWhatTheLibraryPlans) {
  const PoseList expected = legacyDirect(expectedMap(), start, goal);
  ASSERT_FALSE(expected.empty());
  auto planner = configured(kLegacyType, "Legacy");
  ASSERT_NE(planner, nullptr);
  expectPlanned(planner->createPlan(start, goal), expected);
}

TEST_F(PlannerPluginTest, DangerClearanceIsTheInscribedRadiusUnlessConfigured) {
  // A robot too wide for the start of this route: 0.70 m square, inscribed radius 0.36 m.
  setRectangularRobot(0.35, 0.35);
  const auto tight_start = mapPose(4.0, 5.0);
  const auto tight_goal = mapPose(11.0, 9.0);
  {
    orvik_nav2_planner::astar::AstarPlanner direct;
    nav_msgs::msg::Path unused;
    ASSERT_FALSE(direct.searchv2(expectedMap(), tight_start, tight_goal, unused, false, 0, 0, 0))
        << "the inscribed clearance must block this route, else the test cannot see it ignored";
  }
  const PoseList with_astar2 = astar2Direct(expectedMap({0.0}), {}, tight_start, tight_goal);
  const PoseList with_legacy = legacyDirect(expectedMap({0.0}), tight_start, tight_goal);

  for (const auto& [type, expected] :
       {std::pair{kAstar2Type, with_astar2}, std::pair{kLegacyType, with_legacy}}) {
    SCOPED_TRACE(type);
    EXPECT_THROW(configured(type, "GridBased")->createPlan(tight_start, tight_goal),
                 nav2_core::PlannerException);
    auto relaxed =
        configured(type, "GridBased",
                   {rclcpp::Parameter("GridBased.danger_clearances", std::vector<double>{0.0})});
    expectPlanned(relaxed->createPlan(tight_start, tight_goal), expected);
  }
}

TEST_F(PlannerPluginTest, ReplansOnTheChangedCostmap) {
  for (const char* type : {kAstar2Type, kLegacyType}) {
    SCOPED_TRACE(type);
    SetUp();
    auto planner = configured(type, "GridBased");
    ASSERT_NE(planner, nullptr);
    const nav_msgs::msg::Path first = planner->createPlan(start, goal);
    ASSERT_GT(first.poses.size(), 10u);

    // Wall off the middle of that path.
    auto* costmap = costmap_ros->getCostmap();
    const auto& middle = first.poses[first.poses.size() / 2].pose.position;
    unsigned int mx = 0;
    unsigned int my = 0;
    ASSERT_TRUE(costmap->worldToMap(middle.x, middle.y, mx, my));
    const int half = 6;
    for (int dy = -half; dy <= half; ++dy) {
      for (int dx = -half; dx <= half; ++dx) {
        costmap->setCost(mx + dx, my + dy, nav2_costmap_2d::LETHAL_OBSTACLE);
      }
    }

    const nav_msgs::msg::Path second = planner->createPlan(start, goal);
    ASSERT_FALSE(second.poses.empty());
    for (const auto& pose : second.poses) {
      unsigned int x = 0;
      unsigned int y = 0;
      ASSERT_TRUE(costmap->worldToMap(pose.pose.position.x, pose.pose.position.y, x, y));
      EXPECT_NE(costmap->getCost(x, y), nav2_costmap_2d::LETHAL_OBSTACLE)
          << "through the new wall at " << pose.pose.position.x << ", " << pose.pose.position.y;
    }
  }
}

TEST_F(PlannerPluginTest, FailuresAreThrownByValueWithTheReason) {
  for (const char* type : {kAstar2Type, kLegacyType}) {
    SCOPED_TRACE(type);
    auto planner = configured(type, "GridBased");
    ASSERT_NE(planner, nullptr);
    const struct {
      geometry_msgs::msg::PoseStamped start, goal;
      std::string reason;
    } cases[] = {
        {start, onObstacle(), "goal"},
        {onObstacle(), goal, "start"},
        {start, mapPose(40.0, 2.0), "off the costmap"},
        {mapPose(std::nan(""), 1.0), goal, "not finite"},
    };
    for (const auto& c : cases) {
      try {
        planner->createPlan(c.start, c.goal);
        ADD_FAILURE() << "no exception for " << c.reason;
      } catch (const nav2_core::PlannerException& error) {
        EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("GridBased"), std::string::npos) << error.what();
      }
    }
  }
}

TEST_F(PlannerPluginTest, OptionOfTheWrongTypeIsRefusedAtConfigure) {
  for (const auto& [type, option] : {std::pair{kAstar2Type, "GridBased.goal_tolerance"},
                                     {kLegacyType, "GridBased.start_radius"},
                                     {kAstar2Type, "GridBased.danger_clearances"}}) {
    SCOPED_TRACE(option);
    auto planner = orvik_test::createPlugin<nav2_core::GlobalPlanner>(type);
    ASSERT_NE(planner, nullptr);
    // A parameter file that writes 1 where a double is meant gives an integer.
    auto wrong = orvik_test::serverNode("planner_server",
                                        {rclcpp::Parameter(option, rclcpp::ParameterValue(1))});
    EXPECT_THROW(planner->configure(wrong, "GridBased", nullptr, costmap_ros),
                 rclcpp::exceptions::InvalidParameterTypeException);
  }
}

}  // namespace
