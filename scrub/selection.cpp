#include "scrub/selection.h"

#include <algorithm>
#include <bit>
#include <memory>

namespace scrub {

namespace {

constexpr uint64_t kCheckedBit = uint64_t{1} << 63;
constexpr uint32_t kMinute = 60;
// About this many entries share a bucket.
constexpr size_t kBucketLoad = 4;

uint64_t Entry(uint64_t stale_key, uint32_t index) {
  const bool checked = StaleChecked(stale_key);
  const uint64_t minutes = StaleClock(stale_key) / kMinute;
  return (checked ? kCheckedBit : 0) | (minutes << 32) | index;
}

// Sorts the entries by their upper half, keeping the list's order among equal ones: two
// stable passes of 16 bits. The entries start in index order, so this is their whole
// order, in a fraction of a comparison sort's time for millions.
void SortEntries(std::vector<uint64_t>* entries) {
  const size_t size = entries->size();
  // Left uninitialised: every place is written by the first pass before it is read.
  const std::unique_ptr<uint64_t[]> other(new uint64_t[size]);
  uint64_t* const ends[] = {entries->data(), other.get()};
  std::vector<size_t> starts[2];
  for (std::vector<size_t>& each : starts) each.assign((size_t{1} << 16) + 1, 0);
  for (const uint64_t entry : *entries) {
    ++starts[0][((entry >> 32) & 0xffff) + 1];
    ++starts[1][(entry >> 48) + 1];
  }
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<size_t>& at = starts[pass];
    for (size_t i = 1; i < at.size(); ++i) at[i] += at[i - 1];
    const uint64_t* from = ends[pass];
    uint64_t* to = ends[1 - pass];
    const int shift = 32 + 16 * pass;
    for (size_t i = 0; i < size; ++i) to[at[(from[i] >> shift) & 0xffff]++] = from[i];
  }
}

uint32_t EntryClock(uint64_t entry) {
  return static_cast<uint32_t>(((entry & ~kCheckedBit) >> 32) * kMinute);
}

}  // namespace

StaleIndex::StaleIndex(const StaleTable& table) : table_(table) {
  const size_t size = table.hashes.size();
  if (size == 0) return;
  const int bits = std::max(1, static_cast<int>(std::bit_width(size / kBucketLoad + 1)));
  shift_ = 64 - bits;
  starts_.assign((size_t{1} << bits) + 1, 0);
  // The table is sorted by hash: each bucket's start is where its first hash lies.
  size_t at = 0;
  for (size_t bucket = 0; bucket + 1 < starts_.size(); ++bucket) {
    starts_[bucket] = static_cast<uint32_t>(at);
    while (at < size && (table.hashes[at] >> shift_) == bucket) ++at;
  }
  starts_.back() = static_cast<uint32_t>(size);
}

int64_t StaleIndex::Find(uint64_t hash) const {
  if (starts_.empty()) return -1;
  const size_t bucket = hash >> shift_;
  const auto first = table_.hashes.begin() + starts_[bucket];
  const auto last = table_.hashes.begin() + starts_[bucket + 1];
  const auto found = std::lower_bound(first, last, hash);
  return found != last && *found == hash ? found - table_.hashes.begin() : -1;
}

void StaleIndex::PrefetchBucket(uint64_t hash) const {
  if (!starts_.empty()) __builtin_prefetch(&starts_[hash >> shift_]);
}

void StaleIndex::PrefetchEntries(uint64_t hash) const {
  if (!starts_.empty()) __builtin_prefetch(&table_.hashes[starts_[hash >> shift_]]);
}

void OrderStalest(std::vector<uint64_t>* hashes, StaleTable table, uint32_t clock_now,
                  std::vector<uint32_t>* unseen) {
  std::vector<uint64_t>& order = *hashes;
  {
    const StaleIndex index(table);
    // Millions of look-ups at random places, each three reads that miss the cache (its
    // bucket, its hash, its key): each is asked for a stage ahead of the one that reads
    // it, so that the misses overlap instead of following one another.
    constexpr size_t kAhead = 16;
    constexpr size_t kRing = 2 * kAhead;  // found places between their look-up and use
    int64_t found[kRing];
    const size_t size = order.size();
    const auto look_up = [&](size_t i) {
      const int64_t at = index.Find(order[i]);
      found[i % kRing] = at;
      if (at >= 0) __builtin_prefetch(&table.keys[static_cast<size_t>(at)]);
    };
    for (size_t i = 0; i < std::min(size, kAhead); ++i) look_up(i);
    for (size_t i = 0; i < size; ++i) {
      if (i + 3 * kAhead < size) index.PrefetchBucket(order[i + 3 * kAhead]);
      if (i + 2 * kAhead < size) index.PrefetchEntries(order[i + 2 * kAhead]);
      if (i + kAhead < size) look_up(i + kAhead);
      const int64_t at = found[i % kRing];
      const uint32_t candidate = static_cast<uint32_t>(i);
      if (at >= 0) {
        order[i] = Entry(UnpackStale(table.keys[static_cast<size_t>(at)]), candidate);
      } else {
        order[i] = Entry(StaleKey(false, clock_now), candidate);
        if (unseen != nullptr) unseen->push_back(candidate);
      }
    }
  }
  // The table goes before the sort takes its second array: the two never share memory.
  table = {};
  SortEntries(&order);
}

bool IsDue(uint64_t entry, const Budget& budget, const VolumeClock& clock) {
  return uint64_t{EntryClock(entry)} + budget.cycle <= uint64_t{clock.now} + clock.step;
}

Plan PlanRun(std::vector<uint64_t> order, uint64_t total_bytes, const Budget& budget,
             const VolumeClock& clock) {
  Plan plan;
  plan.order = std::move(order);
  size_t last_due = 0;
  for (size_t i = 0; i < plan.order.size(); ++i) {
    if (!IsDue(plan.order[i], budget, clock)) continue;
    last_due = i + 1;
    if (EntryClock(plan.order[i]) + uint64_t{budget.cycle} <= clock.now) ++plan.due;
  }
  plan.must = std::max<size_t>(1, last_due);
  if (budget.kind == Budget::Kind::kShare) {
    plan.byte_limit =
        static_cast<uint64_t>(static_cast<double>(total_bytes) * budget.percent / 100);
  } else if (budget.kind == Budget::Kind::kBytes) {
    plan.byte_limit = budget.bytes;
  }
  return plan;
}

}  // namespace scrub
