// The rate cap on a clock the test moves: no waiting.

#include "scrub/rate.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int64_t kSecond = 1000000000;

TEST(RateCapTest, HoldsTheRateOverEveryTenSecondsWithReadsOfAnySize) {
  constexpr uint64_t kRate = 50 << 20;
  int64_t now = 0;
  scrub::RateCap cap(
      kRate, [&] { return now; }, [&](int64_t ns) { now += ns; });
  // Reads as fast as a disk of 500 MB/s, of sizes from 4 kB to 8 MB.
  std::vector<std::pair<int64_t, uint64_t>> ends;  // when each read ended, its bytes
  for (int i = 0; now < 120 * kSecond; ++i) {
    const uint64_t bytes = (4096u << (i % 12)) % (8u << 20) + 1;
    now += static_cast<int64_t>(bytes) * kSecond / (500 << 20);
    ends.push_back({now, bytes});
    cap.Took(bytes);
  }
  for (int64_t window = 0; window + 10 * kSecond <= 110 * kSecond; window += kSecond) {
    uint64_t bytes = 0;
    for (const auto& [end, size] : ends) {
      if (end > window && end <= window + 10 * kSecond) bytes += size;
    }
    EXPECT_NEAR(static_cast<double>(bytes), 10.0 * kRate, 1.0 * kRate) << window / kSecond;
  }
}

TEST(RateCapTest, ASlowDiskIsNotMadeUpForInABurst) {
  int64_t now = 0;
  int64_t slept = 0;
  scrub::RateCap cap(
      1000, [&] { return now; },
      [&](int64_t ns) {
        slept += ns;
        now += ns;
      });
  now += 10 * kSecond;  // 10 s for 1000 bytes: far behind the rate
  cap.Took(1000);
  now += kSecond / 10;
  cap.Took(1000);  // a second's bytes, so about a second's wait, not none
  EXPECT_GE(slept, kSecond * 8 / 10);
}

TEST(RateCapTest, NoRateNeverWaits) {
  int64_t slept = 0;
  scrub::RateCap cap(
      0, [] { return int64_t{0}; }, [&](int64_t ns) { slept += ns; });
  cap.Took(uint64_t{1} << 40);
  EXPECT_EQ(slept, 0);
}

// Reads slower than the rate for a while (a busy processor, a file's own cost of opening
// and flushing): the time lost is made up for afterwards, a little faster than the rate
// and never by a tenth more over any ten seconds.
TEST(RateCapTest, TimeLostToSlowReadsIsMadeUpWithoutPassingTheRateByATenth) {
  constexpr uint64_t kRate = 50 << 20;
  constexpr uint64_t kRead = 1 << 20;
  int64_t now = 0;
  scrub::RateCap cap(
      kRate, [&] { return now; }, [&](int64_t ns) { now += ns; });
  std::vector<std::pair<int64_t, uint64_t>> ends;
  uint64_t total = 0;
  while (now < 150 * kSecond) {
    // 20 s at four fifths of the rate, then a disk of 500 MB/s.
    const uint64_t speed = now < 20 * kSecond ? kRate * 4 / 5 : 500 << 20;
    now += static_cast<int64_t>(kRead * kSecond / speed);
    ends.push_back({now, kRead});
    total += kRead;
    cap.Took(kRead);
  }
  for (int64_t window = 20 * kSecond; window + 10 * kSecond <= 140 * kSecond; window += kSecond) {
    uint64_t bytes = 0;
    for (const auto& [end, size] : ends) {
      if (end > window && end <= window + 10 * kSecond) bytes += size;
    }
    EXPECT_LE(static_cast<double>(bytes), 11.0 * kRate) << window / kSecond;
  }
  // The 4 s lost in the first 20 are made up by the end.
  EXPECT_GE(static_cast<double>(total), static_cast<double>(kRate) * 149.5);
}

}  // namespace
