// Opens a large id list in a TextEditor (offscreen), sorts it and strips its blank
// lines, and reports each step's time and the peak resident memory against the file
// size. Run by hand: editor_bench [LINES] (default 1000000, about 160 MB).

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <random>
#include <string>

#include "editor/text_editor.h"

namespace {

// VmHWM from /proc/self/status, in bytes.
long long PeakResident() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return -1;
  char line[256];
  long long kb = -1;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::sscanf(line, "VmHWM: %lld kB", &kb) == 1) break;
  }
  std::fclose(f);
  return kb * 1024;
}

// Writes lines shaped like an id list's file lines (record id, id, size, times,
// attributes, a path; about 160 bytes, CR LF, in no order, a blank line now and then)
// straight to the file, so that making them leaves no mark on the peak. Returns the size.
long long WriteList(const std::string& path, long lines) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return -1;
  std::mt19937 random(7);
  const char* dirs[] = {"/data/photos/2020/holidays/", "/srv/u/Documents/\xC3\x84rger/",
                        "/srv/backup/mail/archive/", "/media/USB/Music/Band - Album/"};
  long long size = 0;
  char line[512];
  for (long i = 0; i < lines; ++i) {
    int n = 0;
    if (i % 1000 == 999) {
      n = std::snprintf(line, sizeof line, "   \r\n");
    } else {
      const unsigned id = random();
      n = std::snprintf(line, sizeof line,
                        "F %05u %05u %14u 2021-03-04 10:11:12 2021-03-04 10:11:12 32  4+1 | "
                        "%sname_%08x_%07ld.jpg%*s/p 13+0\r\n",
                        id / 100000 % 100000, id % 100000,
                        static_cast<unsigned>(random() % 100000000), dirs[random() % 4],
                        static_cast<unsigned>(random()), i, static_cast<int>(random() % 20), "");
    }
    if (std::fwrite(line, 1, static_cast<size_t>(n), f) != static_cast<size_t>(n)) {
      std::fclose(f);
      return -1;
    }
    size += n;
  }
  return std::fclose(f) == 0 ? size : -1;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/bench.v00";
  const long long size = WriteList(path, lines);
  if (size <= 0) return 1;
  const long long before = PeakResident();
  std::printf("list: %ld lines, %.1f MB; peak before opening %.1f MB\n", lines, size / 1e6,
              before / 1e6);

  TextEditor editor;
  editor.Configure({true, true});
  editor.resize(1000, 700);
  editor.show();
  QElapsedTimer timer;
  timer.start();
  if (!editor.LoadFile(path)) return 1;
  QApplication::processEvents();
  const double open_s = timer.elapsed() / 1000.0;
  const long long after_open = PeakResident();
  std::printf("open:  %6.2f s, peak %.1f MB = %.2f x the file (%zu lines)\n", open_s,
              after_open / 1e6, static_cast<double>(after_open) / size, editor.LineCount());

  timer.restart();
  editor.SortLines();
  QApplication::processEvents();
  const double sort_s = timer.elapsed() / 1000.0;
  std::printf("sort:  %6.2f s, peak %.1f MB = %.2f x the file\n", sort_s, PeakResident() / 1e6,
              static_cast<double>(PeakResident()) / size);

  // Sort left no blank line; put them back for Strip to find.
  editor.LoadFile(path);
  timer.restart();
  const size_t removed = editor.StripBlankLines();
  QApplication::processEvents();
  const double strip_s = timer.elapsed() / 1000.0;
  std::printf("strip: %6.2f s (%zu lines removed), peak %.1f MB = %.2f x the file\n", strip_s,
              removed, PeakResident() / 1e6, static_cast<double>(PeakResident()) / size);
  return 0;
}
