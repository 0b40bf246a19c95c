// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <spdlog/logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/ansicolor_sink.h>
#include <spdlog/sinks/systemd_sink.h>

namespace orvik {

/// Process-wide logging facade over spdlog. Header code: every library carries a copy, and the
/// dynamic linker binds the function-local static of all copies to one definition, so a process
/// has one logger and one message counter. Configured once, from SPDLOG_STDOUT, SPDLOG_SYSTEMD
/// and SPDLOG_LEVEL, on the first call of Instance.
///
/// Thread-safe: log statements may come from any thread, and `level` and `counter` may be read
/// and changed while other threads log. To change the level at run time set both `level` (which
/// decides what is numbered) and `logger->set_level` (which decides what is written).
class __attribute__((visibility("default"))) Logger {
 public:
  /// The name becomes the spdlog logger's name on the first call and is ignored afterwards.
  static Logger& Instance(const std::string& name) {
    static Logger instance(name);
    return instance;
  }

  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  std::shared_ptr<spdlog::logger> logger;
  /// Counts the emitted messages, wrapping at 256. Atomic because statements may come from
  /// several threads; the value is only a reading aid, so relaxed ordering is enough.
  std::atomic<uint8_t> counter{0};
  /// Configured level as an spdlog level number (trace 0 ... off 6). Atomic for the same
  /// reason; the level is only compared, so relaxed ordering is enough.
  std::atomic<int32_t> level{2};

 private:
  explicit Logger(const std::string& name) {
    std::vector<spdlog::sink_ptr> sinks;
    if (readSwitch("SPDLOG_STDOUT", true)) {
      auto console = std::make_shared<spdlog::sinks::ansicolor_stdout_sink_mt>();
      sinks.insert(sinks.begin(), console);
    }
    if (readSwitch("SPDLOG_SYSTEMD", false)) {
      sinks.push_back(std::make_shared<spdlog::sinks::systemd_sink_mt>());
    }
    logger = std::make_shared<spdlog::logger>(name, sinks.begin(), sinks.end());
    const int32_t configured = readLevel();
    level.store(configured, std::memory_order_relaxed);
    logger->set_level(static_cast<spdlog::level::level_enum>(configured));
    // The formatter form takes the line ending on every spdlog release; the set_pattern
    // overload with an end-of-line argument is missing from spdlog 1.10.
    logger->set_formatter(
        std::make_unique<spdlog::pattern_formatter>("%v", spdlog::pattern_time_type::local, "\n"));
  }

  static bool readSwitch(const char* variable, bool fallback) {
    const char* value = std::getenv(variable);
    const char* fallback_word = fallback ? "true" : "false";
    if (value == nullptr) {
      std::cout << "environment variable " << variable << " is not set, and set " << fallback_word
                << "\n";
      return fallback;
    }
    const std::string text(value);
    if (text == "true") {
      return true;
    }
    if (text == "false") {
      return false;
    }
    std::cout << "environment variable " << variable << " is invalid, and set " << fallback_word
              << "\n";
    return fallback;
  }

  // "warning" rather than spdlog's "warn", and no "off": the table is ours, not spdlog's.
  static int32_t readLevel() {
    const char* value = std::getenv("SPDLOG_LEVEL");
    if (value == nullptr) {
      std::cout << "environment variable SPDLOG_LEVEL is not set, and set default level\n";
      return 2;
    }
    static const std::pair<const char*, int32_t> kLevels[] = {
        {"trace", 0}, {"debug", 1}, {"info", 2}, {"warning", 3}, {"error", 4}, {"critical", 5}};
    const std::string text(value);
    for (const auto& entry : kLevels) {
      if (text == entry.first) {
        return entry.second;
      }
    }
    std::cout << "environment variable SPDLOG_LEVEL is invalid, and set default level\n";
    return 2;
  }
};

namespace detail {

inline const char* levelPrefixFormat(spdlog::level::level_enum level) {
  switch (level) {
    case spdlog::level::debug:
      return "{0:3d} [DEBUG] ";
    case spdlog::level::info:
      return "{0:3d} [INFO] ";
    case spdlog::level::warn:
      return "{0:3d} [WARN] ";
    case spdlog::level::err:
      return "{0:3d} [ERROR] ";
    case spdlog::level::trace:
      return "{0:3d} [TRACE] ";
    case spdlog::level::critical:
      return "{0:3d} [CRITICAL] ";
    default:
      return "{0:3d} ";
  }
}

/// One log statement: number the message when it passes the level filter, prefix it with the
/// number and the level tag, and hand it to spdlog with its source location. Never throws.
/// The log macros check the format against the arguments at compile time; a format made at run
/// time (fmt::runtime) is checked here, and a malformed one drops the message.
template <typename... Args>
void logStatement(const spdlog::source_loc& location, spdlog::level::level_enum level,
                  fmt::format_string<Args...> format, Args&&... args) noexcept {
  try {
    std::shared_ptr<spdlog::logger> logger = Logger::Instance("spdlog").logger;
    const std::string body = fmt::vformat(format, fmt::make_format_args(args...));
    Logger& instance = Logger::Instance("spdlog");
    uint8_t number = instance.counter.load(std::memory_order_relaxed);
    if (instance.level.load(std::memory_order_relaxed) <= static_cast<int32_t>(level)) {
      number = static_cast<uint8_t>(instance.counter.fetch_add(1, std::memory_order_relaxed) + 1);
    }
    std::string text = fmt::format(fmt::runtime(levelPrefixFormat(level)), number & 0x7F);
    text += body;
    if (logger) {
      logger->log(location, level, text);
    }
  } catch (...) {
    // A malformed format string or a failing sink must not reach the caller.
  }
}

}  // namespace detail

}  // namespace orvik

// Log statements: ORVIK_INFO("format {}", args...). The format must be a string literal: the
// macro wraps it in FMT_STRING so that fmt checks it against the arguments while compiling
// (C++17 has no consteval, so fmt::format_string alone checks nothing); a format that does not
// fit its arguments is a compile error rather than a message silently dropped at run time.
#define ORVIK_LOG_STATEMENT(level, format, ...)                                            \
  ::orvik::detail::logStatement(                                                           \
      ::spdlog::source_loc{__FILE__, __LINE__, static_cast<const char*>(__func__)}, level, \
      FMT_STRING(format), ##__VA_ARGS__)

#define ORVIK_DEBUG(...) ORVIK_LOG_STATEMENT(::spdlog::level::debug, __VA_ARGS__)
#define ORVIK_INFO(...) ORVIK_LOG_STATEMENT(::spdlog::level::info, __VA_ARGS__)
#define ORVIK_WARN(...) ORVIK_LOG_STATEMENT(::spdlog::level::warn, __VA_ARGS__)
#define ORVIK_ERROR(...) ORVIK_LOG_STATEMENT(::spdlog::level::err, __VA_ARGS__)
