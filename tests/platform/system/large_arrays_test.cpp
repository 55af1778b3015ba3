// The large arrays: memory on huge-page boundaries above a threshold, the heap's below.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/system/large_arrays.h"

namespace platform {
namespace {

// The large arrays: below the threshold from the heap, above it on huge-page boundaries; items
// kept as an array grows past the threshold and is copied, moved and cleared.
TEST(LargeArrays, ItemsKeptAcrossTheThresholdOnHugePageBoundaries) {
  LargeVector<std::uint64_t> items;
  const std::size_t past = kLargeArrayBytes / sizeof(std::uint64_t) * 3 + 7;
  for (std::uint64_t i = 0; i < past; ++i) items.push_back(i * 2654435761u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(items.data()) % (std::size_t{2} << 20), 0u);
  bool kept = true;
  for (std::uint64_t i = 0; i < past; ++i) kept = kept && items[i] == i * 2654435761u;
  EXPECT_TRUE(kept);
  LargeVector<std::uint64_t> copy = items;
  EXPECT_EQ(copy, items);
  const LargeVector<std::uint64_t> moved = std::move(copy);
  EXPECT_EQ(moved.size(), past);
  EXPECT_EQ(moved.back(), (past - 1) * 2654435761u);
  items.clear();
  items.shrink_to_fit();
  items.assign(10, 7);  // small again: from the heap
  EXPECT_EQ(items, LargeVector<std::uint64_t>(10, 7));
  // Any size: the whole of it written and given back.
  for (const std::size_t bytes : {std::size_t{1}, (std::size_t{2} << 20) + 1, kLargeArrayBytes * 2}) {
    auto* memory = static_cast<unsigned char*>(AllocateLarge(bytes));
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory) % (std::size_t{2} << 20), 0u);
    std::memset(memory, 0xA5, bytes);
    EXPECT_EQ(memory[bytes - 1], 0xA5);
    FreeLarge(memory, bytes);
  }
  FreeLarge(nullptr, 10);
}

}  // namespace
}  // namespace platform
