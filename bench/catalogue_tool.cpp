// Writes a made-up catalogue for the catalogue benchmark: LISTS id lists of FILES files
// in all, with the scan's own line formatter, as if LISTS disks had been scanned. Paths
// look like a person's disks (photos, music, documents, projects, videos), and a third
// of the files lie on two volumes: each disk holds a backup of a sixth of the files of
// the disk before it.
//
// Usage: catalogue_tool DIR [LISTS [FILES [ONLY [VARIANT]]]]
//   (default 50 lists, 10000000 files). With ONLY, writes that list alone (0-based),
//   its files' write times and some ids changed by VARIANT, as a later scan of a disk
//   that changed.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "content/content_id.h"
#include "fs/volume_info.h"
#include "lists/list_format.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "support/find_data.h"

namespace {

constexpr uint64_t kFirstFileTime = 127790000000000000ULL;  // 2005
constexpr uint64_t kTimeSpan = 6300000000000000ULL;         // 20 years
constexpr uint64_t kSecond = 10000000ULL;

const char* const kWords[] = {
    "holiday", "italy",    "beach",   "garden",  "birthday", "wedding", "mountain", "river",
    "report",  "invoice",  "budget",  "letter",  "summary",  "draft",   "final",    "notes",
    "project", "client",   "server",  "parser",  "window",   "network", "storage",  "backup",
    "family",  "school",   "concert", "autumn",  "winter",   "spring",  "summer",   "island",
    "kitchen", "recipe",   "travel",  "museum",  "station",  "harbour", "village",  "forest",
    "meeting", "contract", "tax",     "scan",    "photo",    "clip",    "track",    "demo",
    "alpha",   "beta",     "release", "archive", "manual",   "lecture", "thesis",   "paper",
    "cat",     "dog",      "horse",   "bridge",  "castle",   "lake",    "snow",     "night",
};
constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

struct Entry {
  std::string dir;  // below the volume root, ending with "/"
  std::string name;
  uint64_t size = 0;
  uint64_t time = 0;
  uint32_t id = 0;
};

std::string Word(std::mt19937_64& random) { return kWords[random() % kWordCount]; }

std::string Capital(std::string word) {
  word[0] = static_cast<char>(word[0] - 'a' + 'A');
  return word;
}

// One directory of files of one kind.
void AddDirectory(std::mt19937_64& random, size_t count, std::vector<Entry>* out) {
  const int kind = static_cast<int>(random() % 5);
  const int year = 2005 + static_cast<int>(random() % 20);
  std::string dir;
  switch (kind) {
    case 0:
      dir = "Photos/" + std::to_string(year) + "/" + Capital(Word(random)) + "_" +
            Capital(Word(random)) + "/";
      break;
    case 1:
      dir = "Music/" + Capital(Word(random)) + " " + Capital(Word(random)) + "/" +
            Capital(Word(random)) + " (" + std::to_string(year) + ")/";
      break;
    case 2:
      dir = "Documents/" + Capital(Word(random)) + "/" + Word(random) + "-" + Word(random) + "/";
      break;
    case 3:
      dir = "Projects/" + Word(random) + Word(random) + "/src/" + Word(random) + "/";
      break;
    default:
      dir = "Videos/" + std::to_string(year) + "/";
      break;
  }
  static const char* const kExt[5][3] = {{".JPG", ".jpg", ".CR2"},
                                         {".mp3", ".flac", ".m4a"},
                                         {".pdf", ".docx", ".odt"},
                                         {".cpp", ".h", ".py"},
                                         {".mp4", ".mkv", ".MOV"}};
  for (size_t i = 0; i < count; ++i) {
    Entry entry;
    entry.dir = dir;
    const char* ext = kExt[kind][random() % 3];
    switch (kind) {
      case 0:
        entry.name = "IMG_" + std::to_string(1000 + random() % 9000) + ext;
        break;
      case 1:
        entry.name = (i < 9 ? "0" : "") + std::to_string(i + 1) + " - " + Capital(Word(random)) +
                     " " + Word(random) + ext;
        break;
      default:
        entry.name =
            Word(random) + "_" + Word(random) + "_" + std::to_string(random() % 1000) + ext;
        break;
    }
    entry.name.insert(entry.name.size() - std::string(ext).size(), "_" + std::to_string(i));
    // Sizes from a few bytes to gigabytes, most of them small.
    entry.size = 16 + (random() % 1000) * (random() % 1000) * (1 + random() % 8);
    entry.time = kFirstFileTime + (random() % (kTimeSpan / kSecond)) * kSecond;
    entry.id = static_cast<uint32_t>(random());
    out->push_back(std::move(entry));
  }
}

// The own files of a volume, the first `originals` of which another disk backs up.
std::vector<Entry> OwnFiles(int volume, size_t count) {
  std::mt19937_64 random(static_cast<uint64_t>(volume) * 7919 + 1);
  std::vector<Entry> files;
  while (files.size() < count) {
    AddDirectory(random, std::min<size_t>(count - files.size(), 5 + random() % 200), &files);
  }
  return files;
}

std::string Label(int volume) {
  char text[16];
  std::snprintf(text, sizeof(text), "Disk%02d", volume);
  return text;
}

void WriteList(const std::string& path, int volume, const std::vector<Entry>& files) {
  const std::string root = "/media/user/" + Label(volume) + "/";
  scan::ListOptions options;
  options.min_blocks = scan::kDefaultMinBlocks;
  options.root_column = fs::RootColumnFor(root, root);
  scan::IdListWriter writer(options);
  const platform::DateTime now = platform::NowLocal();
  writer.FormatHeader(scan::RunMode::kCreate, 0x10000u + static_cast<uint32_t>(volume),
                      Label(volume), now, root);
  std::string text = writer.line();
  text.replace(writer.end_stamp_offset(), scan::kEndStampWidth,
               scan::EndStamp(now, scan::RunState::kFinished, false));
  uint64_t bytes = 0;
  uint64_t dir_bytes = 0;
  uint64_t dir_files = 0;
  support::FindData data;
  data.attributes = 32;
  for (size_t i = 0; i < files.size(); ++i) {
    const Entry& file = files[i];
    const std::string dir = root + file.dir;
    if (i == 0 || files[i - 1].dir != file.dir) writer.SetDirectory(dir);
    data.size = file.size;
    data.last_write_time = file.time;
    data.creation_time = file.time;
    writer.FormatFileLine(kChkOk, file.id, data, file.name);
    text += writer.line();
    dir_bytes += file.size;
    bytes += file.size;
    ++dir_files;
    if (i + 1 == files.size() || files[i + 1].dir != file.dir) {
      writer.FormatDirectoryLine(dir, 0, dir_bytes, dir_files);
      text += writer.line();
      text += scan::kListLineEnd;
      dir_bytes = 0;
      dir_files = 0;
    }
  }
  writer.FormatTotalsLine(0, bytes, files.size(), root);
  text += writer.line();
  if (!platform::WriteWholeFile(path, text)) {
    std::fprintf(stderr, "catalogue_tool: cannot write %s\n", path.c_str());
    std::exit(2);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: catalogue_tool DIR [LISTS [FILES [ONLY [VARIANT]]]]\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  const int lists = argc > 2 ? std::atoi(argv[2]) : 50;
  const size_t total = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 10000000;
  const int only = argc > 4 ? std::atoi(argv[4]) : -1;
  const uint32_t variant = argc > 5 ? static_cast<uint32_t>(std::atoi(argv[5])) : 0;
  const size_t per_list = total / static_cast<size_t>(lists);
  const size_t backed_up = per_list / 6;
  const size_t own = per_list - backed_up;
  for (int v = 0; v < lists; ++v) {
    if (only >= 0 && v != only) continue;
    std::vector<Entry> files = OwnFiles(v, own);
    const int before = (v + lists - 1) % lists;
    std::vector<Entry> backup = OwnFiles(before, own);
    backup.resize(backed_up);
    for (Entry& entry : backup) {
      entry.dir = "Backup/" + Label(before) + "/" + entry.dir;
      files.push_back(std::move(entry));
    }
    if (variant != 0) {
      // A later scan: every tenth file rewritten.
      for (size_t i = 0; i < files.size(); i += 10) {
        files[i].time += variant * kSecond;
        files[i].id ^= variant;
      }
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const Entry& a, const Entry& b) { return a.dir < b.dir; });
    WriteList(dir + Label(v) + "~" + std::to_string(0x10000 + v) + ".v00", v, files);
    std::printf("%s: %zu files\n", Label(v).c_str(), files.size());
  }
  return 0;
}
