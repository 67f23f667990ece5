#include "scan/progress_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/clock.h"
#include "lists/number_mask.h"
#include "scan/scan_job.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace scan {

namespace {

constexpr std::string_view kMaskLarge = "### ### ### ### ##0";
constexpr std::string_view kMaskErrors = "### ##0";
constexpr double kBytesPerKilobyte = 1024.0;
constexpr double kMsPerSecond = 1000.0;

std::string Masked(int64_t value, std::string_view mask) {
  if (value < 0) return "-" + Masked(-value, mask);
  return support::TrimLeft(lists::FormatMasked(static_cast<uint64_t>(value), mask));
}

double Speed(int64_t bytes, uint32_t ms) {
  if (ms == 0) return 0;
  return static_cast<double>(bytes) / (kBytesPerKilobyte * ms / kMsPerSecond);
}

}  // namespace

std::string BytesText(int64_t bytes) { return Masked(bytes, kMaskLarge) + " bytes"; }

std::string SpeedText(double speed) {
  return Masked(static_cast<int64_t>(std::llround(speed)), kMaskLarge) + " kB/s";
}

std::string CountText(int64_t count) { return Masked(count, kMaskLarge); }

std::string ErrorCountText(int64_t count) { return Masked(count, kMaskErrors); }

std::string PercentText(double percent) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f %%", percent);
  return text;
}

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

ProgressInputs ProgressInputsOf(const TDskFil& job, int16_t code) {
  ProgressInputs in;
  in.elapsed_ms = job.ElapsedMs();
  in.total_bytes = job.total_bytes();
  in.bytes_done = job.bytes_done();
  in.dir_bytes_done = job.dir_bytes_done();
  if (code == kNotifyProgress || code == kNotifyEnd) {
    in.dir_elapsed_ms = platform::TickCount() - static_cast<uint32_t>(job.GetSlot(kSlotDirectory));
  }
  return in;
}

ProgressFigures ProgressFigures::Compute(const ProgressInputs& in) {
  ProgressFigures f;
  f.speed = Speed(in.bytes_done, in.elapsed_ms);
  f.dir_speed = Speed(in.dir_bytes_done, in.dir_elapsed_ms);
  f.speed_text = SpeedText(f.speed);
  f.dir_speed_text = SpeedText(f.dir_speed);
  if (in.total_bytes != 0) {
    const double percent = 100.0 * static_cast<double>(in.bytes_done) / in.total_bytes;
    f.percent_text = PercentText(percent);
    f.exact_percent = std::clamp(percent, 0.0, 100.0);
    f.percent = static_cast<int>(f.exact_percent);
  }
  if (f.speed != 0) {
    f.left_ms = std::llround(static_cast<double>(in.total_bytes - in.bytes_done) * kMsPerSecond /
                             (f.speed * kBytesPerKilobyte));
  }
  f.left_text = support::MsecTextSx(f.left_ms);
  return f;
}

}  // namespace scan
