// checker-cli killed outright (SIGKILL, TerminateProcess) at many moments of a run, then
// continued: the lists must end up holding every file of the tree exactly once, with the
// id a clean run gives, sums that agree with their lines, and nothing from outside the tree.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/run_command.h"
#include "common/temp_tree.h"
#include "platform/paths.h"

namespace {

using testing_support::RunningProgram;
using testing_support::TempTree;
using Clock = std::chrono::steady_clock;

std::vector<std::string> Lines(const std::string& text) { return testing_support::ListLines(text); }

std::string TrimRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

uint64_t Digits(const std::string& field) {
  uint64_t value = 0;
  for (char c : field) {
    if (c >= '0' && c <= '9') value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

// What a finished list says, read by the column rules for the short names of this test
// (at most 11 characters, so the name takes the minimum 4 blocks and the path section
// begins at column 138 with a root column of 2 characters).
struct ListCheck {
  std::map<std::string, std::vector<std::string>> id_fields;  // full path -> id fields
  std::vector<std::string> faults;
};

ListCheck ReadList(const std::string& text) {
  ListCheck check;
  uint64_t section_sum = 0;  // F lines since the last trailer
  uint64_t run_sum = 0;      // trailers of this run
  for (const std::string& line : Lines(text)) {
    if (line.empty()) continue;
    if (line[0] == 'A') {
      section_sum = 0;
      run_sum = 0;
      continue;
    }
    if (line.size() < 150) {
      check.faults.push_back("short line: " + line);
      continue;
    }
    if (line[0] == 'F') {
      const std::string id = line.substr(0, 14);
      const std::string name = TrimRight(line.substr(80, 57));
      const std::string dir = TrimRight(line.substr(137 + 12));
      check.id_fields[dir + name].push_back(id);
      if (id.substr(0, 3) == "F  " && id[3] >= '0' && id[3] <= '9') section_sum += Digits(id);
    } else if (line[0] == 'R') {
      const uint64_t sum = Digits(line.substr(3, 26));
      if (sum != section_sum) check.faults.push_back("trailer sum differs: " + line);
      run_sum += sum;
      section_sum = 0;
    } else if (line[0] == 'T') {
      if (Digits(line.substr(3, 26)) != run_sum) check.faults.push_back("totals differ: " + line);
    } else {
      check.faults.push_back("unknown line: " + line);
    }
  }
  return check;
}

TEST(CrashTest, KilledRunsContinueToTheListACleanRunGives) {
  // Under wine every file costs calls to its server and each start of the program most of
  // a second: a smaller tree and fewer moments keep the case to seconds there.
  constexpr bool kWindows = platform::kNativePathStyle == platform::PathStyle::kWindows;
  constexpr int kFolders = kWindows ? 4 : 12;
  constexpr int kBigFiles = kWindows ? 1 : 3;
  constexpr int kMoments = kWindows ? 4 : 12;
  TempTree tree;
  std::mt19937 random(12345);
  std::vector<std::string> files;
  for (int d = 0; d < kFolders; ++d) {
    for (int f = 0; f < 150; ++f) {
      const std::string relative = "data/d" + std::to_string(d) + "/f" + std::to_string(f);
      std::string content(6 + random() % 300, '\0');
      for (char& c : content) c = static_cast<char>(random());
      files.push_back(tree.File(relative, content));
    }
  }
  for (int b = 0; b < kBigFiles; ++b) {
    std::string content(12 << 20, '\0');
    for (size_t i = 0; i < content.size(); i += 4096) content[i] = static_cast<char>(random());
    files.push_back(tree.File("data/big" + std::to_string(b), content));
  }
  tree.File("outside/secret", "abcdef");
  const std::string path = tree.root() + "data";
  const std::string clean_list = tree.Path("clean.v00");
  const std::vector<std::string> lists = {"--list", tree.Path("run.v00"), "--tree",
                                          tree.Path("run.t00")};

  // The clean run, and how long it takes.
  const Clock::time_point started = Clock::now();
  RunningProgram clean_run(CHECKER_CLI_PATH, {"scan", "--quiet", "--list", clean_list, "--tree",
                                              tree.Path("clean.t00"), path});
  ASSERT_EQ(clean_run.Wait(), 0);
  const auto clean_time = Clock::now() - started;
  const ListCheck clean = ReadList(TempTree::Read(clean_list));
  ASSERT_TRUE(clean.faults.empty()) << clean.faults.front();
  ASSERT_EQ(clean.id_fields.size(), files.size());

  auto run_args = [&](const char* command) {
    std::vector<std::string> args = {command, "--quiet", "--interval", "0"};
    if (command[0] == 's') args.push_back("--no-backup");
    args.insert(args.end(), lists.begin(), lists.end());
    args.push_back(path);
    return args;
  };
  // Each run starts over an old list of the same tree whose lines are all stale: other
  // ids, and a file deleted since. A run killed before it began to write may leave it
  // whole (a Continue then continues it); a mix of new lines and the old list's tail
  // would keep stale ids.
  std::string old_list;
  for (std::string line : Lines(TempTree::Read(clean_list))) {
    if (!line.empty() && line[0] == 'A') line.replace(15, 7, "OLDLIST");
    if (!line.empty() && line[0] == 'F') {
      old_list += line.substr(0, 3) + "99999 99999" + line.substr(14) + "\r\n";
      const size_t name = line.find("| f");
      if (name != std::string::npos) line.replace(name + 2, 1, "g");  // a file gone since
    }
    old_list += line + "\r\n";
  }
  int killed = 0;
  int untouched = 0;
  for (int moment = 0; moment <= kMoments; ++moment) {
    tree.File("run.v00", old_list);
    std::remove(tree.Path("run.t00").c_str());
    // From the very start to past the end of a clean run; the continued run is killed
    // once more, halfway.
    const auto delay = clean_time * moment / kMoments;
    for (const char* command : {"scan", "continue"}) {
      RunningProgram run(CHECKER_CLI_PATH, run_args(command));
      std::this_thread::sleep_for(command[0] == 's' ? delay : delay / 2);
      run.Kill();
      killed += run.Wait() == RunningProgram::kKilledStatus;
    }
    RunningProgram last(CHECKER_CLI_PATH, run_args("continue"));
    ASSERT_EQ(last.Wait(), 0) << "moment " << moment;

    const std::string text = TempTree::Read(tree.Path("run.v00"));
    if (text.compare(0, old_list.size(), old_list) == 0) {  // never begun
      ++untouched;
      continue;
    }
    EXPECT_EQ(text.find("OLDLIST"), std::string::npos) << "moment " << moment;
    const ListCheck run = ReadList(text);
    for (const std::string& fault : run.faults) ADD_FAILURE() << "moment " << moment << ": " << fault;
    for (const auto& [file, ids] : run.id_fields) {
      const auto in_clean = clean.id_fields.find(file);
      if (in_clean == clean.id_fields.end()) {
        ADD_FAILURE() << "moment " << moment << ": not of the tree: " << file;
        continue;
      }
      EXPECT_EQ(ids.size(), 1u) << "moment " << moment << ": " << file;
      EXPECT_EQ(ids.front(), in_clean->second.front()) << "moment " << moment << ": " << file;
    }
    EXPECT_EQ(run.id_fields.size(), clean.id_fields.size()) << "moment " << moment;
  }
  // Enough runs were really killed midway, not after they had ended; a loaded machine
  // stretches the runs unevenly, so this asks for a quarter, not most.
  EXPECT_GE(killed, kMoments / 2);
  std::printf("crash test: %d of %d runs killed midway; %d old lists never begun\n", killed,
              2 * (kMoments + 1), untouched);
}

}  // namespace
