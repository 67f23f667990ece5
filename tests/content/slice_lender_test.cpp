// The read pool's shared buffer lent out in slices: the size of a slice, and which run of
// slices each reader gets as readers come and go.

#include "content/slice_lender.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace content {
namespace {

TEST(SliceLenderTest, SlicesAreEvenAndStartOnCacheLinesOnceTheyHoldTwo) {
  struct Case {
    uint64_t size;
    size_t readers;
    uint64_t slice;
  };
  // 333 bytes a reader make five whole 64-byte lines; 51 and 127 are below two lines and
  // are only made even.
  const Case cases[] = {{4096, 4, 1024}, {1000, 3, 320},    {100, 2, 50},
                        {103, 2, 50},    {127 * 2, 2, 126}, {128 * 2, 2, 128}};
  std::vector<uint8_t> memory(4096);
  for (const Case& c : cases) {
    SliceLender lender(LentBuffer{memory.data(), c.size}, c.readers);
    EXPECT_EQ(lender.slice(), c.slice) << c.size << " / " << c.readers;
    EXPECT_EQ(lender.readers(), c.readers);
  }
}

TEST(SliceLenderTest, WithoutABufferEveryReaderReadsThroughItsOwn) {
  SliceLender lender(LentBuffer{}, 4);
  EXPECT_EQ(lender.slice(), 0u);
  for (size_t reader = 0; reader < 4; ++reader) {
    EXPECT_TRUE(lender.Free());
    const LentBuffer lent = lender.Lease(reader, 1);
    EXPECT_EQ(lent.data, nullptr);
    EXPECT_EQ(lent.size, 0u);
  }
  EXPECT_TRUE(lender.Free());
}

TEST(SliceLenderTest, EachReaderInUseGetsAnEqualPowerOfTwoOfSlices) {
  constexpr uint64_t kSlice = 1024;
  constexpr size_t kReaders = 8;
  // `active` 0: the reader gives back what it holds. Else what it leases: the first slice
  // and how many (0 for none), and whether a slice is left free after.
  struct Step {
    size_t reader;
    int32_t active;
    uint32_t first;
    uint32_t count;
    bool free_after;
  };
  const Step steps[] = {
      // Two readers in use: half the buffer each, then nothing is left.
      {0, 2, 0, 4, true},
      {1, 2, 4, 4, false},
      {2, 2, 0, 0, false},
      // One comes back; with eight in use, one slice each, from the lowest.
      {0, 0, 0, 0, true},
      {2, 8, 0, 1, true},
      {3, 8, 1, 1, true},
      // Three in use: two each (four would not leave the others as much).
      {4, 3, 2, 2, false},
      // Runs given back join up again into the half they came from.
      {2, 0, 0, 0, true},
      {3, 0, 0, 0, true},
      {4, 0, 0, 0, true},
      {5, 2, 0, 4, false},
      // One reader in use wants the whole buffer; only half is free: it takes that.
      {1, 0, 0, 0, true},
      {6, 1, 4, 4, false},
  };
  std::vector<uint8_t> memory(kSlice * kReaders);
  SliceLender lender(LentBuffer{memory.data(), memory.size()}, kReaders);
  ASSERT_EQ(lender.slice(), kSlice);
  for (size_t i = 0; i < std::size(steps); ++i) {
    const Step& step = steps[i];
    const std::string where = "step " + std::to_string(i);
    if (step.active == 0) {
      lender.Release(step.reader);
    } else {
      const LentBuffer lent = lender.Lease(step.reader, step.active);
      const uint8_t* expected = step.count == 0 ? nullptr : memory.data() + step.first * kSlice;
      EXPECT_EQ(lent.data, expected) << where;
      EXPECT_EQ(lent.size, step.count * kSlice) << where;
    }
    EXPECT_EQ(lender.Free(), step.free_after) << where;
  }
}

}  // namespace
}  // namespace content
