#pragma once

// Shared by the map and configuration loaders; not installed.

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <yaml-cpp/yaml.h>

#include "orvik_nav2_gridmap/map_loader.hpp"

namespace orvik_nav2_gridmap::loader_support {

[[noreturn]] inline void fail(const std::string& file, const std::string& what) {
  throw MapLoadError("'" + file + "': " + what);
}

inline std::string expandHome(const std::string& path) {
  if (path.rfind("~/", 0) == 0) {
    const char* home = std::getenv("HOME");
    if (home != nullptr) {
      return std::string(home) + path.substr(1);
    }
  }
  return path;
}

inline YAML::Node loadYamlFile(const std::string& path) {
  // The error_code form: a name the system refuses (too long, no permission) is a missing file,
  // not a filesystem_error escaping the loader.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    fail(path, "no such file");
  }
  try {
    return YAML::LoadFile(path);
  } catch (const YAML::Exception& e) {
    fail(path, std::string("malformed YAML: ") + e.what());
  }
}

template <class T>
T readScalar(const YAML::Node& node, const std::string& file, const std::string& key) {
  if (!node || !node.IsScalar()) {
    fail(file, "key '" + key + "' is missing or not a single value");
  }
  try {
    return node.as<T>();
  } catch (const YAML::Exception&) {
    fail(file, "key '" + key + "' has the wrong type (value '" + node.Scalar() + "')");
  }
}

inline double readFinite(const YAML::Node& node, const std::string& file, const std::string& key) {
  const double value = readScalar<double>(node, file, key);
  if (!std::isfinite(value)) {
    fail(file, "key '" + key + "' must be a finite number");
  }
  return value;
}

}  // namespace orvik_nav2_gridmap::loader_support
