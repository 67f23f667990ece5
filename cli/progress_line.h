#pragma once
// The progress line of a scan on the terminal: the phase texts and the figures of the
// desktop program's Run page (percent, bytes done of total, speed, time spent and left,
// files, errors, current file), redrawn in place on a terminal or written one per line
// elsewhere.

#include <cstdint>
#include <cstdio>
#include <string>

namespace cli {

// What one notification shows.
struct ProgressFigures {
  int16_t code = 0;
  uint32_t elapsed_ms = 0;  // since the job started
  int64_t total_bytes = 0;
  int64_t bytes_done = 0;
  int32_t files_done = 0;
  int32_t error_count = 0;
  std::string current_file;
};

// The phase text of a code: "Initiating new run", " Searching directories ( might take
// long with big volume )", " Sorting directories ...", " Scanning directories",
// " Finished"; empty for progress.
std::string PhaseText(int16_t code);

// "4 096 bytes".
std::string BytesText(int64_t bytes);
// Overall speed in kB/s (unrounded); 0 when no time has passed.
double SpeedKbs(int64_t bytes_done, uint32_t elapsed_ms);
// "42.50 %"; empty when the total is 0.
std::string PercentText(int64_t bytes_done, int64_t total_bytes);
// Milliseconds left at speed `kbs`; 0 when the speed is 0.
int64_t TimeLeftMs(int64_t total_bytes, int64_t bytes_done, double kbs);

// The whole line for a notification, without line end. For progress and the end:
// "42.50 % | 1 234 bytes of 5 678 bytes | 1 000 kB/s | 2 s 0 ms, left 6 s 0 ms |
// 12 files | 0 errors | name"; for the phases: the elapsed time and the phase text.
std::string FormatProgress(const ProgressFigures& figures);

// Draws lines on a stream. On a terminal each line replaces the previous one and is cut
// to `columns`; elsewhere every line is written on its own.
class ProgressLine {
 public:
  ProgressLine(std::FILE* stream, bool terminal, int columns)
      : stream_(stream), terminal_(terminal), columns_(columns) {}

  void Show(const ProgressFigures& figures);
  // Ends a line left open on a terminal.
  void Finish();

 private:
  std::FILE* stream_;
  bool terminal_;
  int columns_;
  bool open_ = false;
};

}  // namespace cli
