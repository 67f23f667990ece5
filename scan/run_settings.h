#pragma once
// Every setting of one run with its one default and its one range, for both front ends:
// the desktop program fills it from its Settings page, checker-cli from its options, and
// the scan job takes it whole.

#include <cstdint>
#include <limits>
#include <string>

#include "content/content_id.h"

namespace scan {

// Modes.
constexpr uint8_t kModeCreate = 1;
constexpr uint8_t kModeContinue = 2;
constexpr uint8_t kModeUpdate = 3;

// Option bits, as the settings file keeps them.
constexpr uint8_t kOptNoBackUp = 1;  // carried for the front end, not read by the scan
constexpr uint8_t kOptHexFile = 2;
constexpr uint8_t kOptHexPath = 4;
constexpr uint8_t kOptNoLocks = 8;

// The most reader threads a run takes.
constexpr int32_t kMaxReaders = 64;

inline constexpr char kDefaultDirParams[] =
    "/EP recycler|recycled|temp|tmp|system volume information|#recycled";
inline constexpr char kDefaultFileParams[] = "/EF thumbs.db|desktop.ini|*.tmp";

inline constexpr int16_t kDefaultInterval = 1000;
inline constexpr int32_t kDefaultBufferPercent = 30;
inline constexpr int32_t kDefaultBufferMax = 512000;

// The inclusive range a number setting takes.
struct SettingRange {
  int64_t low;
  int64_t high;
  bool Holds(int64_t value) const { return value >= low && value <= high; }
};

inline constexpr SettingRange kMinBlocksRange{0, 99};
inline constexpr SettingRange kExpandRange{0, std::numeric_limits<int32_t>::max()};
inline constexpr SettingRange kBufferPercentRange{0, 100};
// -1: no maximum beside the share of memory.
inline constexpr SettingRange kBufferMaxRange{-1, std::numeric_limits<int32_t>::max()};
// Milliseconds between progress notifications: 0 sends none, 1 one per file.
inline constexpr SettingRange kIntervalRange{std::numeric_limits<int16_t>::min(),
                                             std::numeric_limits<int16_t>::max()};
// 0 chooses by the disk and the cores.
inline constexpr SettingRange kThreadsRange{0, kMaxReaders};
inline constexpr SettingRange kSerialRange{0, std::numeric_limits<uint32_t>::max()};

struct RunSettings {
  uint8_t mode = kModeCreate;
  std::string search_path;  // absolute; may carry walk parameters after a blank
  std::string job_name;     // empty: named after the window
  std::string tree_list;    // full paths of the two lists
  std::string id_list;
  std::string volume_list_folder;  // carried for the window
  std::string backup_folder;
  uint8_t options = 0;  // kOpt* bits
  bool cross_mounts = false;
  std::string dir_params = kDefaultDirParams;
  std::string file_params = kDefaultFileParams;
  int16_t interval = kDefaultInterval;
  int32_t expand = 100000;
  int32_t buffer_percent = kDefaultBufferPercent;
  int32_t buffer_max = kDefaultBufferMax;
  uint16_t min_blocks = 4;
  int32_t threads = 0;
  // Scans leave the page cache as they found it; verify reads the device.
  content::CacheUse cache = content::CacheUse::kDropBehind;
  // Files whose data is not on the disk are read (fetched) too, not named as errors.
  bool read_placeholders = false;
  std::string volume_label;
  uint32_t volume_serial = 0;
};

// The message for a reader count outside kThreadsRange, with the count as the user gave
// it: "Readers must be 0 (chosen by the disk) to 64: 65".
std::string ReadersRangeMessage(const std::string& given);

// The message for any other number setting outside its range, named as the front end
// names it: "Interval must be -32768 to 32767: 40000".
std::string RangeMessage(const std::string& name, SettingRange range, const std::string& given);

}  // namespace scan
