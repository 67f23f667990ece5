#include "cli/progress_line.h"

#include "cli/terminal_text.h"
#include "scan/scan_job.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace cli {

std::string FormatProgress(const ProgressShown& shown) {
  const std::string elapsed = support::MsecTextSx(shown.in.elapsed_ms);
  if (shown.code != scan::kNotifyProgress && shown.code != scan::kNotifyEnd) {
    return elapsed + " | " + support::Trim(scan::PhaseText(shown.code));
  }
  const scan::ProgressFigures figures = scan::ProgressFigures::Compute(shown.in);
  const int64_t left = shown.code == scan::kNotifyEnd ? 0 : figures.left_ms;
  std::string line;
  if (!figures.percent_text.empty()) line += figures.percent_text + " | ";
  line += scan::BytesText(shown.in.bytes_done) + " of " + scan::BytesText(shown.in.total_bytes);
  line += " | " + figures.speed_text;
  line += " | " + elapsed + ", left " + support::MsecTextSx(left);
  line += " | " + scan::CountText(shown.files_done) + " files";
  line += " | " + scan::CountText(shown.error_count) + " errors";
  if (shown.code == scan::kNotifyEnd) {
    line += " |" + scan::PhaseText(scan::kNotifyEnd);
  } else if (!shown.current_file.empty()) {
    line += " | " + TerminalText(shown.current_file);
  }
  return line;
}

void ProgressLine::Show(const ProgressShown& shown) {
  std::string line = FormatProgress(shown);
  if (!terminal_) {
    std::fprintf(stream_, "%s\n", line.c_str());
    std::fflush(stream_);
    return;
  }
  // Leave the last column free: a line that fills it wraps on some terminals.
  if (columns_ > 1) line.resize(support::CharOffset(line, static_cast<size_t>(columns_ - 1)));
  std::fprintf(stream_, "\r\x1b[K%s", line.c_str());
  std::fflush(stream_);
  open_ = true;
}

void ProgressLine::Finish() {
  if (!open_) return;
  std::fputc('\n', stream_);
  std::fflush(stream_);
  open_ = false;
}

}  // namespace cli
