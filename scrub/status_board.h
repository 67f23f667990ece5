#pragma once
// Where the scrub of every list stands, for a view refreshed again and again: the
// history's newest facts of all volumes in one query, and a list's lines read again only
// when the list or its volume's history changed since the last look. The figures are
// StatusOf's: a history holds lines of lists long replaced, so nothing short of each
// line can say which of its checks still count.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/catalogue_index.h"
#include "scrub/status.h"

namespace scrub {

class StatusBoard {
 public:
  // The status of each list in `lists`, in their order, by the history at `history_path`.
  // Without a history file every file of a list waits for its first check, by the list's
  // facts in the catalogue (no file is made); so does a list that cannot be read. False
  // with `error` when the history cannot be read.
  bool Update(const std::string& history_path, const std::vector<catalogue::CatalogueList>& lists,
              uint32_t cycle, std::vector<VolumeStatus>* statuses, std::string* error);

  // How many lists the last Update read.
  size_t lists_read() const { return lists_read_; }

  // What a volume's figures hang on, as the history shows it without its lines.
  struct VolumeStamp {
    int64_t clock = 0;
    int64_t last_run = -1;  // the start of its newest run; -1 before the first
    int64_t run_row = 0;    // its newest ended run
    int64_t run_start = 0;
    int64_t last_mend = 0;
    bool operator==(const VolumeStamp&) const = default;
  };
  struct ListStamp {
    uint64_t size = 0;
    int64_t write_ns = 0;
    int64_t change_ns = 0;
    uint64_t inode = 0;
    bool operator==(const ListStamp&) const = default;
  };

 private:
  struct Seen {
    ListStamp list;
    std::string volume;
    VolumeStamp stamp;
    uint32_t cycle = 0;
    VolumeStatus status;
  };
  std::unordered_map<std::string, Seen> seen_;  // by the list's path
  size_t lists_read_ = 0;
};

}  // namespace scrub
