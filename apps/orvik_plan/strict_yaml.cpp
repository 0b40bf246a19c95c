#include "orvik_plan/strict_yaml.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <regex>
#include <sstream>

#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace {

// Plain (unquoted) scalars carry the non-specific tag "?"; quoted ones carry "!".
bool isPlainScalar(const YAML::Node& node) {
  return node.IsScalar() && node.Tag() != "!";
}

const char* describe(const YAML::Node& node) {
  if (!node.IsDefined() || node.IsNull()) {
    return "nothing";
  }
  if (node.IsSequence()) {
    return "a list";
  }
  if (node.IsMap()) {
    return "a mapping";
  }
  if (!isPlainScalar(node)) {
    return "a quoted string";
  }
  if (yamlScalarIsBool(node)) {
    return "a boolean";
  }
  if (yamlScalarIsInteger(node)) {
    return "an integer";
  }
  if (yamlScalarIsNumber(node)) {
    return "a number";
  }
  return "a string";
}

std::string joinKeys(const std::vector<std::string>& keys) {
  std::string text;
  for (const auto& key : keys) {
    text += text.empty() ? "" : ", ";
    text += key;
  }
  return text;
}

}  // namespace

bool yamlScalarIsInteger(const YAML::Node& node) {
  static const std::regex kInteger("[-+]?[0-9]+");
  return isPlainScalar(node) && std::regex_match(node.Scalar(), kInteger);
}

bool yamlScalarIsNumber(const YAML::Node& node) {
  static const std::regex kNumber(
      "[-+]?(\\.[0-9]+|[0-9]+(\\.[0-9]*)?)([eE][-+]?[0-9]+)?|[-+]?\\.(inf|Inf|INF)|\\.(nan|NaN|"
      "NAN)");
  return isPlainScalar(node) && std::regex_match(node.Scalar(), kNumber);
}

bool yamlScalarIsBool(const YAML::Node& node) {
  static const std::regex kBool(
      "true|True|TRUE|false|False|FALSE|yes|Yes|YES|no|No|NO|on|On|ON|off|Off|OFF");
  return isPlainScalar(node) && std::regex_match(node.Scalar(), kBool);
}

double yamlNumber(const YAML::Node& node, const std::string& where) {
  if (!yamlScalarIsNumber(node)) {
    throw ToolError(where + ": expected a number, got " + describe(node));
  }
  const double value = node.as<double>();
  if (!std::isfinite(value)) {
    throw ToolError(where + ": expected a finite number, got " + node.Scalar());
  }
  return value;
}

YamlSection::YamlSection(YAML::Node node, std::string where)
    : node_(std::move(node)), where_(std::move(where)) {}

YamlSection YamlSection::loadFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    throw ToolError("cannot read " + path);
  }
  std::stringstream text;
  text << in.rdbuf();
  YAML::Node root;
  try {
    root = YAML::Load(text.str());
  } catch (const YAML::Exception& e) {
    throw ToolError(path + ": not valid YAML: " + e.what());
  }
  if (!root.IsDefined() || root.IsNull()) {
    return YamlSection(YAML::Node(YAML::NodeType::Map), path);
  }
  if (!root.IsMap()) {
    throw ToolError(path + ": expected a mapping of keys to values at the top level");
  }
  return YamlSection(root, path);
}

void YamlSection::requireOnlyKeys(const std::vector<std::string>& allowed) const {
  for (const auto& key : keys()) {
    if (std::find(allowed.begin(), allowed.end(), key) == allowed.end()) {
      throw ToolError(where_ + ": unknown key '" + key + "' (known keys: " + joinKeys(allowed) +
                      ")");
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
      throw ToolError(where_ + ": keys must be plain names");
    }
    result.push_back(entry.first.Scalar());
  }
  return result;
}

std::string YamlSection::errorAt(const std::string& key, const std::string& message) const {
  return where_ + ": " + key + ": " + message;
}

YAML::Node YamlSection::node(const std::string& key) const {
  return has(key) ? node_[key] : YAML::Node();
}

YAML::Node YamlSection::scalar(const std::string& key, const char* expected) const {
  const YAML::Node value = node_[key];
  if (!value.IsScalar()) {
    throw ToolError(errorAt(key, std::string("expected ") + expected + ", got " + describe(value)));
  }
  return value;
}

std::optional<double> YamlSection::getDouble(const std::string& key) const {
  if (!has(key)) {
    return std::nullopt;
  }
  const YAML::Node value = scalar(key, "a number");
  if (!yamlScalarIsNumber(value)) {
    throw ToolError(errorAt(key, std::string("expected a number, got ") + describe(value)));
  }
  return yamlNumber(value, where_ + ": " + key);
}

std::optional<int> YamlSection::getInt(const std::string& key) const {
  if (!has(key)) {
    return std::nullopt;
  }
  const YAML::Node value = scalar(key, "an integer");
  if (!yamlScalarIsInteger(value)) {
    throw ToolError(errorAt(key, std::string("expected an integer, got ") + describe(value)));
  }
  long long parsed = 0;
  try {
    parsed = std::stoll(value.Scalar());
  } catch (const std::exception&) {
    throw ToolError(errorAt(key, "integer out of range: " + value.Scalar()));
  }
  if (parsed < std::numeric_limits<int>::min() || parsed > std::numeric_limits<int>::max()) {
    throw ToolError(errorAt(key, "integer out of range: " + value.Scalar()));
  }
  return static_cast<int>(parsed);
}

std::optional<bool> YamlSection::getBool(const std::string& key) const {
  if (!has(key)) {
    return std::nullopt;
  }
  const YAML::Node value = scalar(key, "true or false");
  if (!yamlScalarIsBool(value)) {
    throw ToolError(errorAt(key, std::string("expected true or false, got ") + describe(value)));
  }
  return value.as<bool>();
}

std::optional<std::string> YamlSection::getString(const std::string& key) const {
  if (!has(key)) {
    return std::nullopt;
  }
  return scalar(key, "a string").Scalar();
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
    result.push_back(yamlNumber(value[i], where_ + ": " + key + "[" + std::to_string(i) + "]"));
  }
  return result;
}

YamlSection YamlSection::getSection(const std::string& key) const {
  if (!has(key) || node_[key].IsNull()) {
    return YamlSection(YAML::Node(YAML::NodeType::Map), where_ + ": " + key);
  }
  const YAML::Node value = node_[key];
  if (!value.IsMap()) {
    throw ToolError(errorAt(key, std::string("expected a mapping, got ") + describe(value)));
  }
  return YamlSection(value, where_ + ": " + key);
}

}  // namespace orvik_plan
