// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <spdlog/sinks/base_sink.h>

#include "orvik/logger.hpp"

namespace orvik_plan {

/// Collects the warning and error lines the libraries log while it is alive, so that the
/// summary can say why a request failed. The lines still reach the terminal as usual.
class LogCapture {
 public:
  LogCapture() : sink_(std::make_shared<Sink>()) {
    logger_ = orvik::Logger::Instance("spdlog").logger;
    if (logger_) {
      logger_->sinks().push_back(sink_);
    }
  }
  ~LogCapture() {
    if (logger_) {
      auto& sinks = logger_->sinks();
      sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
    }
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  /// Warning and error lines without their counter and level prefix, oldest first.
  std::vector<std::string> lines() const { return sink_->lines(); }
  void clear() { sink_->clear(); }

 private:
  class Sink : public spdlog::sinks::base_sink<std::mutex> {
   public:
    std::vector<std::string> lines() const {
      std::lock_guard<std::mutex> lock(lines_mutex_);
      return lines_;
    }
    void clear() {
      std::lock_guard<std::mutex> lock(lines_mutex_);
      lines_.clear();
    }

   protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
      if (msg.level < spdlog::level::warn) {
        return;
      }
      std::string text(msg.payload.data(), msg.payload.size());
      // Drop the facade's "NNN [LEVEL] " prefix.
      const auto tag_end = text.find("] ");
      if (tag_end != std::string::npos && tag_end < 16) {
        text = text.substr(tag_end + 2);
      }
      std::lock_guard<std::mutex> lock(lines_mutex_);
      // Bounded: a long batch must not grow without end.
      if (lines_.size() < 64) {
        lines_.push_back(std::move(text));
      }
    }
    void flush_() override {}

   private:
    mutable std::mutex lines_mutex_;
    std::vector<std::string> lines_;
  };

  std::shared_ptr<Sink> sink_;
  std::shared_ptr<spdlog::logger> logger_;
};

}  // namespace orvik_plan
