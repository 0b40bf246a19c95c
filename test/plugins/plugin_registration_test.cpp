// SPDX-License-Identifier: Apache-2.0
// The plugin description file names exactly the classes the library registers, each under the
// base class it is loaded as: pluginlib finds a plugin only when both spellings agree.
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "nav2_core/global_planner.hpp"
#include "nav2_core/smoother.hpp"
#include "plugins/plugin_test_support.hpp"

namespace {

struct DescribedClass {
  std::string name;
  std::string type;
  std::string base;
};

std::vector<DescribedClass> describedClasses() {
  std::ifstream file(ORVIK_PLUGIN_DESCRIPTION);
  std::stringstream text;
  text << file.rdbuf();
  const std::string xml = text.str();
  const std::regex class_tag(
      R"re(<class\s+name="([^"]+)"\s+type="([^"]+)"\s+base_class_type="([^"]+)")re");
  std::vector<DescribedClass> classes;
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), class_tag);
       it != std::sregex_iterator(); ++it) {
    classes.push_back({(*it)[1], (*it)[2], (*it)[3]});
  }
  return classes;
}

TEST(PluginRegistration, DescriptionAndRegisteredClassesAgree) {
  const auto classes = describedClasses();
  ASSERT_EQ(classes.size(), 4u) << "two planners and two smoothers described";

  std::set<std::string> planners;
  std::set<std::string> smoothers;
  for (const auto& described : classes) {
    EXPECT_EQ(described.name.rfind("orvik_planner/", 0), 0u) << described.name;
    if (described.base == "nav2_core::GlobalPlanner") {
      planners.insert(described.type);
      EXPECT_NE(orvik_test::createPlugin<nav2_core::GlobalPlanner>(described.type), nullptr)
          << described.type;
    } else if (described.base == "nav2_core::Smoother") {
      smoothers.insert(described.type);
      EXPECT_NE(orvik_test::createPlugin<nav2_core::Smoother>(described.type), nullptr)
          << described.type;
    } else {
      ADD_FAILURE() << "unexpected base class " << described.base;
    }
  }
  const auto registered_planners =
      class_loader::impl::getAvailableClasses<nav2_core::GlobalPlanner>(nullptr);
  const auto registered_smoothers =
      class_loader::impl::getAvailableClasses<nav2_core::Smoother>(nullptr);
  EXPECT_EQ(std::set<std::string>(registered_planners.begin(), registered_planners.end()),
            planners);
  EXPECT_EQ(std::set<std::string>(registered_smoothers.begin(), registered_smoothers.end()),
            smoothers);
}

}  // namespace
