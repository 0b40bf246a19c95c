// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/interrupt_request.hpp"

#include <csignal>

namespace orvik_plan {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
struct sigaction g_previous {};

extern "C" void onInterrupt(int) {
  g_interrupted = 1;
}

}  // namespace

InterruptRequest::InterruptRequest() {
  g_interrupted = 0;
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND: the handler runs once; a second Ctrl-C gets the default action and ends the
  // process, for a query that would take too long to wait for.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, &g_previous);
}

InterruptRequest::~InterruptRequest() {
  sigaction(SIGINT, &g_previous, nullptr);
}

bool InterruptRequest::requested() const {
  return g_interrupted != 0;
}

}  // namespace orvik_plan
