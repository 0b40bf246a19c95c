#include <cmath>
#include <string>
#include <vector>

#include "loader_support.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"

namespace orvik_nav2_gridmap {

namespace {

using loader_support::fail;
using loader_support::readFinite;
using loader_support::readScalar;

// YAML allows a list, a map or null as a key ("? [a, b]: 1", "~: 1"); none of them names a
// setting, and converting one to a string would throw yaml-cpp's own exception.
std::string readKey(const YAML::Node& key, const std::string& file, const std::string& where) {
  if (!key.IsScalar()) {
    fail(file, "a key " + where + "is not a plain name");
  }
  return key.Scalar();
}

double readLength(const YAML::Node& node, const std::string& file, const std::string& key) {
  const double value = readFinite(node, file, key);
  if (value < 0.0) {
    fail(file, "key '" + key + "' must not be negative");
  }
  return value;
}

std::vector<geometry_msgs::msg::Point> readFootprint(YAML::Node node, const std::string& file) {
  // Nav2 writes footprints as a string holding the list, e.g. "[[0.2, 0.1], [-0.2, 0.1], ...]".
  if (node.IsScalar()) {
    try {
      node = YAML::Load(node.Scalar());
    } catch (const YAML::Exception& e) {
      fail(file, std::string("key 'footprint' is not a list of [x, y] pairs: ") + e.what());
    }
  }
  if (!node.IsSequence()) {
    fail(file, "key 'footprint' has the wrong type: expected a list of [x, y] pairs");
  }
  std::vector<geometry_msgs::msg::Point> footprint;
  for (std::size_t i = 0; i < node.size(); ++i) {
    const YAML::Node pair = node[i];
    const std::string key = "footprint[" + std::to_string(i) + "]";
    if (!pair.IsSequence() || pair.size() != 2) {
      fail(file, "key '" + key + "' must be an [x, y] pair");
    }
    geometry_msgs::msg::Point point;
    point.x = readFinite(pair[0], file, key);
    point.y = readFinite(pair[1], file, key);
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
    fail(file, "key 'danger_clearances' has the wrong type: expected a list of numbers");
  }
  std::vector<double> clearances;
  for (std::size_t i = 0; i < node.size(); ++i) {
    clearances.push_back(readLength(node[i], file, "danger_clearances[" + std::to_string(i) + "]"));
  }
  if (clearances.empty()) {
    fail(file, "key 'danger_clearances' is empty");
  }
  return clearances;
}

InflationConfig readInflation(const YAML::Node& node, const std::string& file) {
  if (!node.IsMap()) {
    fail(file, "key 'inflation' has the wrong type: expected a map");
  }
  InflationConfig inflation;
  for (const auto& entry : node) {
    const std::string key = readKey(entry.first, file, "in 'inflation' ");
    const std::string path = "inflation." + key;
    if (key == "enabled") {
      inflation.enabled = readScalar<bool>(entry.second, file, path);
    } else if (key == "inscribed_radius") {
      inflation.inscribed_radius = readLength(entry.second, file, path);
    } else if (key == "inflation_radius") {
      inflation.inflation_radius = readLength(entry.second, file, path);
    } else if (key == "cost_scaling_factor") {
      inflation.cost_scaling_factor = readLength(entry.second, file, path);
    } else {
      fail(file, "unknown key '" + path + "'");
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
      config.global_frame = readScalar<std::string>(value, path, key);
      if (config.global_frame.empty()) {
        fail(path, "key 'global_frame' is empty");
      }
    } else if (key == "footprint") {
      config.footprint = readFootprint(value, path);
    } else if (key == "robot_radius") {
      config.robot_radius = readLength(value, path, key);
    } else if (key == "danger_clearances") {
      config.danger_clearances = readClearances(value, path);
    } else if (key == "unknown_is_obstacle") {
      config.unknown_is_obstacle = readScalar<bool>(value, path, key);
    } else if (key == "inflation") {
      config.inflation = readInflation(value, path);
    } else {
      fail(path, "unknown key '" + key + "'");
    }
  }
  return config;
}

}  // namespace orvik_nav2_gridmap
