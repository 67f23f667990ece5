#pragma once
// The progress line of a scan on the terminal: the phase texts and the figures the
// desktop program's Run page shows (percent, bytes done of total, speed, time spent and
// left, files, errors, current file), redrawn in place on a terminal or written one per
// line elsewhere.

#include <cstdint>
#include <cstdio>
#include <string>

#include "scan/progress_figures.h"

namespace cli {

// What one notification shows.
struct ProgressShown {
  int16_t code = 0;
  scan::ProgressInputs in;
  int32_t files_done = 0;
  int32_t error_count = 0;
  std::string current_file;
};

// The whole line for a notification, without line end. For progress and the end:
// "42.50 % | 1 234 bytes of 5 678 bytes | 1 000 kB/s | 2 s 0 ms, left 6 s 0 ms |
// 12 files | 0 errors | name"; for the phases: the elapsed time and the phase text.
std::string FormatProgress(const ProgressShown& shown);

// Draws lines on a stream. On a terminal each line replaces the previous one and is cut
// to `columns`; elsewhere every line is written on its own.
class ProgressLine {
 public:
  ProgressLine(std::FILE* stream, bool terminal, int columns)
      : stream_(stream), terminal_(terminal), columns_(columns) {}

  void Show(const ProgressShown& shown);
  // Ends a line left open on a terminal.
  void Finish();

 private:
  std::FILE* stream_;
  bool terminal_;
  int columns_;
  bool open_ = false;
};

}  // namespace cli
