// The reader count against simulated devices: a fake millisecond clock, and bytes that
// each device model reads in a tick at the count the control gives.

#include "content/reader_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

namespace content {
namespace {

constexpr double kMiB = 1048576;
constexpr int kCores = 2;

// Bytes per second at a count of readers.
using Device = std::function<double(int)>;

double Spinning(int readers) { return 120 * kMiB / readers; }
double GrowsToEight(int readers) { return 40 * kMiB * std::min(readers, 8); }
// Past four readers, each one more costs 15%.
double PeaksAtFour(int readers) {
  return readers <= 4 ? 60 * kMiB * readers : 240 * kMiB * std::pow(0.85, readers - 4);
}
double Flat(int) { return 200 * kMiB; }
// Files in the page cache: each core reads fast, more readers than cores add nothing.
double InMemory(int readers) { return 1500 * kMiB * std::min(readers, kCores); }

struct Phase {
  Device device;
  uint32_t ms;
  bool from_cache = false;  // the reads say they came from the page cache
};

struct Trace {
  int settled_at_end = 0;
  uint32_t last_move_ms = 0;                 // when the settled count last changed
  int lowest = 1000, highest = 0;            // counts in use during the last phase's second half
  int settled_low = 1000, settled_high = 0;  // settled counts over the whole run
};

// Steps the control every 5 ms, with a deterministic jitter of +-3% on each tick's bytes.
Trace Simulate(int start, const std::vector<Phase>& phases) {
  ReaderControl control(start, kCores);
  uint32_t now = 4000000000u;  // the clock wraps during the run
  uint64_t bytes = 0;
  uint64_t cached = 0;
  uint32_t jitter = 12345;
  Trace trace;
  uint32_t elapsed = 0;
  int settled = control.settled();
  for (size_t p = 0; p < phases.size(); ++p) {
    for (uint32_t t = 0; t < phases[p].ms; t += 5) {
      jitter = jitter * 1103515245u + 12345u;
      const double noise = 0.97 + 0.06 * ((jitter >> 16) % 1000) / 1000.0;
      const auto tick = static_cast<uint64_t>(phases[p].device(control.readers()) * 0.005 * noise);
      bytes += tick;
      if (phases[p].from_cache) cached += tick;
      now += 5;
      const int readers = control.Step(now, bytes, cached);
      elapsed += 5;
      if (control.settled() != settled) trace.last_move_ms = elapsed;
      settled = control.settled();
      trace.settled_low = std::min(trace.settled_low, control.settled());
      trace.settled_high = std::max(trace.settled_high, control.settled());
      if (p + 1 == phases.size() && t >= phases[p].ms / 2) {
        trace.lowest = std::min(trace.lowest, readers);
        trace.highest = std::max(trace.highest, readers);
      }
    }
  }
  trace.settled_at_end = control.settled();
  return trace;
}

TEST(ReaderControlTest, SettlesWhereTheDeviceReadsFastest) {
  struct Case {
    std::string name;
    int start;
    std::vector<Phase> phases;
    int low, high;  // where it must have settled at the end
  };
  const Case kCases[] = {
      {"spinning from 1", 1, {{Spinning, 20000}}, 1, 1},
      {"spinning from 2", 2, {{Spinning, 20000}}, 1, 1},
      {"spinning from 8", 8, {{Spinning, 20000}}, 1, 1},
      {"grows to 8 from 1", 1, {{GrowsToEight, 20000}}, 7, 9},
      {"grows to 8 from 2", 2, {{GrowsToEight, 20000}}, 7, 9},
      {"peaks at 4 from 8", 8, {{PeaksAtFour, 20000}}, 4, 4},
      {"peaks at 4 from 1", 1, {{PeaksAtFour, 20000}}, 4, 4},
      {"small files, then a large file on a spinning disk",
       2,
       {{GrowsToEight, 15000}, {Spinning, 20000}},
       1,
       1},
      {"a large file, then small files", 1, {{Spinning, 15000}, {GrowsToEight, 20000}}, 7, 9},
  };
  for (const Case& c : kCases) {
    const Trace trace = Simulate(c.start, c.phases);
    EXPECT_GE(trace.settled_at_end, c.low) << c.name;
    EXPECT_LE(trace.settled_at_end, c.high) << c.name;
    // Settled, it only tries a neighbour now and then.
    EXPECT_GE(trace.lowest, c.low - 1) << c.name;
    EXPECT_LE(trace.highest, c.high + 1) << c.name;
    EXPECT_GE(trace.lowest, 1) << c.name;
    EXPECT_LE(trace.highest, kMaxAdaptiveReaders) << c.name;
  }
}

// A run of a few seconds must not spend them searching: the count is found in a handful
// of windows, where one step per window would take one window per count passed. A window
// on the slow disk waits for its bytes.
TEST(ReaderControlTest, SettlesWithinAFewWindows) {
  struct Case {
    std::string name;
    int start;
    Device device;
    uint32_t within_ms;
  };
  const Case kCases[] = {
      {"grows to 8 from 1", 1, GrowsToEight, 6 * kControlWindowMs},
      {"peaks at 4 from 1", 1, PeaksAtFour, 6 * kControlWindowMs},
      {"spinning from 8", 8, Spinning, 700},
  };
  for (const Case& c : kCases) {
    const Trace trace = Simulate(c.start, {{c.device, 20000}});
    EXPECT_LE(trace.last_move_ms, c.within_ms) << c.name;
  }
}

TEST(ReaderControlTest, DoesNotWanderOnAFlatDevice) {
  for (int start : {1, 2, 4, 16}) {
    const Trace trace = Simulate(start, {{Flat, 60000}});
    EXPECT_EQ(trace.settled_low, start) << start;
    EXPECT_EQ(trace.settled_high, start) << start;
    EXPECT_GE(trace.lowest, std::max(start - 1, 1)) << start;
    EXPECT_LE(trace.highest, std::min(start + 1, kMaxAdaptiveReaders)) << start;
  }
}

// Reads from memory are bound by the cores: a reader per core at once, nothing tried;
// reads from the device again start a search.
TEST(ReaderControlTest, ReadsFromMemoryTakeAReaderPerCore) {
  struct Case {
    std::string name;
    int start;
    std::vector<Phase> phases;
    int low, high;  // counts in use in the second half of the last phase
  };
  const Case kCases[] = {
      {"in memory from 1", 1, {{InMemory, 5000, true}}, kCores, kCores},
      {"in memory from 16", 16, {{InMemory, 5000, true}}, kCores, kCores},
      {"from the disk, then in memory",
       1,
       {{GrowsToEight, 5000}, {InMemory, 5000, true}},
       kCores,
       kCores},
      {"in memory, then from the disk", 1, {{InMemory, 5000, true}, {GrowsToEight, 20000}}, 7, 10},
  };
  for (const Case& c : kCases) {
    const Trace trace = Simulate(c.start, c.phases);
    EXPECT_GE(trace.lowest, c.low) << c.name;
    EXPECT_LE(trace.highest, c.high) << c.name;
  }
}

// A run of tiny files reads little per window: the window waits for its bytes, up to its
// longest, and a count is kept until then.
TEST(ReaderControlTest, WindowWaitsForItsBytesUpToItsLongest) {
  ReaderControl control(2, kCores);
  control.Step(0, 0);
  EXPECT_EQ(control.Step(kControlWindowMs, 1000), 2);     // too few bytes: no decision
  EXPECT_EQ(control.Step(kControlWindowMaxMs, 2000), 4);  // first window closes: a probe
}

}  // namespace
}  // namespace content
