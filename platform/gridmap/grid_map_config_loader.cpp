// SPDX-License-Identifier: Apache-2.0
#include <cmath>
#include <string>
#include <vector>

#include "loader_support.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"

namespace orvik_nav2_gridmap {

namespace {

using loader_support::fail;
using loader_support::failAt;
using loader_support::readBool;
using loader_support::readFinite;
using loader_support::readFiniteIn;
using loader_support::readString;

// No ground robot is larger than this, and no clearance or inflation reaches further: a value
// beyond it is a typo (a footprint in millimetres) and would make every collision check sweep
// millions of cells.
constexpr double kMaxRobotExtentM = 50.0;
constexpr double kMaxReachM = 100.0;
// Nav2's cost_scaling_factor is a decay rate per metre; beyond this every inflated cell is free.
constexpr double kMaxCostScaling = 1000.0;

// YAML allows a list, a map or null as a key ("? [a, b]: 1", "~: 1"); none of them names a
// setting, and converting one to a string would throw yaml-cpp's own exception.
std::string readKey(const YAML::Node& key, const std::string& file, const std::string& where) {
  if (!key.IsScalar()) {
    fail(file, "a key " + where + "is not a plain name");
  }
  return key.Scalar();
}

double readLength(const YAML::Node& node, const std::string& file, const std::string& key,
                  double max) {
  return readFiniteIn(node, file, key, 0.0, max);
}

std::vector<geometry_msgs::msg::Point> readFootprint(YAML::Node node,
                                                     const std::string& yaml_file) {
  // Nav2 writes footprints as a string holding the list, e.g. "[[0.2, 0.1], [-0.2, 0.1], ...]".
  // Positions inside it are counted from the string's start, so errors name both.
  std::string file = yaml_file;
  if (node.IsScalar()) {
    file = orvik_input::positionOf(yaml_file, node) + ", in the footprint text";
    try {
      node = YAML::Load(node.Scalar());
    } catch (const YAML::Exception& e) {
      fail(file, std::string("key 'footprint' is not a list of [x, y] pairs: ") + e.what());
    }
  }
  if (!node.IsSequence()) {
    failAt(file, node, "footprint", "expected a list of [x, y] pairs");
  }
  std::vector<geometry_msgs::msg::Point> footprint;
  for (std::size_t i = 0; i < node.size(); ++i) {
    const YAML::Node pair = node[i];
    const std::string key = "footprint[" + std::to_string(i) + "]";
    if (!pair.IsSequence() || pair.size() != 2) {
      failAt(file, pair, key, "must be an [x, y] pair");
    }
    geometry_msgs::msg::Point point;
    point.x = readFiniteIn(pair[0], file, key, -kMaxRobotExtentM, kMaxRobotExtentM);
    point.y = readFiniteIn(pair[1], file, key, -kMaxRobotExtentM, kMaxRobotExtentM);
    footprint.push_back(point);
  }
  if (footprint.size() < 3) {
    fail(file, "key 'footprint' has " + std::to_string(footprint.size()) +
                   " points; a polygon needs at least 3");
  }
  return footprint;
}

std::vector<double> readClearances(const YAML::Node& node, const std::string& file) {
  if (!node.IsSequence()) {
    failAt(file, node, "danger_clearances", "expected a list of numbers");
  }
  std::vector<double> clearances;
  for (std::size_t i = 0; i < node.size(); ++i) {
    clearances.push_back(
        readLength(node[i], file, "danger_clearances[" + std::to_string(i) + "]", kMaxReachM));
  }
  if (clearances.empty()) {
    fail(file, "key 'danger_clearances' is empty");
  }
  return clearances;
}

InflationConfig readInflation(const YAML::Node& node, const std::string& file) {
  if (!node.IsMap()) {
    failAt(file, node, "inflation", "expected a map");
  }
  InflationConfig inflation;
  for (const auto& entry : node) {
    const std::string key = readKey(entry.first, file, "in 'inflation' ");
    const std::string path = "inflation." + key;
    if (key == "enabled") {
      inflation.enabled = readBool(entry.second, file, path);
    } else if (key == "inscribed_radius") {
      inflation.inscribed_radius = readLength(entry.second, file, path, kMaxRobotExtentM);
    } else if (key == "inflation_radius") {
      inflation.inflation_radius = readLength(entry.second, file, path, kMaxReachM);
    } else if (key == "cost_scaling_factor") {
      inflation.cost_scaling_factor = readLength(entry.second, file, path, kMaxCostScaling);
    } else {
      failAt(file, entry.first, path, "unknown key");
    }
  }
  return inflation;
}

}  // namespace

GridMapConfig loadGridMapConfig(const std::string& yaml_path) {
  const std::string path = loader_support::expandHome(yaml_path);
  const YAML::Node root = loader_support::loadYamlFile(path);
  GridMapConfig config;
  if (root.IsNull()) {
    return config;
  }
  if (!root.IsMap()) {
    fail(path, "not a YAML map of keys");
  }
  for (const auto& entry : root) {
    const std::string key = readKey(entry.first, path, "");
    const YAML::Node& value = entry.second;
    if (key == "global_frame") {
      config.global_frame = readString(value, path, key);
      if (config.global_frame.empty()) {
        fail(path, "key 'global_frame' is empty");
      }
    } else if (key == "footprint") {
      config.footprint = readFootprint(value, path);
    } else if (key == "robot_radius") {
      config.robot_radius = readLength(value, path, key, kMaxRobotExtentM);
    } else if (key == "danger_clearances") {
      config.danger_clearances = readClearances(value, path);
    } else if (key == "unknown_is_obstacle") {
      config.unknown_is_obstacle = readBool(value, path, key);
    } else if (key == "inflation") {
      config.inflation = readInflation(value, path);
    } else {
      failAt(path, entry.first, key, "unknown key");
    }
  }
  return config;
}

}  // namespace orvik_nav2_gridmap
