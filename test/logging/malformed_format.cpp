// SPDX-License-Identifier: Apache-2.0
// Log statements that must not compile: the macros check the format against its arguments.
// Built only by the MalformedFormat tests, once per case (ORVIK_MALFORMED_CASE).
#include <string>

#include "orvik/logger.hpp"

int main() {
  const std::string name = "planner";
#if ORVIK_MALFORMED_CASE == 1
  ORVIK_ERROR("AstarPlanner({}): {} and {}", name, 1);  // an argument short
#elif ORVIK_MALFORMED_CASE == 2
  ORVIK_WARN("cells {:d}", name);  // an integer presentation for a string
#elif ORVIK_MALFORMED_CASE == 3
  ORVIK_INFO("unclosed {", 1);
#else
  ORVIK_INFO("AstarPlanner({}): {} cells, {:.2f} m", name, 3, 0.5);  // well formed
#endif
  return 0;
}
