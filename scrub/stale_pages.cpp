#include "scrub/stale_pages.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace scrub {

namespace {

using catalogue::Statement;

constexpr int kPageShift = 48;
constexpr size_t kEntryBytes = 13;  // hash, stale, flags

void Encode(const StaleEntry& entry, char* out) {
  std::memcpy(out, &entry.hash, 8);
  std::memcpy(out + 8, &entry.stale, 4);
  out[12] = entry.damaged ? 1 : 0;
}

StaleEntry Decode(const char* in) {
  StaleEntry entry;
  std::memcpy(&entry.hash, in, 8);
  std::memcpy(&entry.stale, in + 8, 4);
  entry.damaged = in[12] != 0;
  return entry;
}

int64_t PageOf(uint64_t hash) { return static_cast<int64_t>(hash >> kPageShift); }

// Merges the sorted `changes` into the sorted entries of one page.
std::string Merged(std::string_view page, const StaleEntry* first, const StaleEntry* last,
                   bool only_new) {
  std::vector<StaleEntry> entries;
  entries.reserve(page.size() / kEntryBytes + static_cast<size_t>(last - first));
  const char* at = page.data();
  const char* end = at + page.size() / kEntryBytes * kEntryBytes;
  while (at < end || first < last) {
    const bool take_old = first == last || (at < end && Decode(at).hash <= first->hash);
    if (take_old) {
      const StaleEntry old = Decode(at);
      at += kEntryBytes;
      if (first < last && old.hash == first->hash) {
        entries.push_back(only_new ? old : *first);
        ++first;
      } else {
        entries.push_back(old);
      }
    } else {
      entries.push_back(*first++);
    }
  }
  std::string out(entries.size() * kEntryBytes, '\0');
  for (size_t i = 0; i < entries.size(); ++i) Encode(entries[i], &out[i * kEntryBytes]);
  return out;
}

}  // namespace

const char kStalePagesSchema[] =
    "CREATE TABLE IF NOT EXISTS stale_pages(volume INTEGER NOT NULL, page INTEGER NOT NULL,"
    " entries BLOB NOT NULL, PRIMARY KEY(volume, page)) WITHOUT ROWID;";

bool PutStale(catalogue::Database* db, int64_t volume, std::vector<StaleEntry> entries,
              bool only_new) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const StaleEntry& a, const StaleEntry& b) { return a.hash < b.hash; });
  // Of two entries of one hash in one call, the later counts.
  const auto last_of_each =
      std::unique(entries.rbegin(), entries.rend(),
                  [](const StaleEntry& a, const StaleEntry& b) { return a.hash == b.hash; });
  entries.erase(entries.begin(), last_of_each.base());
  Statement read;
  Statement write;
  if (!db->Prepare("SELECT entries FROM stale_pages WHERE volume = ?1 AND page = ?2", &read) ||
      !db->Prepare("INSERT OR REPLACE INTO stale_pages(volume, page, entries) VALUES(?1, ?2, ?3)",
                   &write)) {
    return false;
  }
  for (size_t first = 0; first < entries.size();) {
    const int64_t page = PageOf(entries[first].hash);
    size_t last = first;
    while (last < entries.size() && PageOf(entries[last].hash) == page) ++last;
    read.BindInt(1, volume);
    read.BindInt(2, page);
    const std::string old = read.Step() ? std::string(read.Bytes(0)) : std::string();
    if (read.Failed()) return false;
    read.Reset();
    write.BindInt(1, volume);
    write.BindInt(2, page);
    write.BindBytes(3, Merged(old, &entries[first], entries.data() + last, only_new));
    write.Step();
    if (write.Failed()) return false;
    write.Reset();
    first = last;
  }
  return true;
}

bool ReadStale(catalogue::Database* db, int64_t volume, size_t expected, StaleTable* table) {
  *table = {};
  table->hashes.reserve(expected);
  table->keys.reserve(expected);
  table->damaged.reserve(expected);
  Statement read;
  if (!db->Prepare("SELECT entries FROM stale_pages WHERE volume = ?1 ORDER BY page", &read)) {
    return false;
  }
  read.BindInt(1, volume);
  while (read.Step()) {
    const std::string_view page = read.Bytes(0);
    for (size_t at = 0; at + kEntryBytes <= page.size(); at += kEntryBytes) {
      const StaleEntry entry = Decode(page.data() + at);
      table->hashes.push_back(entry.hash);
      table->keys.push_back(entry.stale);
      table->damaged.push_back(entry.damaged);
    }
  }
  return !read.Failed();
}

}  // namespace scrub
