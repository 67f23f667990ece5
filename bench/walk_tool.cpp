// Times FilesToStringsSx on a real tree, and builds such a tree.
//
//   walk_tool make DIR [DIRS [ENTRIES]]   a tree of DIRS directories and ENTRIES entries in
//                                         all (directories included); sparse files
//   walk_tool walk DIR [--options N] [--params TEXT] [--repeat N]
//
// The walk prints the best and the median time of the repeats. bench/walk_vs_find.sh runs
// it next to find on the same tree.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fs/dir_iter.h"
#include "support/string_list.h"

namespace {

namespace stdfs = std::filesystem;

int Usage() {
  std::fprintf(stderr,
               "usage: walk_tool make DIR [DIRS [ENTRIES]]\n"
               "       walk_tool walk DIR [--options N] [--params TEXT] [--repeat N]\n");
  return 2;
}

// Two levels: sqrt-ish many top directories, the rest spread below them; files spread
// evenly over all directories. Sizes vary, but the files are sparse so the tree costs
// no data blocks.
int Make(const std::string& root, long dirs, long entries) {
  if (dirs < 1 || entries < dirs) return Usage();
  long top = 1;
  while (top * top < dirs) ++top;
  std::vector<std::string> paths;
  paths.reserve(static_cast<size_t>(dirs));
  for (long t = 0; t < top && static_cast<long>(paths.size()) < dirs; ++t)
    paths.push_back(root + "/top" + std::to_string(t));
  for (long i = 0; static_cast<long>(paths.size()) < dirs; ++i)
    paths.push_back(paths[static_cast<size_t>(i % top)] + "/sub" + std::to_string(i));
  std::error_code error;
  for (const std::string& path : paths) {
    stdfs::create_directories(path, error);
    if (error) {
      std::fprintf(stderr, "walk_tool: cannot create %s: %s\n", path.c_str(),
                   error.message().c_str());
      return 1;
    }
  }
  const long files = entries - dirs;
  for (long f = 0; f < files; ++f) {
    const std::string& dir = paths[static_cast<size_t>(f % dirs)];
    const std::string file = dir + "/file" + std::to_string(f) + ".dat";
    std::ofstream(file, std::ios::binary | std::ios::trunc);
    stdfs::resize_file(file, static_cast<uintmax_t>((f * 7919) % 100000), error);
    if (error) {
      std::fprintf(stderr, "walk_tool: cannot create %s\n", file.c_str());
      return 1;
    }
  }
  std::printf("made %s: %ld directories, %ld files\n", root.c_str(), dirs, files);
  return 0;
}

int Walk(const std::string& root, uint32_t options, const std::string& params, int repeat) {
  std::vector<double> times;
  size_t lines = 0;
  int64_t total = 0;
  for (int i = 0; i < repeat; ++i) {
    support::StringList list;
    const auto start = std::chrono::steady_clock::now();
    total = fs::FilesToStringsSx(&list, root, options, nullptr, "", params);
    const auto end = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    lines = list.size();
  }
  std::sort(times.begin(), times.end());
  std::printf("walk options %u: %zu lines, total %lld, best %.1f ms, median %.1f ms\n", options,
              lines, static_cast<long long>(total), times.front(), times[times.size() / 2]);
  return total < 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  const std::string root = argv[2];
  if (command == "make") {
    const long dirs = argc > 3 ? std::atol(argv[3]) : 2000;
    const long entries = argc > 4 ? std::atol(argv[4]) : 200000;
    return Make(root, dirs, entries);
  }
  if (command != "walk") return Usage();
  uint32_t options =
      fs::walk_option::NoFiles | fs::walk_option::Recurse | fs::walk_option::SumSizes;
  std::string params;
  int repeat = 5;
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--options") {
      options = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
    } else if (name == "--params") {
      params = argv[i + 1];
    } else if (name == "--repeat") {
      repeat = std::max(1, std::atoi(argv[i + 1]));
    } else {
      return Usage();
    }
  }
  return Walk(root, options, params, repeat);
}
