// SPDX-License-Identifier: Apache-2.0
#include <deque>
#include <mutex>

#include <spdlog/sinks/base_sink.h>

#include "conversions.hpp"
#include "orvik/logger.hpp"

namespace orvik_python {

namespace {

/// Holds the libraries' log lines until a thread with the GIL hands them to Python's logging.
/// The sink never takes the GIL itself: a line logged while another thread holds the GIL and
/// waits for this sink's lock would deadlock.
class PendingLines : public spdlog::sinks::base_sink<std::mutex> {
 public:
  struct Line {
    int level;
    std::string text;
  };

  std::deque<Line> take() {
    std::lock_guard<std::mutex> lock(lines_mutex_);
    std::deque<Line> lines;
    lines.swap(lines_);
    return lines;
  }

 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override {
    std::string text(msg.payload.data(), msg.payload.size());
    // The facade's "NNN [LEVEL] " prefix: Python's records carry the level themselves.
    const auto tag_end = text.find("] ");
    if (tag_end != std::string::npos && tag_end < 16) {
      text = text.substr(tag_end + 2);
    }
    std::lock_guard<std::mutex> lock(lines_mutex_);
    // Bounded, in case nothing ever drains the queue.
    if (lines_.size() >= 10000) {
      lines_.pop_front();
    }
    lines_.push_back({pythonLevel(msg.level), std::move(text)});
  }
  void flush_() override {}

 private:
  static int pythonLevel(spdlog::level::level_enum level) {
    switch (level) {
      case spdlog::level::trace:
        return 5;
      case spdlog::level::debug:
        return 10;
      case spdlog::level::info:
        return 20;
      case spdlog::level::warn:
        return 30;
      case spdlog::level::err:
        return 40;
      default:
        return 50;
    }
  }

  std::mutex lines_mutex_;
  std::deque<Line> lines_;
};

struct Bridge {
  std::shared_ptr<PendingLines> sink;
  std::vector<spdlog::sink_ptr> removed_console;
  std::string logger_name{"orvik"};
};

Bridge& bridge() {
  static Bridge instance;
  return instance;
}

}  // namespace

void drainLogLines() {
  Bridge& b = bridge();
  if (!b.sink) {
    return;
  }
  auto lines = b.sink->take();
  if (lines.empty()) {
    return;
  }
  const py::object logger = py::module_::import("logging").attr("getLogger")(b.logger_name);
  for (const auto& line : lines) {
    logger.attr("log")(line.level, "%s", line.text);
  }
}

void bindLogging(py::module_& m) {
  m.def(
      "log_to_python",
      [](bool enable, const std::string& logger_name, bool console) {
        Bridge& b = bridge();
        auto logger = orvik::Logger::Instance("spdlog").logger;
        if (!logger) {
          return;
        }
        auto& sinks = logger->sinks();
        drainLogLines();
        if (b.sink) {
          sinks.erase(std::remove(sinks.begin(), sinks.end(), b.sink), sinks.end());
          b.sink.reset();
        }
        for (auto& sink : b.removed_console) {
          sinks.push_back(sink);
        }
        b.removed_console.clear();
        if (!enable) {
          return;
        }
        b.logger_name = logger_name;
        if (!console) {
          b.removed_console = sinks;
          sinks.clear();
        }
        b.sink = std::make_shared<PendingLines>();
        sinks.push_back(b.sink);
      },
      py::arg("enable") = true, py::arg("logger") = "orvik", py::arg("console") = false,
      R"doc(
Routes the libraries' log lines into Python's logging (logger `logger`, at the line's level)
as each call into the module returns. console=False also silences their own standard output
sink; log_to_python(False) restores it. Which lines are logged at all follows SPDLOG_LEVEL.
Switch it while no request runs on another thread: the logger's sink list is not locked.)doc");
}

}  // namespace orvik_python
