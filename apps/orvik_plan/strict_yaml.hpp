// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <yaml-cpp/yaml.h>

namespace orvik_plan {

/// A YAML mapping read strictly: every key must be known and every value of the expected type.
/// The typing rules are the strict input layer's, shared with the map loaders (strict_input.hpp):
/// integers are accepted where a number is expected (a robotics engineer writes `radius: 1`);
/// quoted scalars are always strings, and non-finite numbers are refused. Errors throw ToolError
/// naming the file, the line and column of the value, and the key path
/// ("opts.yaml:4:14: cost_weight: ...").
class YamlSection {
 public:
  /// A section read from `file` (only used in error messages).
  YamlSection(YAML::Node node, std::string file);

  /// Reads a regular file of at most 16 MiB whose top level is a mapping; an empty file is an
  /// empty mapping.
  /// @throw ToolError when the file cannot be read or parsed, or is not a mapping.
  static YamlSection loadFile(const std::string& path);

  /// @throw ToolError naming the first key that is not in `allowed`, with the allowed ones.
  void requireOnlyKeys(const std::vector<std::string>& allowed) const;

  bool has(const std::string& key) const;
  std::vector<std::string> keys() const;

  /// @throw ToolError when the value is present but not of the type.
  std::optional<double> getDouble(const std::string& key) const;
  /// A number in [min, max]: huge values are refused with the key named.
  std::optional<double> getDoubleIn(const std::string& key, double min, double max) const;
  std::optional<int> getInt(const std::string& key) const;
  std::optional<bool> getBool(const std::string& key) const;
  std::optional<std::string> getString(const std::string& key) const;
  std::optional<std::vector<double>> getDoubleList(const std::string& key) const;
  /// A nested mapping; an absent key gives an empty section.
  /// @throw ToolError when the value is not a mapping.
  YamlSection getSection(const std::string& key) const;
  /// The raw node for the caller's own conversions (e.g. lists of lists).
  YAML::Node node(const std::string& key) const;

  /// Builds the error text for a key of this section, at the key's value.
  std::string errorAt(const std::string& key, const std::string& message) const;

 private:
  YamlSection(YAML::Node node, std::string file, std::string prefix);
  YAML::Node node_;
  std::string file_;
  /// Key path of this section inside the file ("outer: inner: "), empty at the top level.
  std::string prefix_;
};

}  // namespace orvik_plan
