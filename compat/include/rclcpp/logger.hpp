// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

namespace rclcpp {

class Logger;
Logger get_logger(const std::string& name);

/// A named logger; only get_logger (and nodes) make one, as upstream.
class Logger {
 public:
  enum class Level { Unset, Debug, Info, Warn, Error, Fatal };

  Logger(const Logger&) = default;
  Logger& operator=(const Logger&) = default;

  const char* get_name() const { return name_ ? name_->c_str() : nullptr; }
  Logger get_child(const std::string& suffix);
  void set_level(Level level);
  Level get_effective_level() const;

 private:
  friend Logger get_logger(const std::string& name);
  Logger() = default;
  explicit Logger(const std::string& name) : name_(std::make_shared<std::string>(name)) {}

  std::shared_ptr<const std::string> name_;
};

}  // namespace rclcpp
