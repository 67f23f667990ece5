#pragma once
// A scan job configured as the desktop program configures it by default, with its lists
// in `lists` (ending with "/"): run.t00 and run.v00.

#include <memory>
#include <string>

#include "scan/scan_job.h"

namespace testing_support {

inline std::unique_ptr<TDskFil> DesktopJob(uint8_t mode, ScanWindow* window,
                                           const std::string& search_path,
                                           const std::string& lists) {
  scan::RunSettings settings;  // the defaults both front ends start from
  settings.mode = mode;
  settings.search_path = search_path;
  settings.tree_list = lists + "run.t00";
  settings.id_list = lists + "run.v00";
  settings.volume_label = "DATA";
  settings.volume_serial = 305441741;
  return std::make_unique<TDskFil>(window, std::move(settings));
}

}  // namespace testing_support
