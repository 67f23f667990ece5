// Writes two id lists of one made-up tree for the compare benchmark: OLD, and NEW as a
// later scan would see the tree after a few percent of its files changed in every way
// compare tells apart. The lines come from the scan's own formatter.
//
// Usage: list_pair_tool OLD NEW [FILES]   (default 1000000 files, 1000 per directory)
//
// Of every 100 files: 2 touched, 2 changed, 2 corrupted, 2 unreadable, 2 moved (to a
// directory of their own), 2 missing; and 2 new files come per 100. Prints the count it
// meant for each class.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "content/content_id.h"
#include "lists/list_format.h"
#include "support/find_data.h"

namespace {

constexpr int kFilesPerDir = 1000;
constexpr uint64_t kSomeFileTime = 132327956960000000ULL;  // 2020-05-01
constexpr uint64_t kOneHour = 36000000000ULL;
constexpr char kRoot[] = "/media/u/USB/Photos/";

enum Kind { kSame, kTouched, kChanged, kCorrupted, kUnreadable, kMoved, kMissing, kKinds };
constexpr const char* kKindNames[] = {"unchanged", "touched", "changed",
                                      "corrupted", "unreadable", "moved", "missing"};

Kind KindOf(int index) {
  const int slot = index % 100;
  return slot < 2 * (kKinds - 1) ? static_cast<Kind>(slot / 2 + 1) : kSame;
}

struct File {
  std::string dir;
  std::string name;
  support::FindData data;
  uint32_t id;
  uint8_t code;
};

// One list: header, the files directory by directory with their trailers, totals.
class ListText {
 public:
  explicit ListText(const lists::ListOptions& options) : writer_(options) {}

  void Write(const std::vector<File>& files, const std::string& path) {
    writer_.FormatHeader(lists::RunMode::kCreate, 305441741, "USB", platform::NowLocal(), kRoot);
    std::string header = writer_.line();
    header.replace(writer_.end_stamp_offset(), lists::kEndStampWidth,
                   lists::EndStamp(platform::NowLocal(), lists::RunState::kFinished, true));
    text_ = header;
    uint64_t bytes = 0;
    uint64_t dir_bytes = 0;
    uint64_t dir_files = 0;
    for (size_t i = 0; i < files.size(); ++i) {
      const File& file = files[i];
      if (i == 0 || files[i - 1].dir != file.dir) {
        writer_.SetDirectory(file.dir);
        dir_bytes = 0;
        dir_files = 0;
      }
      writer_.FormatFileLine(file.code, file.id, file.data, file.name);
      text_ += writer_.line();
      dir_bytes += file.data.size;
      bytes += file.data.size;
      ++dir_files;
      if (i + 1 == files.size() || files[i + 1].dir != file.dir) {
        writer_.FormatDirectoryLine(file.dir, 0, dir_bytes, dir_files);
        text_ += writer_.line();
        text_ += lists::kListLineEnd;
      }
    }
    writer_.FormatTotalsLine(0, bytes, files.size(), kRoot);
    text_ += writer_.line();
    if (!platform::WriteWholeFile(path, text_)) {
      std::fprintf(stderr, "list_pair_tool: cannot write %s\n", path.c_str());
      std::exit(2);
    }
  }

 private:
  lists::IdListWriter writer_;
  std::string text_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: list_pair_tool OLD NEW [FILES]\n");
    return 2;
  }
  const int count = argc > 3 ? std::atoi(argv[3]) : 1000000;
  std::mt19937_64 random(1);
  std::vector<File> old_files;
  std::vector<File> new_files;
  std::vector<File> moved;
  uint64_t meant[kKinds + 1] = {};
  for (int i = 0; i < count; ++i) {
    File file;
    file.dir = std::string(kRoot) + "d" + std::to_string(10000 + i / kFilesPerDir) + "/";
    file.name = "IMG_" + std::to_string(1000000 + i) + ".JPG";
    file.data.attributes = 32;
    file.data.size = 1000 + random() % 10000000;
    file.data.last_write_time = kSomeFileTime + (random() % 100000) * 10000000ULL;
    file.data.creation_time = file.data.last_write_time;
    file.id = static_cast<uint32_t>(random());
    file.code = content::kChkOk;
    old_files.push_back(file);
    const Kind kind = KindOf(i);
    ++meant[kind];
    switch (kind) {
      case kTouched:
        file.data.last_write_time += kOneHour;
        break;
      case kChanged:
        file.data.last_write_time += kOneHour;
        file.data.size += 1;
        file.id += 1;
        break;
      case kCorrupted:
        file.id ^= 0x10000;
        break;
      case kUnreadable:
        file.code = content::kChkReadError;
        break;
      case kMoved:
        file.dir = std::string(kRoot) + "moved/" + std::to_string(i % 10) + "/";
        moved.push_back(file);
        continue;
      case kMissing:
        continue;
      default:
        break;
    }
    new_files.push_back(file);
    if (i % 100 == 50 || i % 100 == 51) {
      // A new file beside it.
      file.name = "NEW_" + std::to_string(1000000 + i) + ".JPG";
      file.id = static_cast<uint32_t>(random());
      file.data.size = 1000 + random() % 10000000;
      file.code = content::kChkOk;
      new_files.push_back(file);
      ++meant[kKinds];
    }
  }
  // The moved files sit in their own directories, after the others.
  std::stable_sort(moved.begin(), moved.end(),
                   [](const File& a, const File& b) { return a.dir < b.dir; });
  new_files.insert(new_files.end(), moved.begin(), moved.end());

  lists::ListOptions options;
  options.min_blocks = lists::kDefaultMinBlocks;
  options.root_column = 14;
  ListText(options).Write(old_files, argv[1]);
  ListText(options).Write(new_files, argv[2]);
  for (int k = 0; k < kKinds; ++k) {
    std::printf("%s %llu\n", kKindNames[k], static_cast<unsigned long long>(meant[k]));
  }
  std::printf("new %llu\n", static_cast<unsigned long long>(meant[kKinds]));
  return 0;
}
