// SPDX-License-Identifier: Apache-2.0
// Both smoother plugins on Nav2's smoother benchmark world, fed the costmap as smoother_server
// shares it, against direct calls of the smoothers on the same map and path.
#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "geometry_msgs/msg/twist.hpp"
#include "nav2_core/exceptions.hpp"
#include "nav2_core/smoother.hpp"
#include "nav2_costmap_2d/costmap_subscriber.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/orvik_constrained_smoother.hpp"
#include "orvik_nav2_planner/path_smoother.hpp"
#include "plugins/plugin_test_support.hpp"
#include "rclcpp/exceptions.hpp"

namespace {

using orvik_test::mapPose;

constexpr char kGradientType[] = "orvik_nav2_plugins::GradientSmoother";
constexpr char kConstrainedType[] = "orvik_nav2_plugins::ConstrainedSmoother";

class SmootherPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world = orvik_test::inflatedSmoothersWorld(0.21);
    if (!world) {
      GTEST_SKIP() << "shared maps folder absent";
    }
    auto msg = std::make_shared<nav2_msgs::msg::Costmap>();
    msg->header.frame_id = "map";
    msg->metadata.size_x = world->getSizeInCellsX();
    msg->metadata.size_y = world->getSizeInCellsY();
    msg->metadata.resolution = static_cast<float>(world->getResolution());
    msg->metadata.origin.position.x = world->getOriginX();
    msg->metadata.origin.position.y = world->getOriginY();
    msg->data.assign(world->getCharMap(),
                     world->getCharMap() + msg->metadata.size_x * msg->metadata.size_y);
    costmap_sub = std::make_shared<nav2_costmap_2d::CostmapSubscriber>(
        std::weak_ptr<nav2_util::LifecycleNode>(), "global_costmap/costmap_raw");
    costmap_sub->costmapCallback(msg);
    path = plannedPath();
  }

  /// A path the A* planner finds across the world, as the smoothers receive plans.
  nav_msgs::msg::Path plannedPath() const {
    orvik_nav2_gridmap::GridMapConfig config;
    config.danger_clearances = {0.25};
    auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(*world, config);
    orvik_nav2_planner::astar2::AstarPlanner planner("planner", map);
    orvik_nav2_protocol::msg::Path planned;
    EXPECT_TRUE(planner.searchPath(mapPose(1.0, 1.5), mapPose(13.5, 13.5), {}, planned));
    nav_msgs::msg::Path result;
    result.header.frame_id = "map";
    result.header.stamp.sec = 42;
    result.poses = planned.poses;
    return result;
  }

  std::shared_ptr<nav2_core::Smoother> configured(const char* type, const std::string& name,
                                                  const std::vector<rclcpp::Parameter>& overrides) {
    node = orvik_test::serverNode("smoother_server", overrides);
    auto smoother = orvik_test::createPlugin<nav2_core::Smoother>(type);
    EXPECT_NE(smoother, nullptr);
    if (smoother) {
      smoother->configure(node, name, nullptr, costmap_sub, nullptr);
      smoother->activate();
    }
    return smoother;
  }

  static void expectSamePoses(const nav_msgs::msg::Path& actual,
                              const nav_msgs::msg::Path& expected) {
    ASSERT_EQ(actual.poses.size(), expected.poses.size());
    for (std::size_t i = 0; i < expected.poses.size(); ++i) {
      EXPECT_EQ(actual.poses[i].pose, expected.poses[i].pose) << "pose " << i;
    }
  }

  static bool samePoses(const nav_msgs::msg::Path& a, const nav_msgs::msg::Path& b) {
    return std::equal(a.poses.begin(), a.poses.end(), b.poses.begin(), b.poses.end(),
                      [](const auto& p, const auto& q) { return p.pose == q.pose; });
  }

  std::shared_ptr<nav2_costmap_2d::Costmap2D> world;
  std::shared_ptr<nav2_costmap_2d::CostmapSubscriber> costmap_sub;
  std::shared_ptr<nav2_util::LifecycleNode> node;
  nav_msgs::msg::Path path;
};

TEST_F(SmootherPluginTest, GradientSmoothsAsTheLibraryWithTheConfiguredOptions) {
  const std::vector<rclcpp::Parameter> overrides = {
      rclcpp::Parameter("Gradient.smooth_weight", 3.0),
      rclcpp::Parameter("Gradient.max_obstacle_dis", 0.9)};
  const auto direct = [&](const std::vector<rclcpp::Parameter>& params) {
    auto direct_node = orvik_test::serverNode("direct", params);
    orvik_nav2_gridmap::GridMapConfig config;
    config.global_frame = "map";
    PathSmoother smoother(direct_node,
                          std::make_shared<orvik_nav2_gridmap::GridMapROS>(*world, config));
    smoother.config(direct_node, "Gradient");
    smoother.setOriginalPath(path);
    smoother.setCurrentData(path.poses.front(), geometry_msgs::msg::Twist());
    smoother.smoothPath();
    nav_msgs::msg::Path out;
    EXPECT_TRUE(smoother.getSmoothedNavPath(out));
    return out;
  };
  const nav_msgs::msg::Path expected = direct(overrides);
  ASSERT_GT(expected.poses.size(), 10u);
  ASSERT_FALSE(samePoses(expected, direct({}))) << "the overrides must change the result";

  auto smoother = configured(kGradientType, "Gradient", overrides);
  ASSERT_NE(smoother, nullptr);
  for (int round = 0; round < 2; ++round) {  // the second on the kept grid map
    nav_msgs::msg::Path smoothed = path;
    EXPECT_TRUE(smoother->smooth(smoothed, rclcpp::Duration::from_seconds(1.0)));
    expectSamePoses(smoothed, expected);
    EXPECT_EQ(smoothed.header, path.header);
    for (const auto& pose : smoothed.poses) {
      EXPECT_EQ(pose.header, path.header);
    }
  }
}

TEST_F(SmootherPluginTest, ConstrainedSmoothsAsTheWrapperWithTheConfiguredOptions) {
  const std::vector<rclcpp::Parameter> overrides = {
      rclcpp::Parameter("SmoothPath.w_smooth", 50000.0),
      rclcpp::Parameter("SmoothPath.w_cost", 0.1)};
  const auto direct = [&](const std::vector<rclcpp::Parameter>& params) {
    auto direct_node = orvik_test::serverNode("direct", params);
    orvik_nav2_planner::OrvikConstrainedSmoother smoother;
    smoother.configure(direct_node, "SmoothPath");
    nav_msgs::msg::Path out = path;
    EXPECT_TRUE(smoother.smooth(std::make_shared<nav2_costmap_2d::Costmap2D>(*world), out,
                                rclcpp::Duration::from_seconds(5.0)));
    return out;
  };
  const nav_msgs::msg::Path expected = direct(overrides);
  ASSERT_FALSE(samePoses(expected, direct({}))) << "the overrides must change the result";

  auto smoother = configured(kConstrainedType, "SmoothPath", overrides);
  ASSERT_NE(smoother, nullptr);
  nav_msgs::msg::Path smoothed = path;
  EXPECT_TRUE(smoother->smooth(smoothed, rclcpp::Duration::from_seconds(5.0)));
  expectSamePoses(smoothed, expected);
}

TEST_F(SmootherPluginTest, FailuresAreThrownByValueWithTheReason) {
  nav_msgs::msg::Path broken = path;
  broken.poses[broken.poses.size() / 2].pose.position.x = std::numeric_limits<double>::quiet_NaN();

  // The wrapper reports this one by pointer; the plugin must not let that escape.
  {
    auto direct_node = orvik_test::serverNode("direct");
    orvik_nav2_planner::OrvikConstrainedSmoother wrapper;
    wrapper.configure(direct_node, "SmoothPath");
    nav_msgs::msg::Path copy = broken;
    try {
      wrapper.smooth(std::make_shared<nav2_costmap_2d::Costmap2D>(*world), copy,
                     rclcpp::Duration::from_seconds(1.0));
      ADD_FAILURE() << "the wrapper accepted a NaN pose";
    } catch (nav2_core::PlannerException* thrown) {
      delete thrown;
    }
  }

  for (const auto& [type, name] :
       {std::pair{kConstrainedType, "SmoothPath"}, std::pair{kGradientType, "SmoothPath"}}) {
    SCOPED_TRACE(type);
    auto smoother = configured(type, name, {});
    ASSERT_NE(smoother, nullptr);
    nav_msgs::msg::Path copy = broken;
    try {
      smoother->smooth(copy, rclcpp::Duration::from_seconds(1.0));
      ADD_FAILURE() << "no exception";
    } catch (const nav2_core::PlannerException& error) {
      const std::string text = error.what();
      EXPECT_NE(text.find("SmoothPath"), std::string::npos) << text;
      EXPECT_NE(text.find("finite"), std::string::npos) << text;
    }
    ASSERT_EQ(copy.poses.size(), broken.poses.size());
    for (std::size_t i = 0; i < copy.poses.size(); ++i) {
      const auto& kept = copy.poses[i].pose.position;
      const auto& given = broken.poses[i].pose.position;
      EXPECT_TRUE((kept.x == given.x || (std::isnan(kept.x) && std::isnan(given.x))) &&
                  kept.y == given.y)
          << "pose " << i << " changed";
    }
  }
}

TEST_F(SmootherPluginTest, NoCostmapYetIsAnErrorNotACrash) {
  auto silent = std::make_shared<nav2_costmap_2d::CostmapSubscriber>(
      std::weak_ptr<nav2_util::LifecycleNode>(), "global_costmap/costmap_raw");
  for (const char* type : {kGradientType, kConstrainedType}) {
    SCOPED_TRACE(type);
    auto smoother = orvik_test::createPlugin<nav2_core::Smoother>(type);
    ASSERT_NE(smoother, nullptr);
    smoother->configure(orvik_test::serverNode("smoother_server"), "SmoothPath", nullptr, silent,
                        nullptr);
    nav_msgs::msg::Path copy = path;
    EXPECT_THROW(smoother->smooth(copy, rclcpp::Duration::from_seconds(1.0)), std::runtime_error);
  }
}

TEST_F(SmootherPluginTest, OptionOfTheWrongTypeIsRefusedAtConfigure) {
  for (const auto& [type, option] : {std::pair{kGradientType, "SmoothPath.smooth_weight"},
                                     {kConstrainedType, "SmoothPath.w_smooth"}}) {
    SCOPED_TRACE(option);
    auto smoother = orvik_test::createPlugin<nav2_core::Smoother>(type);
    ASSERT_NE(smoother, nullptr);
    auto wrong = orvik_test::serverNode("smoother_server",
                                        {rclcpp::Parameter(option, rclcpp::ParameterValue(2))});
    EXPECT_THROW(smoother->configure(wrong, "SmoothPath", nullptr, costmap_sub, nullptr),
                 rclcpp::exceptions::InvalidParameterTypeException);
  }
}

}  // namespace
