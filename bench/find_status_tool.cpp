// The scrub figures of the Find page's volumes table on a large catalogue: what a refresh
// costs reading every list (as the page did) against the status board, cold, with
// nothing changed, and after one volume's run.
//
//   find_status_tool CATALOGUE WORK   CATALOGUE: a folder of id lists (catalogue_tool);
//       WORK: the index and a history made there on the first call (four lines in five
//       of every list checked, one in a thousand of those found corrupted).
//
// Prints each step's wall and CPU seconds, the lists it read, and whether its figures
// equal those of every list read.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue_index.h"
#include "catalogue/volumes.h"
#include "scrub/status_board.h"
#include "scrub/volume_run.h"

namespace {

constexpr int64_t kStart = 1767225600;  // 2026-01-01
constexpr uint32_t kCycle = 30 * scrub::kDaySeconds;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class Timer {
 public:
  void Print(const char* what, size_t lists_read, const char* equal) const {
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
    std::printf("%-44s %7.3f s wall %7.3f s CPU  %4zu lists read  figures equal: %s\n", what, wall,
                CpuSeconds() - cpu_, lists_read, equal);
  }

 private:
  std::chrono::steady_clock::time_point wall_ = std::chrono::steady_clock::now();
  double cpu_ = CpuSeconds();
};

// The keys of a list's lines scrub can judge.
std::vector<scrub::FileKey> KeysOf(const catalogue::CatalogueList& list) {
  std::vector<scrub::FileKey> keys;
  lists::IdList read;
  lists::ListReadError error;
  if (!lists::ReadIdList(list.path, &read, &error)) return keys;
  for (const lists::ListedFile& file : read.files()) {
    if (!file.has_id || !file.has_size || file.ambiguous || file.size == 0) continue;
    const std::optional<int64_t> id = catalogue::ContentKey(file.id_text());
    if (!id) continue;
    keys.push_back({scrub::VolumeKey(list), catalogue::PathOnVolume(list, read.FullPath(file)),
                    file.size, file.write_time, *id});
  }
  return keys;
}

// One run of the list's volume at `now` that checks four lines in five of it, or with
// `few` one in twenty.
bool RunOf(scrub::History* history, const catalogue::CatalogueList& list, int64_t now, bool few) {
  scrub::VolumeClock clock;
  if (!history->StartRun(scrub::VolumeKey(list), now, scrub::kDaySeconds, &clock)) return false;
  std::vector<scrub::CheckRecord> checks;
  const std::vector<scrub::FileKey> keys = KeysOf(list);
  for (size_t i = 0; i < keys.size(); ++i) {
    if (few ? i % 20 != 0 : i % 5 == 4) continue;
    const scrub::Verdict verdict =
        i % 1000 == 7 ? scrub::Verdict::kCorrupted : scrub::Verdict::kUnchanged;
    checks.push_back({keys[i], now, verdict, keys[i].id});
  }
  return history->Record(clock.volume, clock.now, checks) &&
         history->EndRun(clock.volume, now, now + 60, checks.size(), 0, 0);
}

std::string Figures(const scrub::VolumeStatus& s) {
  return std::to_string(s.files) + " " + std::to_string(s.bytes) + " " +
         std::to_string(s.cycle_bytes) + " " + std::to_string(s.never_checked) + " " +
         std::to_string(s.overdue) + " " + std::to_string(s.damaged) + " " +
         std::to_string(s.facts.last_run_end.value_or(-1));
}

const char* Equal(const std::vector<scrub::VolumeStatus>& a, const std::vector<std::string>& b) {
  if (a.size() != b.size()) return "no";
  for (size_t i = 0; i < a.size(); ++i) {
    if (Figures(a[i]) != b[i]) return "no";
  }
  return "yes";
}

// Every list read and its status taken, as the page did on each refresh.
bool EveryList(const std::string& history_path, const std::vector<catalogue::CatalogueList>& lists,
               std::vector<std::string>* figures) {
  scrub::History history;
  if (!history.Open(history_path)) return false;
  figures->clear();
  for (const catalogue::CatalogueList& list : lists) {
    lists::IdList read;
    lists::ListReadError error;
    scrub::VolumeStatus status;
    if (!lists::ReadIdList(list.path, &read, &error) ||
        !scrub::StatusOf(&history, list, read, kCycle, &status)) {
      return false;
    }
    figures->push_back(Figures(status));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: find_status_tool CATALOGUE WORK\n");
    return 2;
  }
  std::string folder = argv[1];
  if (folder.back() != '/') folder += '/';
  const std::string work = argv[2];
  const std::string history_path = work + "/history.db";
  catalogue::CatalogueIndex index({folder}, work + "/index.db", "v00");
  Timer first_index;
  if (!index.Refresh()) {
    std::fprintf(stderr, "find_status_tool: %s\n", index.error().c_str());
    return 1;
  }
  first_index.Print("index brought up to date", 0, "-");
  const std::vector<catalogue::CatalogueList> lists = index.Lists();
  if (lists.empty()) {
    std::fprintf(stderr, "find_status_tool: no lists in %s\n", folder.c_str());
    return 1;
  }
  scrub::History history;
  if (!history.Open(history_path)) return 1;
  scrub::VolumeFacts facts;
  if (!history.Facts(scrub::VolumeKey(lists[0]), &facts)) {
    Timer made;
    for (const catalogue::CatalogueList& list : lists) {
      if (!RunOf(&history, list, kStart, false)) {
        std::fprintf(stderr, "find_status_tool: %s\n", history.error().c_str());
        return 1;
      }
    }
    made.Print("history made", lists.size(), "-");
  }
  uint64_t files = 0;
  for (const catalogue::CatalogueList& list : lists) files += list.files;
  std::printf("%zu lists, %llu lines\n", lists.size(), static_cast<unsigned long long>(files));

  std::vector<std::string> figures;
  Timer every;
  if (!EveryList(history_path, lists, &figures)) return 1;
  every.Print("every list read (each refresh before)", lists.size(), "-");

  scrub::StatusBoard board;
  std::vector<scrub::VolumeStatus> statuses;
  std::string error;
  const auto update = [&](const char* what) {
    Timer timer;
    if (!board.Update(history_path, lists, kCycle, &statuses, &error)) {
      std::fprintf(stderr, "find_status_tool: %s\n", error.c_str());
      return false;
    }
    timer.Print(what, board.lists_read(), Equal(statuses, figures));
    return true;
  };
  if (!update("board, first refresh") || !update("board, nothing changed")) return 1;
  Timer again;
  if (!index.Refresh()) return 1;
  again.Print("index refresh, nothing changed", 0, "-");
  if (!RunOf(&history, lists[lists.size() / 2], kStart + scrub::kDaySeconds, true) ||
      !EveryList(history_path, lists, &figures) || !update("board, after one volume's run")) {
    return 1;
  }
  return 0;
}
