#pragma once
// The texts a run is set up from, which the window takes from the Settings page to run
// control: neither page includes the other.

#include <cstdint>
#include <string>

// The texts and choices of the Settings page a run is set up from, as entered.
struct RunFields {
  std::string search_path;
  std::string job_name;
  std::string tree_list;
  std::string id_list;
  uint8_t options = 0;
  std::string dir_params;
  std::string file_params;
  std::string interval;
  std::string expand;
  std::string buffer_percent;
  std::string buffer_max;
  std::string min_blocks;
  std::string threads;
  std::string volume_list_folder;
  std::string backup_folder;
  // The Backups folder resolved against the base path, where Create backs lists up.
  std::string backup_target;
  std::string serial;
  std::string label;
};
