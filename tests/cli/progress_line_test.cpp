#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "scan/scan_job.h"

namespace {

std::string ReadBack(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  int c;
  while ((c = std::fgetc(file)) != EOF) text += static_cast<char>(c);
  return text;
}

TEST(ProgressLineTest, WholeLines) {
  cli::ProgressShown figures;
  figures.code = scan::kNotifyProgress;
  figures.in.elapsed_ms = 2000;
  figures.in.total_bytes = 8192000;
  figures.in.bytes_done = 2048000;
  figures.files_done = 1234;
  figures.error_count = 2;
  figures.current_file = "IMG_0001.JPG";
  EXPECT_EQ(cli::FormatProgress(figures),
            "25.00 % | 2 048 000 bytes of 8 192 000 bytes | 1 000 kB/s | 2 s 0 ms, left 6 s 0 ms"
            " | 1 234 files | 2 errors | IMG_0001.JPG");

  figures.code = scan::kNotifyEnd;
  figures.in.total_bytes = 0;
  figures.in.elapsed_ms = 0;
  EXPECT_EQ(cli::FormatProgress(figures),
            "2 048 000 bytes of 0 bytes | 0 kB/s | 0 ms, left 0 ms | 1 234 files | 2 errors |"
            " Finished");

  figures.code = scan::kNotifyGather;
  figures.in.elapsed_ms = 61000;
  EXPECT_EQ(cli::FormatProgress(figures),
            "1 m 1 s 0 ms | Searching directories ( might take long with big volume )");

  figures.code = scan::kNotifyProgress;
  // An escape sequence in a name must not reach the terminal, nor a lone C1 byte; other
  // invalid UTF-8 stays.
  figures.current_file = "\x1b[2Jx\xc2\x9by\xff\x9bz";
  const std::string line = cli::FormatProgress(figures);
  EXPECT_EQ(line.substr(line.rfind(" | ")), " | ?[2Jx?y\xff?z");
}

// What the line writes for the start and the scan phase, then two Finish calls.
std::string TwoPhases(bool terminal, int columns) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return "no temp file";
  cli::ProgressLine line(file, terminal, columns);
  cli::ProgressShown figures;
  figures.code = scan::kNotifyStart;
  line.Show(figures);
  figures.code = scan::kNotifyScan;
  line.Show(figures);
  line.Finish();
  line.Finish();  // nothing left open the second time
  std::string text = ReadBack(file);
  std::fclose(file);
  return text;
}

TEST(ProgressLineTest, OneLinePerNotificationOffTheTerminal) {
  EXPECT_EQ(TwoPhases(false, 0), "0 ms | Initiating new run\n0 ms | Scanning directories\n");
}

TEST(ProgressLineTest, RedrawnInPlaceAndCutToTheTerminal) {
  EXPECT_EQ(TwoPhases(true, 12), "\r\x1b[K0 ms | Init\r\x1b[K0 ms | Scan\n");
}

}  // namespace
