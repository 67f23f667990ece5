#pragma once
// Scan jobs for tests: the settings are given one by one, then the job is built. The job
// itself takes them whole and keeps them read-only.

#include <memory>
#include <string>
#include <utility>

#include "scan/scan_job.h"

namespace testing_support {

class JobBuilder {
 public:
  JobBuilder(scan::ScanWindow* window, scan::RunSettings settings)
      : window_(window), settings_(std::move(settings)) {}

  JobBuilder& mode(uint8_t mode) { return Set(&scan::RunSettings::mode, mode); }
  JobBuilder& search_path(const std::string& path) {
    return Set(&scan::RunSettings::search_path, path);
  }
  JobBuilder& id_list(const std::string& file) { return Set(&scan::RunSettings::id_list, file); }
  JobBuilder& tree_list(const std::string& file) {
    return Set(&scan::RunSettings::tree_list, file);
  }
  JobBuilder& options(uint8_t bits) { return Set(&scan::RunSettings::options, bits); }
  JobBuilder& min_blocks(uint16_t blocks) { return Set(&scan::RunSettings::min_blocks, blocks); }
  JobBuilder& interval(int16_t ms) { return Set(&scan::RunSettings::interval, ms); }
  JobBuilder& expand(int32_t bytes) { return Set(&scan::RunSettings::expand, bytes); }
  JobBuilder& buffer_percent(int32_t percent) {
    return Set(&scan::RunSettings::buffer_percent, percent);
  }
  JobBuilder& buffer_max(int32_t bytes) { return Set(&scan::RunSettings::buffer_max, bytes); }
  JobBuilder& threads(int32_t threads) { return Set(&scan::RunSettings::threads, threads); }

  std::unique_ptr<TDskFil> Build() const { return std::make_unique<TDskFil>(window_, settings_); }
  // Where a job is wanted, the builder gives one.
  operator std::unique_ptr<TDskFil>() && { return Build(); }  // NOLINT(google-explicit-constructor)

 private:
  template <typename T, typename V>
  JobBuilder& Set(T scan::RunSettings::*field, V value) {
    settings_.*field = static_cast<T>(value);
    return *this;
  }

  scan::ScanWindow* window_;
  scan::RunSettings settings_;
};

// A job configured as the desktop program configures it by default, with its lists in
// `lists` (ending with "/"): run.t00 and run.v00.
inline JobBuilder DesktopJob(uint8_t mode, scan::ScanWindow* window, const std::string& search_path,
                             const std::string& lists) {
  scan::RunSettings settings;  // the defaults both front ends start from
  settings.mode = mode;
  settings.search_path = search_path;
  settings.tree_list = lists + "run.t00";
  settings.id_list = lists + "run.v00";
  settings.volume_label = "DATA";
  settings.volume_serial = 305441741;
  return JobBuilder(window, std::move(settings));
}

}  // namespace testing_support
