#include "cli/progress_line.h"

#include <fmt/format.h>

#include <cmath>

#include "cli/terminal_text.h"
#include "scan/number_mask.h"
#include "scan/scan_job.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace cli {

namespace {

constexpr std::string_view kCountMask = "### ### ### ### ##0";

std::string Grouped(int64_t value) {
  const bool negative = value < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : value;
  std::string text = support::Trim(scan::FormatMasked(magnitude, kCountMask));
  return negative ? "-" + text : text;
}

}  // namespace

std::string PhaseText(int16_t code) {
  switch (code) {
    case kNotifyStart:
      return "Initiating new run";
    case kNotifyGather:
      return " Searching directories ( might take long with big volume )";
    case kNotifySort:
      return " Sorting directories ( might take long with big volume )";
    case kNotifyScan:
      return " Scanning directories";
    case kNotifyEnd:
      return " Finished";
    default:
      return {};
  }
}

std::string BytesText(int64_t bytes) { return Grouped(bytes) + " bytes"; }

double SpeedKbs(int64_t bytes_done, uint32_t elapsed_ms) {
  if (elapsed_ms == 0) return 0;
  return static_cast<double>(bytes_done) / (1024.0 * elapsed_ms / 1000.0);
}

std::string PercentText(int64_t bytes_done, int64_t total_bytes) {
  if (total_bytes == 0) return {};
  return fmt::format("{:.2f} %",
                     100.0 * static_cast<double>(bytes_done) / static_cast<double>(total_bytes));
}

int64_t TimeLeftMs(int64_t total_bytes, int64_t bytes_done, double kbs) {
  if (kbs == 0) return 0;
  return std::llround(static_cast<double>(total_bytes - bytes_done) * 1000.0 / (kbs * 1024.0));
}

std::string FormatProgress(const ProgressFigures& figures) {
  const std::string elapsed = MsecTextSx(figures.elapsed_ms);
  if (figures.code != kNotifyProgress && figures.code != kNotifyEnd) {
    return elapsed + " | " + support::Trim(PhaseText(figures.code));
  }
  const double kbs = SpeedKbs(figures.bytes_done, figures.elapsed_ms);
  const int64_t left =
      figures.code == kNotifyEnd ? 0 : TimeLeftMs(figures.total_bytes, figures.bytes_done, kbs);
  std::string line;
  const std::string percent = PercentText(figures.bytes_done, figures.total_bytes);
  if (!percent.empty()) line += percent + " | ";
  line += BytesText(figures.bytes_done) + " of " + BytesText(figures.total_bytes);
  line += " | " + Grouped(std::llround(kbs)) + " kB/s";
  line += " | " + elapsed + ", left " + MsecTextSx(left);
  line += " | " + Grouped(figures.files_done) + " files";
  line += " | " + Grouped(figures.error_count) + " errors";
  if (figures.code == kNotifyEnd) {
    line += " |" + PhaseText(kNotifyEnd);
  } else if (!figures.current_file.empty()) {
    line += " | " + TerminalText(figures.current_file);
  }
  return line;
}

void ProgressLine::Show(const ProgressFigures& figures) {
  std::string line = FormatProgress(figures);
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
