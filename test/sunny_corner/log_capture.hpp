#pragma once

#include <memory>
#include <sstream>
#include <string>

#include <spdlog/sinks/ostream_sink.h>

#include "orvik/logger.hpp"

namespace orvik_test {

/// Collects every log line, DEBUG included, while it lives; restores the level afterwards.
class LogCapture {
 public:
  LogCapture() : logger_(orvik::Logger::Instance("spdlog")) {
    sink_ = std::make_shared<spdlog::sinks::ostream_sink_st>(stream_);
    sink_->set_pattern("%v");
    saved_level_ = logger_.level;
    saved_spdlog_level_ = logger_.logger->level();
    logger_.level = static_cast<int32_t>(spdlog::level::debug);
    logger_.logger->set_level(spdlog::level::debug);
    logger_.logger->sinks().push_back(sink_);
  }

  ~LogCapture() {
    auto& sinks = logger_.logger->sinks();
    for (auto it = sinks.begin(); it != sinks.end(); ++it) {
      if (*it == sink_) {
        sinks.erase(it);
        break;
      }
    }
    logger_.level = saved_level_;
    logger_.logger->set_level(saved_spdlog_level_);
  }

  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string text() const { return stream_.str(); }
  bool contains(const std::string& fragment) const {
    return text().find(fragment) != std::string::npos;
  }

 private:
  orvik::Logger& logger_;
  std::ostringstream stream_;
  std::shared_ptr<spdlog::sinks::ostream_sink_st> sink_;
  int32_t saved_level_{2};
  spdlog::level::level_enum saved_spdlog_level_{spdlog::level::info};
};

}  // namespace orvik_test
