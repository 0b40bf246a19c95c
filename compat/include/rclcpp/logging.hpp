// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <type_traits>

#include "rclcpp/logger.hpp"

namespace rclcpp::detail {
// Writes "[LEVEL] [seconds.nanoseconds] [name]: message" to stderr, as rcutils' default format.
void log_printf(Logger::Level severity, const Logger& logger, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
}  // namespace rclcpp::detail

#define RCLCPP_DETAIL_LOG(severity, logger, ...)                                                   \
  do {                                                                                             \
    static_assert(                                                                                 \
        ::std::is_same<                                                                            \
            typename std::remove_cv<typename std::remove_reference<decltype(logger)>::type>::type, \
            ::rclcpp::Logger>::value,                                                              \
        "First argument to logging macros must be an rclcpp::Logger");                             \
    ::rclcpp::detail::log_printf(severity, logger, __VA_ARGS__);                                   \
  } while (0)

#define RCLCPP_DEBUG(logger, ...) \
  RCLCPP_DETAIL_LOG(::rclcpp::Logger::Level::Debug, logger, __VA_ARGS__)
#define RCLCPP_INFO(logger, ...) \
  RCLCPP_DETAIL_LOG(::rclcpp::Logger::Level::Info, logger, __VA_ARGS__)
#define RCLCPP_WARN(logger, ...) \
  RCLCPP_DETAIL_LOG(::rclcpp::Logger::Level::Warn, logger, __VA_ARGS__)
#define RCLCPP_ERROR(logger, ...) \
  RCLCPP_DETAIL_LOG(::rclcpp::Logger::Level::Error, logger, __VA_ARGS__)
#define RCLCPP_FATAL(logger, ...) \
  RCLCPP_DETAIL_LOG(::rclcpp::Logger::Level::Fatal, logger, __VA_ARGS__)
