#pragma once
// What a run's progress shows, for both front ends: speeds, percent and time left from
// the job's counters, with their texts, and the phase text of a notification. No widgets
// and no terminal, so it is tested without a scan.

#include <cstdint>
#include <string>

namespace scan {

class TDskFil;

struct ProgressInputs {
  uint32_t elapsed_ms = 0;      // since the job started
  uint32_t dir_elapsed_ms = 0;  // since the current directory started
  int64_t total_bytes = 0;
  int64_t bytes_done = 0;
  int64_t dir_bytes_done = 0;
};

// The inputs a notification of `code` shows, read from the job inside the notification
// (the directory's time at progress and at the end).
ProgressInputs ProgressInputsOf(const TDskFil& job, int16_t code);

struct ProgressFigures {
  double speed = 0;        // kB/s over the whole run, unrounded
  double dir_speed = 0;    // kB/s in the current directory
  int64_t left_ms = 0;     // estimated time left
  std::string speed_text;  // "1 000 kB/s"
  std::string dir_speed_text;
  std::string percent_text;  // "42.50 %"; empty when nothing is to be done
  std::string left_text;     // "6 s 0 ms"
  int percent = 0;           // whole percent for a progress bar, 0-100
  double exact_percent = 0;  // what percent_text rounds, 0-100

  static ProgressFigures Compute(const ProgressInputs& in);
};

// "4 096 bytes" (no leading blanks).
std::string BytesText(int64_t bytes);
// "1 000 kB/s" of a speed rounded to a whole number.
std::string SpeedText(double speed);
// "1 234" for file counts, "12" for error counts.
std::string CountText(int64_t count);
std::string ErrorCountText(int64_t count);
// "42.50 %".
std::string PercentText(double percent);
// The phase text of a code: "Initiating new run", " Searching directories ( might take
// long with big volume )", " Sorting directories ...", " Scanning directories",
// " Finished"; empty for progress.
std::string PhaseText(int16_t code);

}  // namespace scan
