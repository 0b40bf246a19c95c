// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace orvik_plan {

/// Turns Ctrl-C (SIGINT) into a request the batch loop reads between queries, so that a long
/// run stops after the current query and still writes its table and JSON. A second Ctrl-C ends
/// the process at once, as usual. The previous handler is back when the object goes away.
/// One at a time per process.
class InterruptRequest {
 public:
  InterruptRequest();
  ~InterruptRequest();
  InterruptRequest(const InterruptRequest&) = delete;
  InterruptRequest& operator=(const InterruptRequest&) = delete;

  bool requested() const;
};

}  // namespace orvik_plan
