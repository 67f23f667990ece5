#include "scan/progress_figures.h"

#include <gtest/gtest.h>

#include <string>

#include "scan/scan_job.h"

namespace {

// 2,048,000 bytes in 2 s are 1,000 kB/s; the 6,144,000 bytes left take 6 s more.
TEST(ProgressFiguresTest, SpeedPercentAndTimeLeft) {
  scan::ProgressInputs in;
  in.elapsed_ms = 2000;
  in.bytes_done = 2048000;
  in.total_bytes = 8192000;
  scan::ProgressFigures f = scan::ProgressFigures::Compute(in);
  EXPECT_EQ(f.speed_text, "1 000 kB/s");
  EXPECT_EQ(f.left_text, "6 s 0 ms");
  EXPECT_EQ(f.percent_text, "25.00 %");
  EXPECT_EQ(f.percent, 25);

  // No time yet: no speed and nothing to estimate.
  in.elapsed_ms = 0;
  f = scan::ProgressFigures::Compute(in);
  EXPECT_EQ(f.speed_text, "0 kB/s");
  EXPECT_EQ(f.left_text, "0 ms");

  // Nothing to do: no percent at all.
  in.total_bytes = 0;
  EXPECT_EQ(scan::ProgressFigures::Compute(in).percent_text, "");
}

TEST(ProgressFiguresTest, TextsOfFiguresAndPhases) {
  EXPECT_EQ(scan::BytesText(4096), "4 096 bytes");
  EXPECT_EQ(scan::BytesText(0), "0 bytes");
  EXPECT_EQ(scan::BytesText(1234567890123), "1 234 567 890 123 bytes");
  EXPECT_EQ(scan::PercentText(42.5), "42.50 %");
  EXPECT_EQ(scan::PercentText(100), "100.00 %");
  EXPECT_EQ(scan::PhaseText(scan::kNotifyStart), "Initiating new run");
  EXPECT_EQ(scan::PhaseText(scan::kNotifyGather),
            " Searching directories ( might take long with big volume )");
  EXPECT_EQ(scan::PhaseText(scan::kNotifySort),
            " Sorting directories ( might take long with big volume )");
  EXPECT_EQ(scan::PhaseText(scan::kNotifyScan), " Scanning directories");
  EXPECT_EQ(scan::PhaseText(scan::kNotifyEnd), " Finished");
  EXPECT_EQ(scan::PhaseText(scan::kNotifyProgress), "");
}

}  // namespace
