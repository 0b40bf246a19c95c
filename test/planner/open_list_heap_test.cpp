// SPDX-License-Identifier: Apache-2.0
#include "planner/open_list_heap.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using orvik_nav2_planner::astar2::popOpenEntry;
using orvik_nav2_planner::astar2::pushOpenEntry;

struct Entry {
  double f;
  int id;
};

// The reference the open list must match element for element: the standard heap algorithms
// under the search's ordering predicate.
struct StdAbove {
  bool operator()(const Entry& a, const Entry& b) const { return a.f >= b.f; }
};

void expectSameLayout(const std::vector<Entry>& ours, const std::vector<Entry>& reference) {
  ASSERT_EQ(ours.size(), reference.size());
  for (std::size_t i = 0; i < ours.size(); ++i) {
    ASSERT_EQ(ours[i].id, reference[i].id) << "slot " << i;
  }
}

// Few distinct priorities, so that almost every comparison is a tie: the tie order is what
// the search's choice among equal-cost paths depends on.
void runRandomSequence(uint32_t seed, int distinct_priorities, double nan_share) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> priority(0, distinct_priorities - 1);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<Entry> ours;
  std::vector<Entry> reference;
  int next_id = 0;
  for (int step = 0; step < 4000; ++step) {
    // Grow to a few hundred entries, then drain, so every heap size and parity is crossed.
    const bool push = reference.empty() || unit(rng) < (step < 2500 ? 0.6 : 0.3);
    if (push) {
      const double f =
          unit(rng) < nan_share ? std::numeric_limits<double>::quiet_NaN() : priority(rng) * 0.5;
      const Entry entry{f, next_id++};
      ours.push_back(entry);
      pushOpenEntry(ours);
      reference.push_back(entry);
      std::push_heap(reference.begin(), reference.end(), StdAbove());
    } else {
      const Entry popped = popOpenEntry(ours);
      std::pop_heap(reference.begin(), reference.end(), StdAbove());
      ASSERT_EQ(popped.id, reference.back().id) << "step " << step;
      reference.pop_back();
    }
    expectSameLayout(ours, reference);
  }
}

TEST(OpenListHeap, MatchesTheStandardHeapAlgorithmsUnderHeavyTies) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    runRandomSequence(seed, 3, 0.0);
  }
}

TEST(OpenListHeap, MatchesTheStandardHeapAlgorithmsWithSpreadPriorities) {
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    runRandomSequence(seed, 100000, 0.0);
  }
}

TEST(OpenListHeap, NanPrioritiesMoveEntriesExactlyAsTheStandardAlgorithmsDo) {
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    runRandomSequence(seed, 5, 0.05);
  }
}

TEST(OpenListHeap, PopsInAscendingPriorityAndOneEntryHeapEmpties) {
  std::vector<Entry> heap;
  heap.push_back({2.0, 0});
  EXPECT_EQ(popOpenEntry(heap).id, 0);
  EXPECT_TRUE(heap.empty());
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> unit(0.0, 100.0);
  for (int i = 0; i < 500; ++i) {
    heap.push_back({unit(rng), i});
    pushOpenEntry(heap);
  }
  double last = -1.0;
  while (!heap.empty()) {
    const double f = popOpenEntry(heap).f;
    EXPECT_LE(last, f);
    last = f;
  }
}

}  // namespace
