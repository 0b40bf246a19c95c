// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

namespace nav2_util {

/// Upstream spins a node on a background thread. Nothing here spins, so this only keeps the
/// shape: it can be constructed from a node and held.
class NodeThread {
 public:
  NodeThread() = default;
  template <typename NodeT>
  explicit NodeThread(NodeT /*node*/) {}
  ~NodeThread() = default;
};

}  // namespace nav2_util
