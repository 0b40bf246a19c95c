#pragma once

#include <optional>
#include <string>
#include <vector>

#include <yaml-cpp/yaml.h>

namespace orvik_plan {

/// A YAML mapping read strictly: every key must be known and every value of the expected type.
/// Errors throw ToolError naming the file and the key path ("opts.yaml: cost_weight: ...").
/// Integers are accepted where a number is expected (a robotics engineer writes `radius: 1`);
/// quoted scalars are always strings, and non-finite numbers are refused.
class YamlSection {
 public:
  YamlSection(YAML::Node node, std::string where);

  /// Reads a file whose top level is a mapping; an empty file is an empty mapping.
  /// @throw ToolError when the file cannot be read or parsed, or is not a mapping.
  static YamlSection loadFile(const std::string& path);

  /// @throw ToolError naming the first key that is not in `allowed`, with the allowed ones.
  void requireOnlyKeys(const std::vector<std::string>& allowed) const;

  bool has(const std::string& key) const;
  std::vector<std::string> keys() const;
  /// "file.yaml: section" — the prefix of every error about this section.
  const std::string& where() const { return where_; }

  /// @throw ToolError when the value is present but not of the type.
  std::optional<double> getDouble(const std::string& key) const;
  std::optional<int> getInt(const std::string& key) const;
  std::optional<bool> getBool(const std::string& key) const;
  std::optional<std::string> getString(const std::string& key) const;
  std::optional<std::vector<double>> getDoubleList(const std::string& key) const;
  /// A nested mapping; an absent key gives an empty section.
  /// @throw ToolError when the value is not a mapping.
  YamlSection getSection(const std::string& key) const;
  /// The raw node for the caller's own conversions (e.g. lists of lists).
  YAML::Node node(const std::string& key) const;

  /// Builds the error text for a key of this section.
  std::string errorAt(const std::string& key, const std::string& message) const;

 private:
  YAML::Node scalar(const std::string& key, const char* expected) const;

  YAML::Node node_;
  std::string where_;
};

/// Classifies an unquoted YAML scalar as the ROS 2 parameter parser would.
bool yamlScalarIsInteger(const YAML::Node& node);
bool yamlScalarIsNumber(const YAML::Node& node);
bool yamlScalarIsBool(const YAML::Node& node);
/// A finite double from a scalar that yamlScalarIsNumber accepts.
/// @throw ToolError (with `where`) when it is not a finite number.
double yamlNumber(const YAML::Node& node, const std::string& where);

}  // namespace orvik_plan
