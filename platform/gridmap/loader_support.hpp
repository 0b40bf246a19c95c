// SPDX-License-Identifier: Apache-2.0
#pragma once

// Shared by the map and configuration loaders; not installed.

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <yaml-cpp/yaml.h>

#include "orvik_nav2_gridmap/map_loader.hpp"
#include "strict_input.hpp"

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

/// Runs a strict read and turns its InputError into the loaders' MapLoadError.
template <class Read>
auto strictly(Read read) -> decltype(read()) {
  try {
    return read();
  } catch (const orvik_input::InputError& e) {
    throw MapLoadError(e.what());
  }
}

/// A regular file of at most orvik_input::kMaxConfigBytes, parsed; syntax errors with line and
/// column.
inline YAML::Node loadYamlFile(const std::string& path) {
  return strictly([&] { return orvik_input::loadYamlFile(path); });
}

// The typed reads of the strict layer: a quoted "0.22" is a string, never a number, and errors
// carry file, line and column.
inline std::string readString(const YAML::Node& node, const std::string& file,
                              const std::string& key) {
  return strictly([&] { return orvik_input::readString(node, file, key); });
}

inline bool readBool(const YAML::Node& node, const std::string& file, const std::string& key) {
  return strictly([&] { return orvik_input::readBool(node, file, key); });
}

inline double readFinite(const YAML::Node& node, const std::string& file, const std::string& key) {
  return strictly([&] { return orvik_input::readNumber(node, file, key); });
}

/// A finite number in [min, max]; the error names the key and the range.
inline double readFiniteIn(const YAML::Node& node, const std::string& file, const std::string& key,
                           double min, double max) {
  return strictly([&] { return orvik_input::readNumberIn(node, file, key, min, max); });
}

[[noreturn]] inline void failAt(const std::string& file, const YAML::Node& node,
                                const std::string& key, const std::string& message) {
  strictly([&] { orvik_input::failAt(file, node, key, message); });
  std::abort();  // unreachable: failAt always throws
}

}  // namespace orvik_nav2_gridmap::loader_support
