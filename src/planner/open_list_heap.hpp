// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <vector>

namespace orvik_nav2_planner::astar2 {

// Binary min-heap on entry.f, step for step the algorithm of libstdc++'s std::push_heap and
// std::pop_heap under the predicate "a below b when a.f >= b.f". Equal priorities are common on
// a grid and the heap's tie order decides which equal-cost path a search returns, so the
// element moves must be exactly those; what differs is only that the sift-down picks its child
// with a conditional move instead of a branch that mispredicts on about every other level.
//
// Entry needs a public `double f` and must be cheap to copy.

namespace open_list_detail {

// Moves `value` up from slot `hole` past every parent whose f is not smaller, so it rises
// above parents with an equal f.
template <typename Entry>
inline void siftUp(Entry* first, std::ptrdiff_t hole, const Entry& value) {
  std::ptrdiff_t parent = (hole - 1) / 2;
  while (hole > 0 && first[parent].f >= value.f) {
    first[hole] = first[parent];
    hole = parent;
    parent = (hole - 1) / 2;
  }
  first[hole] = value;
}

}  // namespace open_list_detail

/// Sifts the entry just appended to `heap` up to its place (std::push_heap).
template <typename Entry>
inline void pushOpenEntry(std::vector<Entry>& heap) {
  const std::ptrdiff_t last = static_cast<std::ptrdiff_t>(heap.size()) - 1;
  const Entry value = heap[last];
  open_list_detail::siftUp(heap.data(), last, value);
}

/// Removes and returns the entry with the smallest f (std::pop_heap, then pop_back).
/// `heap` must not be empty.
template <typename Entry>
inline Entry popOpenEntry(std::vector<Entry>& heap) {
  Entry* const first = heap.data();
  const Entry top = first[0];
  // Size of the heap once the top has left; its last entry is re-inserted from the bottom.
  const std::ptrdiff_t len = static_cast<std::ptrdiff_t>(heap.size()) - 1;
  if (len > 0) {
    const Entry value = first[len];
    // Walk the hole from the root down to a leaf, always into the better child; the left one
    // wins a tie (it moves up when the right child's f is not smaller).
    std::ptrdiff_t hole = 0;
    std::ptrdiff_t child = 0;
    while (child < (len - 1) / 2) {
      // The hole's descendants three levels down fill two cache lines; asking for them now
      // lets the walk find them loaded when it gets there. A flood's heap outgrows the first
      // cache level, and its lower levels otherwise stall every step.
      if (8 * child + 14 < len) {
        __builtin_prefetch(first + 8 * child + 7);
        __builtin_prefetch(first + 8 * child + 14);
      }
      child = 2 * (child + 1);
      child -= static_cast<std::ptrdiff_t>(first[child].f >= first[child - 1].f);
      first[hole] = first[child];
      hole = child;
    }
    if ((len & 1) == 0 && child == (len - 2) / 2) {
      child = 2 * (child + 1);
      first[hole] = first[child - 1];
      hole = child - 1;
    }
    // Then sift the former last entry up from that leaf, as a push would.
    open_list_detail::siftUp(first, hole, value);
  }
  heap.pop_back();
  return top;
}

}  // namespace orvik_nav2_planner::astar2
