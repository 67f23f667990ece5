#pragma once
// The volume facts of an id list's last run header, which the list reader does not
// keep: label, serial number, start time, the error flag and the root column.

#include <cstdint>
#include <string>
#include <string_view>

namespace catalogue {

struct RunHeader {
  std::string label;  // trailing blanks removed
  uint32_t serial = 0;
  std::string start_time;  // "yyyy-mm-dd hh:nn:ss" as written
  bool errors = false;     // the end stamp's "E": the run counted errors
  // Column of the search path's volume root in the path section (fs::RootColumn); 0
  // when the header has no path section.
  int root_column = 0;
};

// Reads the last "A" line of `text` (a whole id list). False when the text holds none
// that has the fixed fields of a header.
bool ReadLastRunHeader(std::string_view text, RunHeader* header);

// The search path below its volume's root, from the root column: "/media/u/USB/Photos/"
// with 14 gives "Photos/". Empty when the column is unknown or past the path.
std::string PathBelowRoot(std::string_view search_path, int root_column);

}  // namespace catalogue
