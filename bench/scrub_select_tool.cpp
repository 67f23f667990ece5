// The scrub's choice of files from a large history.
//
//   scrub_select_tool build HISTORY FILES SEED   a history of one volume of FILES lines
//       with names like a real disk's: four in five checked over the last 30 days of
//       its clock, the rest never checked
//   scrub_select_tool select HISTORY FILES SEED  the same volume's list (with one line in
//       a hundred new since) chosen from: the history read, every line put in the
//       stalest-first order and the run planned. Prints the seconds that took and the
//       process's peak memory.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "scrub/history.h"
#include "scrub/selection.h"

namespace {

constexpr char kVolume[] = "0000001234 BENCH";
constexpr size_t kBatch = 500000;

const char* const kWords[] = {"holiday", "beach",   "garden", "birthday", "report", "invoice",
                              "budget",  "letter",  "notes",  "project",  "client", "family",
                              "school",  "concert", "travel", "museum",   "Urlaub", "Rechnung",
                              "été",     "château", "año",    "отпуск",   "写真",   "旅行"};
const char* const kTops[] = {"Photos", "Music", "Documents", "Projects", "Videos", "Scans"};
const char* const kExtensions[] = {"JPG", "jpg", "CR2", "mp3", "flac", "pdf", "docx", "cpp", "h"};

template <size_t N>
const char* Pick(std::mt19937_64& random, const char* const (&from)[N]) {
  return from[random() % N];
}

// The lines of the volume, a folder at a time, in the order a list holds them.
template <typename Each>
void ForEachLine(size_t files, unsigned seed, Each each) {
  std::mt19937_64 random(seed);
  std::mt19937_64 other(seed + 1);  // the caller's draws, which leave the names alone
  size_t made = 0;
  for (size_t folder = 0; made < files; ++folder) {
    std::string dir = std::string("/") + Pick(random, kTops) + "/";
    for (size_t depth = 0, n = 1 + random() % 3; depth < n; ++depth) {
      dir += std::string(Pick(random, kWords)) + " " + std::to_string(2003 + random() % 23) + "/";
    }
    const std::string ext = Pick(random, kExtensions);
    const size_t count = std::min<size_t>(files - made, 5 + random() % 200);
    for (size_t i = 0; i < count; ++i, ++made) {
      char name[64];
      std::snprintf(name, sizeof(name), "%s_%04zu %s.%s", Pick(random, kWords), i,
                    Pick(random, kWords), ext.c_str());
      const uint64_t size = uint64_t{1} << (10 + random() % 20);
      each(dir + name, size + random() % size, 20050101000000 + random() % 200000000,
           static_cast<int64_t>(random() % 4294967295u), other);
    }
  }
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// CPU seconds of the process so far, and its peak memory in MB: on a machine shared with
// other work the CPU time is what the choice costs.
double CpuSeconds(long* peak_mb) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  *peak_mb = usage.ru_maxrss / 1024;
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int Build(scrub::History* history, size_t files, unsigned seed) {
  scrub::VolumeClock clock;
  constexpr uint32_t kDays = 60;
  if (!history->StartRun(kVolume, 0, scrub::kDaySeconds, &clock)) return 1;
  // Every line in memory, then written in hash order, the history's own: each page of
  // its tables is then written once, not once a line.
  struct Line {
    uint64_t hash;
    scrub::FileKey key;
    bool checked;
  };
  std::vector<Line> lines;
  lines.reserve(files);
  ForEachLine(
      files, seed,
      [&](std::string path, uint64_t size, uint64_t time, int64_t id, std::mt19937_64& random) {
        scrub::FileKey key{kVolume, std::move(path), size, time, id};
        const uint64_t hash = scrub::LineHash(key);
        lines.push_back({hash, std::move(key), random() % 5 != 0});
      });
  std::sort(lines.begin(), lines.end(),
            [](const Line& a, const Line& b) { return a.hash < b.hash; });
  bool ok = true;
  for (size_t first = 0; ok && first < lines.size(); first += kBatch) {
    std::vector<scrub::CheckRecord> checked;
    std::vector<scrub::FileKey> seen;
    for (size_t i = first; i < std::min(lines.size(), first + kBatch); ++i) {
      if (lines[i].checked) {
        checked.push_back({std::move(lines[i].key), 1, scrub::Verdict::kUnchanged, 0});
      } else {
        seen.push_back(std::move(lines[i].key));
      }
    }
    // Checked over the last 30 days of the volume's clock, a batch a day.
    const uint32_t day = kDays - 30 + static_cast<uint32_t>(first / kBatch % 30);
    ok = history->Record(clock.volume, day * scrub::kDaySeconds, checked) &&
         history->AddSeen(clock.volume, seen, kDays * scrub::kDaySeconds);
  }
  ok = ok && history->StartRun(kVolume, kDays * scrub::kDaySeconds, scrub::kDaySeconds, &clock);
  if (!ok) std::fprintf(stderr, "scrub_select_tool: %s\n", history->error().c_str());
  return ok ? 0 : 1;
}

int Select(scrub::History* history, size_t files, unsigned seed) {
  // The list's side: its lines' hashes, one in a hundred new since the history was made.
  std::vector<uint64_t> hashes;
  hashes.reserve(files);
  uint64_t bytes = 0;
  ForEachLine(
      files, seed,
      [&](std::string path, uint64_t size, uint64_t time, int64_t id, std::mt19937_64& random) {
        hashes.push_back(scrub::LineHash(path, size, time, random() % 100 == 0 ? id + 1 : id));
        bytes += size;
      });
  long peak_mb = 0;
  const double cpu_start = CpuSeconds(&peak_mb);
  const auto start = std::chrono::steady_clock::now();
  scrub::VolumeClock clock;
  scrub::StaleTable table;
  if (!history->PeekClock(kVolume, &clock) || !history->LoadStale(clock.volume, &table, files)) {
    std::fprintf(stderr, "scrub_select_tool: %s\n", history->error().c_str());
    return 1;
  }
  const double load = Seconds(start);
  const double load_cpu = CpuSeconds(&peak_mb) - cpu_start;
  clock.step = scrub::kDaySeconds;
  std::vector<uint32_t> unseen;
  scrub::OrderStalest(&hashes, std::move(table), clock.now, &unseen);
  const scrub::Plan plan = scrub::PlanRun(std::move(hashes), bytes, scrub::Budget{}, clock);
  const double all = Seconds(start);
  const double cpu = CpuSeconds(&peak_mb) - cpu_start;
  std::printf("history read with %.2f s of CPU\n", load_cpu);
  std::printf(
      "files %zu  history read in %.2f s  chosen in %.2f s (%.2f s of CPU)  peak %ld MB"
      "  new %zu  due %llu\n",
      files, load, all, cpu, peak_mb, unseen.size(), static_cast<unsigned long long>(plan.due));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: scrub_select_tool build|select HISTORY FILES SEED\n");
    return 2;
  }
  const std::string mode = argv[1];
  scrub::History history;
  if (!history.Open(argv[2])) {
    std::fprintf(stderr, "scrub_select_tool: %s\n", history.error().c_str());
    return 1;
  }
  const size_t files = std::strtoull(argv[3], nullptr, 10);
  const unsigned seed = static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10));
  if (mode == "build") return Build(&history, files, seed);
  if (mode == "select") return Select(&history, files, seed);
  std::fprintf(stderr, "scrub_select_tool: build or select, not '%s'\n", mode.c_str());
  return 2;
}
