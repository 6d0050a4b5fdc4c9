#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "platform/os/os.h"

namespace {

// Fills the first n bytes with a pattern that tells every byte's place.
void fill(void* p, size_t from, size_t n) {
  auto* b = static_cast<unsigned char*>(p);
  for (size_t i = from; i < n; ++i) b[i] = static_cast<unsigned char>(i * 31 + 7);
}
bool holds(const void* p, size_t n) {
  const auto* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i)
    if (b[i] != static_cast<unsigned char>(i * 31 + 7)) return false;
  return true;
}

TEST(LargeBlock, GrowsThroughHeapAndMappedSizesKeepingWhatItHolds) {
  // Heap to heap, heap to mapped, mapped to mapped (moved along), each
  // keeping the bytes written so far.
  os::LargeBlock block;
  EXPECT_EQ(block.data(), nullptr);
  size_t written = 0;
  for (size_t size : {size_t(100), size_t(64) << 10, size_t(3) << 20, size_t(9) << 20, size_t(40) << 20}) {
    ASSERT_TRUE(block.reserve(size, written));
    ASSERT_GE(block.capacity(), size);
    EXPECT_TRUE(holds(block.data(), written)) << size;
    fill(block.data(), written, size);
    written = size;
  }
  // Asking for less than it has changes nothing.
  void* before = block.data();
  ASSERT_TRUE(block.reserve(10, written));
  EXPECT_EQ(block.data(), before);
  EXPECT_TRUE(holds(block.data(), written));
}

TEST(LargeBlock, KeepsOnlyTheBytesAskedFor) {
  os::LargeBlock block;
  ASSERT_TRUE(block.reserve(1000, 0));
  fill(block.data(), 0, 1000);
  ASSERT_TRUE(block.reserve(size_t(2) << 20, 500));
  EXPECT_TRUE(holds(block.data(), 500));
}

TEST(LargeBlock, MovesHandOverTheMemory) {
  os::LargeBlock a;
  ASSERT_TRUE(a.reserve(size_t(4) << 20, 0));
  fill(a.data(), 0, size_t(4) << 20);
  os::LargeBlock b(std::move(a));
  EXPECT_EQ(a.data(), nullptr);
  EXPECT_EQ(a.capacity(), 0u);
  EXPECT_TRUE(holds(b.data(), size_t(4) << 20));
  os::LargeBlock c;
  ASSERT_TRUE(c.reserve(100, 0));
  c = std::move(b);  // c's own block is let go
  EXPECT_TRUE(holds(c.data(), size_t(4) << 20));
  EXPECT_EQ(b.data(), nullptr);
}

TEST(LargeBlock, AnImpossibleSizeFailsAndLeavesTheBlockAsItWas) {
  os::LargeBlock block;
  ASSERT_TRUE(block.reserve(size_t(2) << 20, 0));
  fill(block.data(), 0, size_t(2) << 20);
  void* before = block.data();
  EXPECT_FALSE(block.reserve(~size_t(0) >> 2, size_t(2) << 20));
  EXPECT_FALSE(os::lastError().empty());
  EXPECT_EQ(block.data(), before);
  EXPECT_TRUE(holds(block.data(), size_t(2) << 20));
}

}  // namespace
