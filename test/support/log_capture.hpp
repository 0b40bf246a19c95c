// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <spdlog/sinks/base_sink.h>

#include "orvik/logger.hpp"

namespace orvik_test {

/// Collects the log records written while it lives, each with the level it was logged at, and
/// lowers the facade's level to `level` meanwhile. Lookups name the level as well as the text,
/// so a line logged at the wrong level does not pass for the right one.
class LogCapture {
 public:
  explicit LogCapture(spdlog::level::level_enum level = spdlog::level::info)
      : logger_(orvik::Logger::Instance("spdlog")), sink_(std::make_shared<Sink>()) {
    saved_level_ = logger_.level;
    saved_spdlog_level_ = logger_.logger->level();
    logger_.level = static_cast<int32_t>(level);
    logger_.logger->set_level(level);
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

  /// Every record, one a line, for failure messages.
  std::string text() const {
    std::string all;
    for (const Record& r : sink_->records) {
      all += r.text + "\n";
    }
    return all;
  }
  /// Number of records at `level` whose text contains `fragment`.
  std::size_t count(spdlog::level::level_enum level, const std::string& fragment) const {
    std::size_t n = 0;
    for (const Record& r : sink_->records) {
      n += r.level == level && r.text.find(fragment) != std::string::npos ? 1 : 0;
    }
    return n;
  }
  bool contains(spdlog::level::level_enum level, const std::string& fragment) const {
    return count(level, fragment) > 0;
  }
  /// Every record as (level, text without the facade's number and level tag), in order.
  std::vector<std::pair<spdlog::level::level_enum, std::string>> lines() const {
    std::vector<std::pair<spdlog::level::level_enum, std::string>> all;
    for (const Record& r : sink_->records) {
      const std::size_t tag_end = r.text.find("] ");
      all.emplace_back(r.level, tag_end == std::string::npos ? r.text : r.text.substr(tag_end + 2));
    }
    return all;
  }
  /// Whether any record, at any level, contains `fragment`: for lines that must be absent.
  bool mentions(const std::string& fragment) const {
    return text().find(fragment) != std::string::npos;
  }

 private:
  struct Record {
    spdlog::level::level_enum level;
    std::string text;
  };
  class Sink : public spdlog::sinks::base_sink<std::mutex> {
   public:
    std::vector<Record> records;

   protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
      records.push_back({msg.level, std::string(msg.payload.data(), msg.payload.size())});
    }
    void flush_() override {}
  };

  orvik::Logger& logger_;
  std::shared_ptr<Sink> sink_;
  int32_t saved_level_{2};
  spdlog::level::level_enum saved_spdlog_level_{spdlog::level::info};
};

}  // namespace orvik_test
