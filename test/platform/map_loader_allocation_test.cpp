// SPDX-License-Identifier: Apache-2.0
// The Moving AI loader sizes its map by the file's header; a short file with a huge header
// must be refused without the loader first allocating the cells the header promises.
#include <cstdlib>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "orvik_nav2_gridmap/map_loader.hpp"
#include "platform/temp_files.hpp"

namespace {

// While armed, any single allocation above the cap fails as an exhausted heap would. The
// replacement covers the whole test program, so it stays disarmed outside the checked calls.
bool allocation_cap_armed = false;
constexpr std::size_t kAllocationCap = 64u << 20;

class AllocationCap {
 public:
  AllocationCap() { allocation_cap_armed = true; }
  ~AllocationCap() { allocation_cap_armed = false; }
  AllocationCap(const AllocationCap&) = delete;
  AllocationCap& operator=(const AllocationCap&) = delete;
};

}  // namespace

namespace {

void* cappedAllocation(std::size_t size) {
  if (allocation_cap_armed && size > kAllocationCap) {
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) {
    return block;
  }
  throw std::bad_alloc();
}

}  // namespace

// Both forms are replaced: a sanitizer runtime supplies its own array form, which would not
// forward to the single-object one.
void* operator new(std::size_t size) {
  return cappedAllocation(size);
}
void* operator new[](std::size_t size) {
  return cappedAllocation(size);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}

namespace {

using orvik_nav2_gridmap::GridMapConfig;
using orvik_nav2_gridmap::loadMovingAiMap;
using orvik_nav2_gridmap::MapLoadError;

TEST(MovingAiLoaderAllocation, HugeHeaderWithTooFewRowsIsRefusedWithoutAllocatingTheMap) {
  orvik_test::TempDir dir;
  const std::string path =
      dir.write("huge.map", "type octile\nheight 65535\nwidth 65535\nmap\n..\n");
  AllocationCap cap;
  EXPECT_THROW(loadMovingAiMap(path, GridMapConfig{}), MapLoadError);
}

TEST(MovingAiLoaderAllocation, HugeHeaderWithShortRowIsRefusedWithoutAllocatingTheMap) {
  orvik_test::TempDir dir;
  const std::string path = dir.write("wide.map", "type octile\nheight 9000\nwidth 9000\nmap\n");
  AllocationCap cap;
  EXPECT_THROW(loadMovingAiMap(path, GridMapConfig{}), MapLoadError);
}

TEST(MovingAiLoaderAllocation, SmallMapStillLoadsUnderTheCap) {
  orvik_test::TempDir dir;
  const std::string path =
      dir.write("small.map", "type octile\nheight 2\nwidth 3\nmap\n.@.\n...\n");
  AllocationCap cap;
  const auto map = loadMovingAiMap(path, GridMapConfig{});
  ASSERT_NE(map, nullptr);
}

}  // namespace
