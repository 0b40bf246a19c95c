// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdio>
#include <cstdlib>

namespace orvik_contract {

/// A caller broke the contract (a cell outside the map): say so and stop the process, so that no
/// test can pass over it.
[[noreturn]] inline void offMap(const char* query, long long x, long long y) {
  std::fprintf(stderr, "contract violation: %s(%lld, %lld) asked about a cell off the map\n", query,
               x, y);
  std::fflush(stderr);
  std::abort();
}

}  // namespace orvik_contract
