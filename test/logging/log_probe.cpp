// SPDX-License-Identifier: Apache-2.0
// Runs one logging scenario in a fresh process and reports on standard output.
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

#include <spdlog/sinks/base_sink.h>

#include "orvik/logger.hpp"

namespace {

// Formatting it counts how often a message body was built.
struct Counted {};
int g_formatted = 0;

// Prints the source location that spdlog receives.
class LocationSink : public spdlog::sinks::base_sink<std::mutex> {
 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override {
    std::cout << "location " << msg.source.filename << "|" << msg.source.line << "|"
              << msg.source.funcname << "\n";
  }
  void flush_() override {}
};

void report() {
  orvik::Logger& instance = orvik::Logger::Instance("spdlog");
  std::cout << "state counter=" << int(instance.counter.load()) << " level=" << instance.level
            << " sinks=" << instance.logger->sinks().size() << " name=" << instance.logger->name()
            << std::endl;
}

void emitFromNamedFunction() {
  ORVIK_WARN("located {}", 1);
}

}  // namespace

template <>
struct fmt::formatter<Counted> : fmt::formatter<int> {
  template <class Context>
  auto format(const Counted&, Context& ctx) const {
    ++g_formatted;
    return fmt::formatter<int>::format(0, ctx);
  }
};

int main(int argc, char** argv) {
  const std::string scenario = argc > 1 ? argv[1] : "";
  if (scenario == "levels") {
    ORVIK_DEBUG("debug {}", 1);
    ORVIK_INFO("info {}", 2);
    ORVIK_WARN("warn {}", 3);
    ORVIK_ERROR("error {}", 4);
  } else if (scenario == "wrap") {
    for (int i = 1; i <= 257; ++i) {
      ORVIK_INFO("message {}", i);
    }
  } else if (scenario == "name") {
    orvik::Logger& first = orvik::Logger::Instance("spdlog");
    orvik::Logger& second = orvik::Logger::Instance("another");
    std::cout << "same=" << (&first == &second) << std::endl;
  } else if (scenario == "lazy") {
    ORVIK_DEBUG("counted {}", Counted{});
    std::cout << "formatted=" << g_formatted << std::endl;
  } else if (scenario == "location") {
    orvik::Logger::Instance("spdlog").logger->sinks().push_back(std::make_shared<LocationSink>());
    emitFromNamedFunction();
  } else if (scenario == "bad_format") {
    // The macros refuse this at compile time; a format made at run time reaches the statement.
    orvik::detail::logStatement(spdlog::source_loc{__FILE__, __LINE__, "main"}, spdlog::level::err,
                                fmt::runtime("missing argument {} {}"), 1);
    ORVIK_ERROR("after {}", 2);
  } else {
    std::cerr << "unknown scenario\n";
    return 2;
  }
  report();
  return 0;
}
