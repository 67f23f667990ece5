// Writes a made-up catalogue for the catalogue benchmark: LISTS id lists of FILES files
// in all, with the scan's own line formatter, as if LISTS disks had been scanned. The
// names are meant to be harder than what the catalogue was built against: plain words
// of several languages and scripts in every case, camera and scanner series, dates,
// numbered series, a long tail of extensions, deep project trees, the same names on
// many disks. About a third of the files lie on two or more volumes: each disk holds
// backups of parts of one to three others, some at the same path (a mirror), some
// below a backup folder.
//
// Usage: catalogue_tool DIR [OPTIONS]
//   --lists N      lists (50)
//   --files N      files in all (10000000)
//   --seed S       everything drawn from this seed (1)
//   --only K       write list K (0-based) alone, as a later scan of that disk
//   --variant V    with --only: every tenth file written again (time and id changed)
//   --replace      with --only: the disk wiped and filled anew (no row in common)
//   --identical N  one more list of N files with one size and id (a folder of copies)
//   --paths FILE   also write every file's full path, one a line (plocate-build -p)
//   --queries FILE also write 100 mixed name queries drawn from the names, one a line

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unordered_set>
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

using Random = std::mt19937_64;

// Words people name files and folders with, in several languages and scripts.
const char* const kWords[] = {
    "holiday",  "beach",   "garden",      "birthday",   "wedding",     "mountain", "river",
    "report",   "invoice", "budget",      "letter",     "summary",     "draft",    "final",
    "notes",    "project", "client",      "server",     "family",      "school",   "concert",
    "autumn",   "winter",  "spring",      "summer",     "island",      "kitchen",  "recipe",
    "travel",   "museum",  "station",     "village",    "forest",      "meeting",  "contract",
    "tax",      "photo",   "track",       "demo",       "release",     "archive",  "manual",
    "lecture",  "thesis",  "paper",       "cat",        "dog",         "bridge",   "castle",
    "lake",     "snow",    "night",       "Urlaub",     "Geburtstag",  "Rechnung", "Übersicht",
    "Straße",   "Größe",   "Hochzeit",    "Ausflug",    "Weihnachten", "Schule",   "Garten",
    "été",      "château", "résumé",      "vacances",   "mariage",     "facture",  "fête",
    "Noël",     "año",     "niño",        "cumpleaños", "playa",       "montaña",  "canción",
    "отпуск",   "дача",    "Жук",         "море",       "свадьба",     "день",     "рождения",
    "документ", "θάλασσα", "Αθήνα",       "διακοπές",   "写真",        "旅行",     "家族",
    "東京",     "zdjęcie", "Łódź",        "wakacje",    "İstanbul",    "ılık",     "şarkı",
    "Ÿvonne",   "Ærø",     "smörgåsbord", "fjord",      "København",   "ĳssel",    "ǅemal",
};
constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

// Extensions by how common they are; a long tail of made-up ones follows.
const char* const kExtensions[] = {
    "jpg",  "JPG",  "png",  "pdf",  "txt",   "mp3", "docx",   "xlsx",   "h",   "cpp",  "py",
    "js",   "json", "html", "css",  "mp4",   "MOV", "CR2",    "NEF",    "tif", "flac", "m4a",
    "wav",  "zip",  "gz",   "tar",  "xml",   "md",  "log",    "ini",    "cfg", "odt",  "ods",
    "pptx", "doc",  "xls",  "java", "class", "go",  "rs",     "ts",     "tsx", "svg",  "gif",
    "bmp",  "heic", "webp", "avi",  "mkv",   "srt", "epub",   "mobi",   "iso", "exe",  "dll",
    "so",   "o",    "a",    "bak",  "tmp",   "db",  "sqlite", "csv",    "tsv", "yaml", "toml",
    "lock", "sh",   "bat",  "ps1",  "psd",   "ai",  "indd",   "dng",    "ARW", "RAF",  "ORF",
    "3gp",  "vob",  "ogg",  "opus", "aac",   "mid", "eml",    "msg",    "pst", "vcf",  "ics",
    "key",  "pem",  "crt",  "woff", "ttf",   "otf", "map",    "min.js",
};
constexpr size_t kExtensionCount = sizeof(kExtensions) / sizeof(kExtensions[0]);

struct Entry {
  std::string dir;  // below the volume root, ending with "/"
  std::string name;
  uint64_t size = 0;
  uint64_t time = 0;
  uint32_t id = 0;
};

size_t Below(Random& random, size_t n) { return static_cast<size_t>(random() % n); }

// An index in [0, n) drawn with a Zipf-like skew: index k about as often as 1/(k+1).
size_t Skewed(Random& random, size_t n) {
  const double u = std::uniform_real_distribution<double>(0.0, 1.0)(random);
  return std::min(n - 1, static_cast<size_t>(std::pow(static_cast<double>(n + 1), u) - 1.0));
}

// A word as people write it: lower, Capitalised or UPPER case (ASCII letters only; the
// other scripts keep their case).
std::string Word(Random& random) {
  std::string word = kWords[Skewed(random, kWordCount)];
  const size_t style = Below(random, 10);
  if (style >= 8) {
    for (char& c : word) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  } else if (style >= 4 && word[0] >= 'a' && word[0] <= 'z') {
    word[0] = static_cast<char>(word[0] - 32);
  }
  return word;
}

std::string Extension(Random& random) {
  if (Below(random, 50) == 0) {
    std::string made_up;
    for (size_t i = 0, n = 2 + Below(random, 4); i < n; ++i) {
      made_up += static_cast<char>('a' + Below(random, 26));
    }
    return made_up;
  }
  return kExtensions[Skewed(random, kExtensionCount)];
}

std::string Number(uint64_t value, int digits) {
  char text[32];
  std::snprintf(text, sizeof(text), "%0*llu", digits, static_cast<unsigned long long>(value));
  return text;
}

std::string Date(Random& random, const char* format) {
  char text[64];
  std::snprintf(text, sizeof(text), format, 2003 + static_cast<int>(Below(random, 23)),
                1 + static_cast<int>(Below(random, 12)), 1 + static_cast<int>(Below(random, 28)),
                static_cast<int>(Below(random, 24)), static_cast<int>(Below(random, 60)),
                static_cast<int>(Below(random, 60)));
  return text;
}

// One folder of files of one kind, at a depth of its own.
void AddFolder(Random& random, size_t count, std::vector<Entry>* out) {
  const size_t kind = Below(random, 8);
  std::string dir;
  static const char* const kTops[] = {"Photos",   "Bilder", "Music", "Documents", "Dokumente",
                                      "Projects", "Videos", "Scans", "Archiv",    "Downloads"};
  dir = std::string(kTops[kind == 5 ? 5 : Below(random, 10)]) + "/";
  for (size_t depth = 0, n = Below(random, 4) + (kind == 5 ? 6 : 0); depth < n; ++depth) {
    dir += Word(random) + (Below(random, 3) == 0 ? " " + Word(random) : "") + "/";
  }
  if (Below(random, 3) == 0) dir += Date(random, "%04d-%02d-%02d") + "/";
  const uint64_t series = Below(random, 9000);
  const std::string ext = Extension(random);
  for (size_t i = 0; i < count; ++i) {
    Entry entry;
    entry.dir = dir;
    switch (kind) {
      case 0:  // camera series
        entry.name = (Below(random, 2) != 0 ? "IMG_" : "DSC") + Number(series + i, 4) + "." +
                     (Below(random, 4) != 0 ? "JPG" : "CR2");
        break;
      case 1:  // phone pictures by date
        entry.name = Date(random, "IMG_%04d%02d%02d_%02d%02d%02d") + ".jpg";
        break;
      case 2:  // scanner series
        entry.name = "scan " + Number(i + 1, 4) + ".tif";
        break;
      case 3:  // numbered tracks
        entry.name = Number(i + 1, 2) + " - " + Word(random) + " " + Word(random) + ".mp3";
        break;
      case 4:  // dated documents
        entry.name = Date(random, "%04d-%02d-%02d %02d.%02d.%02d") + " " + Word(random) + "." +
                     Extension(random);
        break;
      case 5:  // source trees: the same few names in every project
        entry.name = i == 0   ? "index." + ext
                     : i == 1 ? std::string("README.md")
                              : Word(random) + "_" + Word(random) + "." + ext;
        break;
      default:  // words, versions and copies
        entry.name =
            Word(random) + (Below(random, 2) != 0 ? " " : "_") + Word(random) +
            (Below(random, 4) == 0 ? " (" + std::to_string(1 + Below(random, 3)) + ")" : "") +
            (Below(random, 5) == 0 ? "_v" + std::to_string(Below(random, 9)) : "") + "." +
            Extension(random);
        break;
    }
    // Sizes from a few bytes to gigabytes, most of them small.
    entry.size =
        1 + static_cast<uint64_t>(std::exp(std::normal_distribution<double>(10.0, 2.5)(random)));
    entry.time = kFirstFileTime + Below(random, kTimeSpan / kSecond) * kSecond;
    entry.id = static_cast<uint32_t>(random());
    out->push_back(std::move(entry));
  }
}

// The own files of a volume; other disks back up parts of them.
std::vector<Entry> OwnFiles(uint64_t seed, int volume, size_t count) {
  Random random(seed * 1000003u + static_cast<uint64_t>(volume) * 7919u + 1);
  std::vector<Entry> files;
  while (files.size() < count) {
    const size_t folder = 1 + Skewed(random, 2000);
    AddFolder(random, std::min(count - files.size(), folder), &files);
  }
  return files;
}

std::string Label(int volume) {
  char text[16];
  std::snprintf(text, sizeof(text), "Disk%02d", volume);
  return text;
}

std::string Root(int volume) { return "/media/user/" + Label(volume) + "/"; }

struct Writer {
  std::FILE* paths = nullptr;
};

void WriteList(const std::string& path, int volume, const std::vector<Entry>& files, Writer* out) {
  const std::string root = Root(volume);
  lists::ListOptions options;
  options.min_blocks = lists::kDefaultMinBlocks;
  options.root_column = fs::RootColumnFor(root, root);
  lists::IdListWriter writer(options);
  const platform::DateTime now = platform::NowLocal();
  writer.FormatHeader(lists::RunMode::kCreate, 0x10000u + static_cast<uint32_t>(volume),
                      Label(volume), now, root);
  std::string text = writer.line();
  text.replace(writer.end_stamp_offset(), lists::kEndStampWidth,
               lists::EndStamp(now, lists::RunState::kFinished, false));
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
    writer.FormatFileLine(content::kChkOk, file.id, data, file.name);
    text += writer.line();
    if (out->paths != nullptr) std::fprintf(out->paths, "%s%s\n", dir.c_str(), file.name.c_str());
    dir_bytes += file.size;
    bytes += file.size;
    ++dir_files;
    if (i + 1 == files.size() || files[i + 1].dir != file.dir) {
      writer.FormatDirectoryLine(dir, 0, dir_bytes, dir_files);
      text += writer.line();
      text += lists::kListLineEnd;
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

// The files of one disk: its own, then backups of parts of one to three others.
std::vector<Entry> DiskFiles(uint64_t seed, int volume, int lists, size_t per_list) {
  const size_t backed_up = per_list / 6;
  std::vector<Entry> files = OwnFiles(seed, volume, per_list - backed_up);
  Random random(seed * 31u + static_cast<uint64_t>(volume));
  const size_t sources = lists > 1 ? 1 + Below(random, std::min(3, lists - 1)) : 0;
  for (size_t s = 0; s < sources; ++s) {
    const int other =
        static_cast<int>((static_cast<size_t>(volume) + 1 + s) % static_cast<size_t>(lists));
    std::vector<Entry> backup = OwnFiles(seed, other, per_list - backed_up);
    const size_t share = backed_up / sources;
    const size_t start = Below(random, backup.size() - std::min(share, backup.size()) + 1);
    const bool mirror = Below(random, 3) == 0;
    const std::string under = "Backup/" + Label(other) + " " + Date(random, "%04d-%02d-%02d") + "/";
    for (size_t i = start; i < start + share && i < backup.size(); ++i) {
      if (!mirror) backup[i].dir.insert(0, under);
      files.push_back(std::move(backup[i]));
    }
  }
  return files;
}

// A disk holds one file of a path: a name drawn twice in one folder gets " (2)", " (3)",
// ... before its extension, as a file manager names a copy.
void MakePathsUnique(std::vector<Entry>* files) {
  std::unordered_set<std::string> seen;
  for (Entry& file : *files) {
    const std::string name = file.name;
    const size_t dot = name.rfind('.');
    for (int n = 2; !seen.insert(file.dir + file.name).second; ++n) {
      file.name = name;
      file.name.insert(dot == std::string::npos ? name.size() : dot,
                       " (" + std::to_string(n) + ")");
    }
  }
}

// 100 queries of every kind a user types: full names, words, parts, one or two
// characters, narrow and broad masks, and names found nowhere.
void WriteQueries(const std::string& path, uint64_t seed, const std::vector<Entry>& files) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) {
    std::fprintf(stderr, "catalogue_tool: cannot write %s\n", path.c_str());
    std::exit(2);
  }
  Random random(seed ^ 0x5eed);
  const auto name = [&] { return files[Below(random, files.size())].name; };
  for (int i = 0; i < 20; ++i) std::fprintf(out, "%s\n", name().c_str());
  for (int i = 0; i < 20; ++i) std::fprintf(out, "%s\n", kWords[Below(random, kWordCount)]);
  for (int i = 0; i < 20; ++i) {
    const std::string whole = name();
    const size_t length = 3 + Below(random, 4);
    const size_t at = whole.size() > length ? Below(random, whole.size() - length) : 0;
    std::string part = whole.substr(at, length);
    // Keep the part whole characters: back off a cut UTF-8 sequence.
    while (!part.empty() && (static_cast<unsigned char>(part.back()) & 0xC0) == 0x80)
      part.pop_back();
    while (!part.empty() && (static_cast<unsigned char>(part.back()) & 0xC0) == 0xC0)
      part.pop_back();
    if (part.empty() || part.find_first_of("*?") != std::string::npos) part = "ing";
    std::fprintf(out, "%s\n", part.c_str());
  }
  const char* const shorts[] = {"a",  "e",  "x",  "7",  "_",  "ä",  "ж",  "写",
                                "ab", "ma", "03", "IM", "zz", "é.", "s ", "q"};
  for (const char* s : shorts) std::fprintf(out, "%s\n", s);
  const char* const masks[] = {"*.jpg",    "*.pdf",  "IMG_????.JPG", "scan 00*.tif", "*.flac",
                               "*urlaub*", "*(2)*",  "index.*",      "0? - *.mp3",   "*.min.js",
                               "DSC1*",    "*_v?.*", "*.heic",       "*2019*",       "*.mp3",
                               "*scan*",   "IMG_2*", "*.txt",        "*.tif",        "README*"};
  for (const char* m : masks) std::fprintf(out, "%s\n", m);
  const char* const none[] = {"qqqxqqq", "*.nosuchext", "zebra crossing", "ЩЩЩ"};
  for (const char* n : none) std::fprintf(out, "%s\n", n);
  std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr,
                 "usage: catalogue_tool DIR [--lists N] [--files N] [--seed S] [--only K]"
                 " [--variant V] [--replace] [--identical N] [--paths FILE] [--queries FILE]\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  int lists = 50;
  size_t total = 10000000;
  uint64_t seed = 1;
  int only = -1;
  uint32_t variant = 0;
  bool replace = false;
  size_t identical = 0;
  std::string paths_file, queries_file;
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--replace") {
      replace = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "catalogue_tool: %s needs a value\n", option.c_str());
      return 2;
    }
    const char* value = argv[++i];
    if (option == "--lists")
      lists = std::atoi(value);
    else if (option == "--files")
      total = std::strtoull(value, nullptr, 10);
    else if (option == "--seed")
      seed = std::strtoull(value, nullptr, 10);
    else if (option == "--only")
      only = std::atoi(value);
    else if (option == "--variant")
      variant = static_cast<uint32_t>(std::atoi(value));
    else if (option == "--identical")
      identical = std::strtoull(value, nullptr, 10);
    else if (option == "--paths")
      paths_file = value;
    else if (option == "--queries")
      queries_file = value;
    else {
      std::fprintf(stderr, "catalogue_tool: unknown option %s\n", option.c_str());
      return 2;
    }
  }
  if (lists < 1) return 2;
  Writer out;
  if (!paths_file.empty() && (out.paths = std::fopen(paths_file.c_str(), "w")) == nullptr) {
    std::fprintf(stderr, "catalogue_tool: cannot write %s\n", paths_file.c_str());
    return 2;
  }
  const size_t per_list = total / static_cast<size_t>(lists);
  for (int v = 0; v < lists; ++v) {
    if (only >= 0 && v != only) continue;
    // A disk wiped and filled anew has the files another seed gives it.
    std::vector<Entry> files = DiskFiles(replace ? seed + 7777 : seed, v, lists, per_list);
    if (variant != 0) {
      for (size_t i = 0; i < files.size(); i += 10) {
        files[i].time += variant * kSecond;
        files[i].id ^= variant;
      }
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const Entry& a, const Entry& b) { return a.dir < b.dir; });
    MakePathsUnique(&files);
    if (!queries_file.empty() && (v == 0 || v == only)) WriteQueries(queries_file, seed, files);
    WriteList(dir + Label(v) + "~" + std::to_string(0x10000 + v) + ".v00", v, files, &out);
    std::printf("%s: %zu files\n", Label(v).c_str(), files.size());
  }
  if (identical > 0 && only < 0) {
    std::vector<Entry> files(identical);
    for (size_t i = 0; i < identical; ++i) {
      files[i].dir = "Copies/";
      files[i].name = "same " + Number(i, 7) + ".bin";
      files[i].size = 4096;
      files[i].time = kFirstFileTime;
      files[i].id = 0x1234567u;
    }
    WriteList(dir + Label(lists) + "~" + std::to_string(0x10000 + lists) + ".v00", lists, files,
              &out);
    std::printf("%s: %zu identical files\n", Label(lists).c_str(), identical);
  }
  if (out.paths != nullptr) std::fclose(out.paths);
  return 0;
}
