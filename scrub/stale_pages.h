#pragma once
// The part of the history selection reads: each line's hash, place in the stalest-first
// order and whether it is damaged, packed into one blob per volume and top 16 bits of the
// hash (a page). Millions of lines are then read as some thousands of blobs, not as
// millions of rows; a check rewrites the one page that holds its line.

#include <cstdint>
#include <vector>

#include "catalogue/sqlite_db.h"
#include "scrub/history.h"

namespace scrub {

struct StaleEntry {
  uint64_t hash = 0;
  uint32_t stale = 0;  // PackStale
  bool damaged = false;
};

// The table of the pages, for the history's schema.
extern const char kStalePagesSchema[];

// Writes `entries` into their pages, within the caller's transaction: each replaces the
// entry of its hash, or with `only_new` is left out where its hash has one. False on a
// failure (the database's error).
bool PutStale(catalogue::Database* db, int64_t volume, std::vector<StaleEntry> entries,
              bool only_new);

// Every entry of the volume, sorted by hash; `expected` lines reserve their room.
bool ReadStale(catalogue::Database* db, int64_t volume, size_t expected, StaleTable* table);

}  // namespace scrub
