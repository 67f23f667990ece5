// The stalest-first order of many lines against a table of what the history holds.

#include "scrub/selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

namespace {

TEST(OrderStalestTest, NeverCheckedFirstThenOldestWithTheListsOrderBetweenEqualOnes) {
  // Enough lines that look-ups run far ahead of their use; few clocks, so ties abound.
  constexpr size_t kLines = 5000;
  constexpr uint32_t kNow = 90 * scrub::kDaySeconds;
  std::mt19937_64 random(7);
  std::vector<uint64_t> hashes(kLines);
  for (uint64_t& hash : hashes) hash = random();
  struct Held {
    uint64_t hash;
    bool checked;
    uint32_t clock;
  };
  std::vector<Held> held;
  std::vector<uint32_t> want_unseen;
  // The rank of each line by the rule: never checked, then the clock to the minute.
  std::vector<std::tuple<bool, uint32_t, uint32_t>> ranks;
  for (uint32_t i = 0; i < kLines; ++i) {
    if (random() % 10 == 0) {
      want_unseen.push_back(i);
      ranks.emplace_back(false, kNow / 60, i);
      continue;
    }
    const bool checked = random() % 4 != 0;
    const uint32_t clock = static_cast<uint32_t>(random() % 40) * scrub::kDaySeconds;
    held.push_back({hashes[i], checked, clock});
    ranks.emplace_back(checked, clock / 60, i);
  }
  std::sort(held.begin(), held.end(), [](const Held& a, const Held& b) { return a.hash < b.hash; });
  scrub::StaleTable table;
  for (const Held& line : held) {
    table.hashes.push_back(line.hash);
    table.keys.push_back(scrub::PackStale(scrub::StaleKey(line.checked, line.clock)));
    table.damaged.push_back(false);
  }
  std::sort(ranks.begin(), ranks.end());
  std::vector<uint32_t> want;
  for (const auto& rank : ranks) want.push_back(std::get<2>(rank));

  std::vector<uint32_t> unseen;
  scrub::OrderStalest(&hashes, std::move(table), kNow, &unseen);
  std::vector<uint32_t> got;
  for (const uint64_t entry : hashes) got.push_back(scrub::OrderIndex(entry));
  EXPECT_EQ(got, want);
  EXPECT_EQ(unseen, want_unseen);
}

TEST(OrderStalestTest, AnEmptyHistoryKeepsTheListsOrder) {
  for (const size_t lines : {size_t{0}, size_t{1}, size_t{40}}) {
    std::vector<uint64_t> hashes(lines);
    std::vector<uint32_t> want(lines);
    for (uint32_t i = 0; i < lines; ++i) {
      hashes[i] = (uint64_t{i} * 0x9e3779b97f4a7c15ULL) | 1;
      want[i] = i;
    }
    std::vector<uint32_t> unseen;
    scrub::OrderStalest(&hashes, {}, 1000, &unseen);
    std::vector<uint32_t> got;
    for (const uint64_t entry : hashes) got.push_back(scrub::OrderIndex(entry));
    EXPECT_EQ(got, want) << lines;
    EXPECT_EQ(unseen, want) << lines;
  }
}

}  // namespace
