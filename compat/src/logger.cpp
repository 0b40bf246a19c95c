// SPDX-License-Identifier: Apache-2.0
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <string>

#include "rclcpp/logger.hpp"
#include "rclcpp/logging.hpp"

namespace rclcpp {

namespace {

std::mutex& levels_mutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::string, Logger::Level>& levels() {
  static std::map<std::string, Logger::Level> table;
  return table;
}

const char* severity_name(Logger::Level level) {
  switch (level) {
    case Logger::Level::Debug:
      return "DEBUG";
    case Logger::Level::Info:
      return "INFO";
    case Logger::Level::Warn:
      return "WARN";
    case Logger::Level::Error:
      return "ERROR";
    case Logger::Level::Fatal:
      return "FATAL";
    case Logger::Level::Unset:
      break;
  }
  return "UNSET";
}

}  // namespace

Logger get_logger(const std::string& name) {
  return Logger(name);
}

Logger Logger::get_child(const std::string& suffix) {
  if (!name_) {
    return *this;
  }
  return Logger(*name_ + "." + suffix);
}

void Logger::set_level(Level level) {
  if (!name_) {
    return;
  }
  std::lock_guard<std::mutex> lock(levels_mutex());
  levels()[*name_] = level;
}

Logger::Level Logger::get_effective_level() const {
  if (!name_) {
    return Level::Info;
  }
  std::lock_guard<std::mutex> lock(levels_mutex());
  auto it = levels().find(*name_);
  return (it == levels().end() || it->second == Level::Unset) ? Level::Info : it->second;
}

namespace detail {

void log_printf(Logger::Level severity, const Logger& logger, const char* format, ...) {
  if (logger.get_name() == nullptr || severity < logger.get_effective_level()) {
    return;
  }
  char body[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(body, sizeof(body), format, args);
  va_end(args);
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::fprintf(stderr, "[%s] [%lld.%09ld] [%s]: %s\n", severity_name(severity),
               static_cast<long long>(now.tv_sec), now.tv_nsec, logger.get_name(), body);
}

}  // namespace detail

}  // namespace rclcpp
