#include "lists/list_output.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_tree.h"
#include "common/test_os.h"

namespace {

using lists::ListFault;
using lists::ListOutput;
using testing_support::TempTree;

// A run header of /media/disk/data (stopped) and one file line below it, as a list
// writes them; the header's end stamp starts at column 51.
const std::string kHeader =
    "A1 00000 01234 DATA           2026-12-10 07:59:08 2026-12-10 07:59:08 C   4+4 | data" +
    std::string(53, ' ') + "/p 12+0 | 2 /media/disk/\r\n";
const std::string kFileLine =
    "F  07012 18845              6 2026-12-10 07:59:08 2026-12-10 07:59:08 32  5+4 | a.txt" +
    std::string(52, ' ') + "/p 17+0 | 2 /media/disk/data/\r\n";
constexpr char kRoot[] = "/media/disk/data/";
constexpr size_t kStampAt = 50;
// A list of one stopped run with one file: whole lines.
const std::string kWhole = kHeader + "\r\n" + kFileLine;

struct Tail {
  const char* name;
  std::string before;  // the list a crash left
  ListFault check;     // what the header check says
  std::string after;   // the list once a Continue has prepared and ended
  bool listed;         // it counts a.txt as listed
};

// A Continue of a list left by a crash, on the list alone: what stays of it is its whole
// lines, a list with no run in it yet is begun afresh, another run's list is refused.
TEST(ListOutputTest, ContinueKeepsTheWholeLinesACrashLeft) {
  const std::string nuls(4096, '\0');
  const std::vector<Tail> tails = {
      {"whole lines", kWhole, ListFault::kNone, kWhole, true},
      {"NUL run", kWhole + nuls, ListFault::kNone, kWhole, true},
      {"broken last line", kWhole + kFileLine.substr(0, 30), ListFault::kNone, kWhole, true},
      {"broken line, then NULs", kWhole + kFileLine.substr(0, 90) + nuls, ListFault::kNone, kWhole,
       1},
      {"line end cut in two", kWhole + kFileLine.substr(0, kFileLine.size() - 1), ListFault::kNone,
       kWhole, true},
      {"only NULs", nuls, ListFault::kNone, "", false},
      {"header cut", kHeader.substr(0, 40), ListFault::kNone, "", false},
      {"header cut, then NULs", kHeader.substr(0, 2) + nuls, ListFault::kNone, "", false},
      {"empty", "", ListFault::kNone, "", false},
      {"foreign header", kWhole, ListFault::kForeign, kWhole, false},
      {"no header", kFileLine + kHeader, ListFault::kForeign, kFileLine + kHeader, false},
  };
  for (const Tail& tail : tails) {
    SCOPED_TRACE(tail.name);
    TempTree tree;
    const std::string path = tree.File("run.v00", tail.before);
    ListOutput list(path);
    ASSERT_EQ(list.Hold(), ListFault::kNone);
    const bool foreign = tail.check == ListFault::kForeign;
    EXPECT_EQ(list.CheckHeader(foreign && tail.before == kWhole ? "/media/other/" : kRoot),
              tail.check);
    support::StringList done;
    if (!foreign) {
      ASSERT_EQ(list.Prepare(true, &done), ListFault::kNone);
      EXPECT_EQ(list.fresh(), tail.after.empty());
      bool finished = true;
      EXPECT_EQ(list.Finish(platform::DateTime(), &finished, false), ListFault::kNone);
    }
    EXPECT_EQ(list.Release(), ListFault::kNone);
    EXPECT_EQ(TempTree::Read(path), tail.after);
    const std::vector<std::string> listed = {std::string(kRoot) + "a.txt"};
    EXPECT_EQ(done.items(), tail.listed ? listed : std::vector<std::string>());
  }
}

TEST(ListOutputTest, NewRunEmptiesTheListAndAnUnwrittenNewListGoes) {
  TempTree tree;
  const std::string old_list = tree.File("old.v00", kWhole);
  ListOutput list(old_list);
  ASSERT_EQ(list.Hold(), ListFault::kNone);
  support::StringList done;
  ASSERT_EQ(list.Prepare(false, &done), ListFault::kNone);
  EXPECT_EQ(list.Release(), ListFault::kNone);
  EXPECT_EQ(TempTree::Read(old_list), "");
  EXPECT_TRUE(done.empty());

  // Made only to hold its lock: never prepared, it does not stay behind.
  ListOutput fresh(tree.Path("new.v00"));
  ASSERT_EQ(fresh.Hold(), ListFault::kNone);
  EXPECT_EQ(fresh.Release(), ListFault::kNone);
  EXPECT_FALSE(std::filesystem::exists(tree.Path("new.v00")));
}

// A full disk (here the file-size limit of a child process) ends the writing: the list
// keeps the whole lines that reached it and its header says the run stopped.
TEST(ListOutputTest, FullDiskKeepsWholeLinesAndStampsTheRunStopped) {
  TempTree tree;
  const std::string path = tree.Path("run.v00");
  std::string lines;
  for (int i = 0; i < 40; ++i) lines += kFileLine;
  const size_t limit = kHeader.size() + 2 + 3 * kFileLine.size() + 20;
  const int status = testing_support::ExitStatusOfChild(
      [&] {
        ListOutput list(path);
        support::StringList done;
        if (list.Hold() != ListFault::kNone || list.Prepare(false, &done) != ListFault::kNone) {
          return 2;
        }
        list.AppendHeader(kHeader, kStampAt);
        list.Append("\r\n" + lines);
        bool finished = true;
        const platform::DateTime end{2027, 1, 2, 3, 4, 5, 0};
        const ListFault fault = list.Finish(end, &finished, false);
        list.Release();
        return fault == ListFault::kWrite && !finished ? 0 : 1;
      },
      limit);
  EXPECT_EQ(status, 0);
  std::string expected = kHeader + "\r\n" + kFileLine + kFileLine + kFileLine;
  expected.replace(kStampAt, 22, "2027-01-02 03:04:05 C ");
  EXPECT_EQ(TempTree::Read(path), expected);
}

}  // namespace
