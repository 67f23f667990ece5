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
  auto job = std::make_unique<TDskFil>(window, "", search_path);
  job->set_mode(mode);
  job->set_tree_list_file(lists + "run.t00");
  job->set_id_list_file(lists + "run.v00");
  job->set_dir_params("/EP recycler|recycled|temp|tmp|system volume information|#recycled");
  job->set_file_params("/EF thumbs.db|desktop.ini|*.tmp");
  job->set_interval(1000);
  job->set_expand(100000);
  job->set_buffer_percent(30);
  job->set_buffer_max(512000);
  job->set_volume_label("DATA");
  job->set_volume_serial(305441741);
  job->set_min_blocks(4);
  return job;
}

}  // namespace testing_support
