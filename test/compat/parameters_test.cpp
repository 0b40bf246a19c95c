// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "nav2_util/node_utils.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

using rclcpp_lifecycle::LifecycleNode;

namespace {

template <class Exception, class F>
std::string messageOf(F&& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "<no exception>";
}

}  // namespace

TEST(ParameterValue, WrongTypeAccessThrowsUpstreamText) {
  const rclcpp::Parameter p("smoother.w_curve", 3);
  EXPECT_EQ(p.get_type(), rclcpp::PARAMETER_INTEGER);
  EXPECT_EQ(p.get_type_name(), "integer");
  EXPECT_EQ(messageOf<rclcpp::ParameterTypeException>([&] { p.as_double(); }),
            "expected [double] got [integer]");
  EXPECT_EQ(
      messageOf<rclcpp::exceptions::InvalidParameterTypeException>([&] { p.get_value<double>(); }),
      "parameter 'smoother.w_curve' has invalid type: expected [double] got [integer]");
  EXPECT_EQ(p.as_int(), 3);
  EXPECT_EQ(rclcpp::to_string(rclcpp::PARAMETER_STRING_ARRAY), "string_array");
  EXPECT_EQ(rclcpp::to_string(static_cast<rclcpp::ParameterType>(42)), "unknown type");
}

TEST(LifecycleNodeParameters, OverridesReplaceDefaultsAtDeclaration) {
  rclcpp::NodeOptions options;
  options.append_parameter_override("smoother.w_smooth", 0.7);
  auto node = std::make_shared<LifecycleNode>("planner", options);
  EXPECT_FALSE(node->has_parameter("smoother.w_smooth"));
  nav2_util::declare_parameter_if_not_declared(node, "smoother.w_smooth",
                                               rclcpp::ParameterValue(0.3));
  EXPECT_DOUBLE_EQ(node->get_parameter("smoother.w_smooth").as_double(), 0.7);
  nav2_util::declare_parameter_if_not_declared(node, "smoother.w_data",
                                               rclcpp::ParameterValue(0.2));
  EXPECT_DOUBLE_EQ(node->get_parameter("smoother.w_data").as_double(), 0.2);
  // A second declaration through the helper is a no-op; a direct one throws.
  nav2_util::declare_parameter_if_not_declared(node, "smoother.w_data",
                                               rclcpp::ParameterValue(9.0));
  EXPECT_DOUBLE_EQ(node->get_parameter("smoother.w_data").as_double(), 0.2);
  EXPECT_EQ(messageOf<rclcpp::exceptions::ParameterAlreadyDeclaredException>(
                [&] { node->declare_parameter("smoother.w_data", rclcpp::ParameterValue(1.0)); }),
            "parameter 'smoother.w_data' has already been declared");
}

TEST(LifecycleNodeParameters, OverrideOfAnotherTypeIsRejectedAtDeclaration) {
  rclcpp::NodeOptions options;
  options.append_parameter_override("max_iterations", std::string("many"));
  LifecycleNode node("smoother", options);
  EXPECT_EQ(messageOf<rclcpp::exceptions::InvalidParameterTypeException>(
                [&] { node.declare_parameter("max_iterations", rclcpp::ParameterValue(100)); }),
            "parameter 'max_iterations' has invalid type: Wrong parameter type, parameter "
            "{max_iterations} is of type {integer}, setting it to {string} is not allowed.");
}

TEST(LifecycleNodeParameters, TypedGetKeepsValueWhenAbsentAndThrowsOnWrongType) {
  LifecycleNode node("smoother");
  double value = 4.5;
  EXPECT_FALSE(node.get_parameter("missing", value));
  EXPECT_DOUBLE_EQ(value, 4.5);
  node.declare_parameter("smoother.w_curve", rclcpp::ParameterValue(2));
  nav2_util::declare_parameter_if_not_declared(&node, "smoother.w_curve",
                                               rclcpp::ParameterValue(30.0));
  EXPECT_EQ(messageOf<rclcpp::exceptions::InvalidParameterTypeException>(
                [&] { node.get_parameter("smoother.w_curve", value); }),
            "parameter 'smoother.w_curve' has invalid type: expected [double] got [integer]");
  EXPECT_DOUBLE_EQ(value, 4.5);
  float narrowed = 0.0f;
  node.declare_parameter("tolerance", rclcpp::ParameterValue(0.25));
  EXPECT_TRUE(node.get_parameter("tolerance", narrowed));
  EXPECT_FLOAT_EQ(narrowed, 0.25f);
}

TEST(LifecycleNodeParameters, UndeclaredAndEmptyNamesFollowUpstream) {
  LifecycleNode node("n");
  EXPECT_EQ(messageOf<rclcpp::exceptions::ParameterNotDeclaredException>(
                [&] { node.get_parameter("nope"); }),
            "nope");
  EXPECT_THROW(node.declare_parameter("", rclcpp::ParameterValue(1)),
               rclcpp::exceptions::InvalidParametersException);
  rclcpp::NodeOptions lenient;
  lenient.allow_undeclared_parameters(true);
  LifecycleNode open("m", lenient);
  EXPECT_EQ(open.get_parameter("nope").get_name(), "");
}

TEST(LifecycleNodeParameters, OverridesCanBeDeclaredAutomatically) {
  rclcpp::NodeOptions options;
  options.append_parameter_override("a", true).automatically_declare_parameters_from_overrides(
      true);
  LifecycleNode node("auto", options);
  ASSERT_TRUE(node.has_parameter("a"));
  EXPECT_TRUE(node.get_parameter("a").as_bool());
}

TEST(Duration, ConvertsSecondsAndMessages) {
  const auto d = rclcpp::Duration::from_seconds(1.5);
  EXPECT_EQ(d.nanoseconds(), 1500000000);
  EXPECT_DOUBLE_EQ(d.seconds(), 1.5);
  const builtin_interfaces::msg::Duration msg = rclcpp::Duration::from_nanoseconds(-1);
  EXPECT_EQ(msg.sec, -1);
  EXPECT_EQ(msg.nanosec, 999999999u);
}
