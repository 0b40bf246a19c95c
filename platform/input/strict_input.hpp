// SPDX-License-Identifier: Apache-2.0
#pragma once

// Reading the files a user hands to the map loaders and the planning tool, strictly and within
// bounds: only regular files, never more than a cap, and YAML values of exactly the type a key
// expects (a quoted "0.22" is a string, never a number). Errors name the file and, for YAML,
// the line and column of the offending value. Shared by the loaders and the tool; not installed.

#include <cstddef>
#include <stdexcept>
#include <string>

#include <yaml-cpp/yaml.h>

namespace orvik_input {

/// Bad input: the message is complete and names the file ("robot.yaml:3:12: key ...").
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Default cap for configuration files (YAML, JSON options): far above any real one.
constexpr std::size_t kMaxConfigBytes = 16u << 20;

/// Reads a whole file. Refuses what is not a regular file (a directory, a device such as
/// /dev/zero, a FIFO that would block) and a file above `max_bytes`, without reading past it.
/// @throw InputError naming the file and the problem.
std::string readRegularFile(const std::string& path, std::size_t max_bytes);

/// Reads and parses a YAML file (readRegularFile's rules); a syntax error names line and column.
/// @throw InputError
YAML::Node loadYamlFile(const std::string& path, std::size_t max_bytes = kMaxConfigBytes);

/// "file:line:column" of a node (1-based), or "file" when the node has no position.
std::string positionOf(const std::string& file, const YAML::Node& node);

/// Scalars as the ROS 2 parameter parser sees them: only plain (unquoted) scalars are numbers
/// or booleans.
bool isPlainScalar(const YAML::Node& node);
bool isIntegerScalar(const YAML::Node& node);
bool isNumberScalar(const YAML::Node& node);
bool isBoolScalar(const YAML::Node& node);
/// "a quoted string", "a list", "an integer", ... for error messages.
const char* describeNode(const YAML::Node& node);

/// Typed reads; `key` is the name used in the error ("inflation.inflation_radius").
/// @throw InputError "file:line:column: key 'k': expected a number, got a quoted string"
double readNumber(const YAML::Node& node, const std::string& file, const std::string& key);
/// A number in [min, max]; the error names the key and the range.
double readNumberIn(const YAML::Node& node, const std::string& file, const std::string& key,
                    double min, double max);
int readInt(const YAML::Node& node, const std::string& file, const std::string& key);
bool readBool(const YAML::Node& node, const std::string& file, const std::string& key);
std::string readString(const YAML::Node& node, const std::string& file, const std::string& key);

/// Error for a key at a node's position.
[[noreturn]] void failAt(const std::string& file, const YAML::Node& node, const std::string& key,
                         const std::string& message);

}  // namespace orvik_input
