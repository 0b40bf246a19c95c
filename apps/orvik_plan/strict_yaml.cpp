// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/strict_yaml.hpp"

#include <algorithm>
#include <sstream>

#include "orvik_plan/tool_error.hpp"
#include "strict_input.hpp"

namespace orvik_plan {

namespace {

std::string joinKeys(const std::vector<std::string>& keys) {
  std::string text;
  for (const auto& key : keys) {
    text += text.empty() ? "" : ", ";
    text += key;
  }
  return text;
}

// The typing rules come from the strict layer; the messages are built here in the tool's form,
// with the section's key path.
std::string describe(const YAML::Node& node) {
  return orvik_input::describeNode(node);
}

}  // namespace

YamlSection::YamlSection(YAML::Node node, std::string file)
    : YamlSection(std::move(node), std::move(file), "") {}

YamlSection::YamlSection(YAML::Node node, std::string file, std::string prefix)
    : node_(std::move(node)), file_(std::move(file)), prefix_(std::move(prefix)) {}

YamlSection YamlSection::loadFile(const std::string& path) {
  YAML::Node root;
  try {
    root = orvik_input::loadYamlFile(path);
  } catch (const orvik_input::InputError& e) {
    throw ToolError(e.what());
  }
  if (!root.IsDefined() || root.IsNull()) {
    return YamlSection(YAML::Node(YAML::NodeType::Map), path);
  }
  if (!root.IsMap()) {
    throw ToolError(orvik_input::positionOf(path, root) +
                    ": expected a mapping of keys to values at the top level");
  }
  return YamlSection(root, path);
}

void YamlSection::requireOnlyKeys(const std::vector<std::string>& allowed) const {
  if (!node_.IsMap()) {
    return;
  }
  for (const auto& entry : node_) {
    const std::string key = entry.first.IsScalar() ? entry.first.Scalar() : "";
    if (!entry.first.IsScalar() ||
        std::find(allowed.begin(), allowed.end(), key) == allowed.end()) {
      throw ToolError(orvik_input::positionOf(file_, entry.first) + ": " + prefix_ +
                      "unknown key '" + key + "' (known keys: " + joinKeys(allowed) + ")");
    }
  }
}

bool YamlSection::has(const std::string& key) const {
  return node_.IsMap() && static_cast<bool>(node_[key]);
}

std::vector<std::string> YamlSection::keys() const {
  std::vector<std::string> result;
  if (!node_.IsMap()) {
    return result;
  }
  for (const auto& entry : node_) {
    if (!entry.first.IsScalar()) {
      throw ToolError(orvik_input::positionOf(file_, entry.first) + ": " + prefix_ +
                      "keys must be plain names");
    }
    result.push_back(entry.first.Scalar());
  }
  return result;
}

std::string YamlSection::errorAt(const std::string& key, const std::string& message) const {
  return orvik_input::positionOf(file_, node(key)) + ": " + prefix_ + key + ": " + message;
}

YAML::Node YamlSection::node(const std::string& key) const {
  return has(key) ? node_[key] : YAML::Node();
}

std::optional<double> YamlSection::getDouble(const std::string& key) const {
  if (!has(key)) {
    return std::nullopt;
  }
  const YAML::Node value = node_[key];
  if (!orvik_input::isNumberScalar(value)) {
    throw ToolError(errorAt(key, std::string("expected a number, got ") + describe(value)));
  }
  try {
    return orvik_input::readNumber(value, file_, key);
  } catch (const orvik_input::InputError&) {
    throw ToolError(errorAt(key, "expected a finite number, got " + value.Scalar()));
  }
}

std::optional<double> YamlSection::getDoubleIn(const std::string& key, double min,
                                               double max) const {
  const std::optional<double> value = getDouble(key);
  if (value && (*value < min || *value > max)) {
    std::ostringstream range;
    range << "must be between " << min << " and " << max << ", not " << node_[key].Scalar();
    throw ToolError(errorAt(key, range.str()));
  }
  return value;
}

std::optional<int> YamlSection::getInt(const std::string& key) const {
  if (!has(key)) {
    return std::nullopt;
  }
  const YAML::Node value = node_[key];
  if (!orvik_input::isIntegerScalar(value)) {
    throw ToolError(errorAt(key, std::string("expected an integer, got ") + describe(value)));
  }
  try {
    return orvik_input::readInt(value, file_, key);
  } catch (const orvik_input::InputError&) {
    throw ToolError(errorAt(key, "integer out of range: " + value.Scalar()));
  }
}

std::optional<bool> YamlSection::getBool(const std::string& key) const {
  if (!has(key)) {
    return std::nullopt;
  }
  const YAML::Node value = node_[key];
  if (!orvik_input::isBoolScalar(value)) {
    throw ToolError(errorAt(key, std::string("expected true or false, got ") + describe(value)));
  }
  return value.as<bool>();
}

std::optional<std::string> YamlSection::getString(const std::string& key) const {
  if (!has(key)) {
    return std::nullopt;
  }
  const YAML::Node value = node_[key];
  if (!value.IsScalar()) {
    throw ToolError(errorAt(key, std::string("expected a string, got ") + describe(value)));
  }
  return value.Scalar();
}

std::optional<std::vector<double>> YamlSection::getDoubleList(const std::string& key) const {
  if (!has(key)) {
    return std::nullopt;
  }
  const YAML::Node value = node_[key];
  if (!value.IsSequence()) {
    throw ToolError(
        errorAt(key, std::string("expected a list of numbers, got ") + describe(value)));
  }
  std::vector<double> result;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const YAML::Node element = value[i];
    const std::string where = orvik_input::positionOf(file_, element) + ": " + prefix_ + key + "[" +
                              std::to_string(i) + "]: ";
    if (!orvik_input::isNumberScalar(element)) {
      throw ToolError(where + "expected a number, got " + describe(element));
    }
    try {
      result.push_back(orvik_input::readNumber(element, file_, key));
    } catch (const orvik_input::InputError&) {
      throw ToolError(where + "expected a finite number, got " + element.Scalar());
    }
  }
  return result;
}

YamlSection YamlSection::getSection(const std::string& key) const {
  if (!has(key) || node_[key].IsNull()) {
    return YamlSection(YAML::Node(YAML::NodeType::Map), file_, prefix_ + key + ": ");
  }
  const YAML::Node value = node_[key];
  if (!value.IsMap()) {
    throw ToolError(errorAt(key, std::string("expected a mapping, got ") + describe(value)));
  }
  return YamlSection(value, file_, prefix_ + key + ": ");
}

}  // namespace orvik_plan
