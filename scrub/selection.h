#pragma once
// Which files a scrub reads: stalest first (never checked, then the oldest check), as
// far as the budget goes, and always the files that would pass their cycle otherwise.

#include <cstdint>
#include <functional>
#include <vector>

#include "scrub/history.h"

namespace scrub {

constexpr uint32_t kDaySeconds = 86400;

// How much one run of a volume reads.
struct Budget {
  enum class Kind { kShare, kBytes, kTime };
  Kind kind = Kind::kShare;
  double percent = 5;                 // kShare: of the volume's listed bytes
  uint64_t bytes = 0;                 // kBytes
  int64_t seconds = 0;                // kTime: no file starts once this much has passed
  uint32_t cycle = 30 * kDaySeconds;  // every file is read once within this much clock
};

// The history's lines of a volume, found by hash. Holds a bucket per top bits of the
// hash, so a look-up touches a handful of entries.
class StaleIndex {
 public:
  explicit StaleIndex(const StaleTable& table);
  // The entry of `hash` in the table, or -1.
  int64_t Find(uint64_t hash) const;
  // Asks the processor for what a Find of `hash` reads, ahead of it: its bucket first,
  // then (a while later, once the bucket is in) the entries it points at.
  void PrefetchBucket(uint64_t hash) const;
  void PrefetchEntries(uint64_t hash) const;

 private:
  const StaleTable& table_;
  int shift_ = 64;
  std::vector<uint32_t> starts_;
};

// One candidate in the order: bit 63 set once checked, then the clock in minutes, then
// its index among the candidates (the list's order breaks ties).
inline uint32_t OrderIndex(uint64_t entry) { return static_cast<uint32_t>(entry); }

// Turns the candidates' hashes (LineHash, in the list's order) into the stalest-first
// order in place (its sort takes a second array of them for a moment, once `table` is let go).
// A line the table does not hold counts as first seen at `clock_now`; its index goes to
// `unseen` (may be null).
void OrderStalest(std::vector<uint64_t>* hashes, StaleTable table, uint32_t clock_now,
                  std::vector<uint32_t>* unseen);

// Whether an entry of the order is due: it would pass its cycle before the next run.
bool IsDue(uint64_t entry, const Budget& budget, const VolumeClock& clock);

struct Plan {
  std::vector<uint64_t> order;  // OrderStalest's
  // The first `must` files are read whatever the budget: every due file is among them.
  size_t must = 1;
  // kShare and kBytes: a file after the first `must` that would bring the bytes read
  // past this is not read, nor any after it.
  uint64_t byte_limit = UINT64_MAX;
  uint64_t due = 0;  // files past their cycle already (the backlog)
};

// The plan of a run of `total_bytes` listed. `order` is moved in.
Plan PlanRun(std::vector<uint64_t> order, uint64_t total_bytes, const Budget& budget,
             const VolumeClock& clock);

}  // namespace scrub
