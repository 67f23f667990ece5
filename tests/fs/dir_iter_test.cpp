#include "fs/dir_iter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_tree.h"
#include "support/string_list.h"

namespace fs {

namespace {

namespace stdfs = std::filesystem;
using testing_support::Native;
using testing_support::TempTree;
using Lines = std::vector<std::string>;

constexpr char kDirParams[] = "/EP recycler|recycled|temp|tmp|system volume information|#recycled";
constexpr char kFileParams[] = "/EF thumbs.db|desktop.ini|*.tmp";

Lines Sorted(const support::StringList& list) {
  Lines lines = list.items();
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Index of a line; fails the test when it is missing.
size_t IndexOf(const support::StringList& list, const std::string& line) {
  const auto& items = list.items();
  const auto it = std::find(items.begin(), items.end(), line);
  EXPECT_NE(it, items.end()) << line;
  return static_cast<size_t>(it - items.begin());
}

Lines MaskTexts(const THddRun& run, MaskListKind kind) {
  Lines texts;
  for (const MaskEntry& mask : run.masks(kind)) texts.push_back(mask.text);
  return texts;
}

class DirIterTest : public ::testing::Test {
 protected:
  // root/ a.txt(3) b/ b/c.txt(5) b/d/ b/d/e.bin(7)
  void BuildSmallTree() {
    tree_.File("a.txt", "abc");
    tree_.File("b/c.txt", "12345");
    tree_.File("b/d/e.bin", "1234567");
  }
  std::string Root() const { return tree_.root(); }

  TempTree tree_;
  support::StringList list_;
};

TEST_F(DirIterTest, Options6ListsFullDirectoryPathsBeforeTheirContents) {
  BuildSmallTree();
  tree_.Dir("b/d/f");
  const int64_t total = FilesToStringsSx(&list_, Root(), 6, nullptr, "", "");
  EXPECT_EQ(total, 0);
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("b/"), tree_.Path("b/d/"), tree_.Path("b/d/f/")}));
  EXPECT_LT(IndexOf(list_, tree_.Path("b/")), IndexOf(list_, tree_.Path("b/d/")));
  EXPECT_LT(IndexOf(list_, tree_.Path("b/d/")), IndexOf(list_, tree_.Path("b/d/f/")));
}

TEST_F(DirIterTest, Options97GiveBareFileNamesAndTheTotalOfOneDirectory) {
  BuildSmallTree();
  tree_.File("z.txt", "");
  const int64_t total = FilesToStringsSx(&list_, Root(), 97, nullptr, "", "");
  EXPECT_EQ(total, 3);
  EXPECT_EQ(Sorted(list_), (Lines{"a.txt", "z.txt"}));
}

TEST_F(DirIterTest, Options70SumEveryFileAndListOnlyDirectories) {
  BuildSmallTree();
  const int64_t total = FilesToStringsSx(&list_, Root(), 70, nullptr, "", "");
  EXPECT_EQ(total, 15);
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("b/"), tree_.Path("b/d/")}));
}

TEST_F(DirIterTest, Options66SumOneDirectoryWithoutListingFiles) {
  BuildSmallTree();
  EXPECT_EQ(FilesToStringsSx(&list_, tree_.Path("b/"), 66, nullptr, "", ""), 5);
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("b/d/")}));
}

TEST_F(DirIterTest, FilesAndDirectoriesTogetherWithoutRecursion) {
  BuildSmallTree();
  EXPECT_EQ(FilesToStringsSx(&list_, Root(), 0, nullptr, "", ""), 0);
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("a.txt"), tree_.Path("b/")}));
}

TEST_F(DirIterTest, NoDirSlashRelativeAndBareNames) {
  BuildSmallTree();
  FilesToStringsSx(&list_, Root(), 4 | 8, nullptr, "", "");
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("a.txt"), tree_.Path("b"), tree_.Path("b/c.txt"),
                                  tree_.Path("b/d"), tree_.Path("b/d/e.bin")}));
  list_.Clear();
  FilesToStringsSx(&list_, Root(), 4 | 16, nullptr, "", "");
  EXPECT_EQ(Sorted(list_),
            (Lines{"a.txt", Native("b/"), Native("b/c.txt"), Native("b/d/"), Native("b/d/e.bin")}));
  list_.Clear();
  // Bare names win over relative names.
  FilesToStringsSx(&list_, Root(), 4 | 16 | 32, nullptr, "", "");
  EXPECT_EQ(Sorted(list_), (Lines{"a.txt", Native("b/"), "c.txt", Native("d/"), "e.bin"}));
}

TEST_F(DirIterTest, BaseSetsTheNameOffsetOfRelativeNames) {
  BuildSmallTree();
  THddRun run;
  // The base is the parent of the start directory: names keep the start's last part.
  const std::string base =
      testing_support::TextOf(stdfs::path(Root()).parent_path().parent_path()) + Native("/");
  const std::string top = stdfs::path(Root()).parent_path().filename().string();
  FilesToStringsSx(&list_, tree_.Path("b/"), 16 | 2, &run, base, "");
  EXPECT_EQ(Sorted(list_), (Lines{Native(top + "/b/d/")}));
  EXPECT_EQ(run.name_offset(), base.size() + 1);
  list_.Clear();
  FilesToStringsSx(&list_, tree_.Path("b/"), 16 | 2, &run, "", "");
  EXPECT_EQ(Sorted(list_), (Lines{Native("d/")}));
  EXPECT_EQ(run.name_offset(), Root().size() + 3);
}

TEST_F(DirIterTest, ListIsAppendedToNeverCleared) {
  BuildSmallTree();
  list_.Add("first line");
  FilesToStringsSx(&list_, Root(), 1, nullptr, "", "");
  ASSERT_EQ(list_.size(), 2u);
  EXPECT_EQ(list_[0], "first line");
  EXPECT_EQ(list_[1], tree_.Path("a.txt"));
}

TEST_F(DirIterTest, MissingStartDirectoryGivesMinusOneAndLeavesTheList) {
  list_.Add("kept");
  EXPECT_EQ(FilesToStringsSx(&list_, tree_.Path("missing/"), 70, nullptr, "", ""), -1);
  EXPECT_EQ(FilesToStringsSx(&list_, tree_.Path("missing/*.txt"), 97, nullptr, "", ""), -1);
  EXPECT_EQ(FilesToStringsSx(&list_, Root() + "missing/ /S", 6, nullptr, "", ""), -1);
  EXPECT_EQ(list_.items(), (Lines{"kept"}));
}

TEST_F(DirIterTest, DefaultDirectoryParamsHideTempDirectoriesAtAnyDepth) {
  tree_.File("TEMP/a.bin", "1");
  tree_.File("x/Temp/b.bin", "22");
  tree_.File("x/y/System Volume Information/c.bin", "333");
  tree_.File("x/tmp/deep/d.bin", "4444");
  tree_.File("x/#Recycled/e.bin", "55555");
  tree_.File("temp2/f.bin", "666666");
  tree_.File("x/mytemp/g.bin", "7777777");
  tree_.File("x/h.bin", "88888888");
  const int64_t total = FilesToStringsSx(&list_, Root(), 70, nullptr, "", kDirParams);
  EXPECT_EQ(total, 6 + 7 + 8);
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("temp2/"), tree_.Path("x/"), tree_.Path("x/mytemp/"),
                                  tree_.Path("x/y/")}));
}

TEST_F(DirIterTest, DefaultFileParamsHideNamesButSizesStillCount) {
  tree_.File("Thumbs.db", "1");
  tree_.File("x.TMP", "22");
  tree_.File("DESKTOP.INI", "333");
  tree_.File("a.tmp.txt", "4444");
  tree_.File("x.tmp.tmp", "55555");
  tree_.File("mythumbs.db", "666666");
  tree_.File("keep.txt", "7777777");
  const int64_t total = FilesToStringsSx(&list_, Root(), 97, nullptr, "", kFileParams);
  EXPECT_EQ(total, 28);
  // "*.tmp" finds the first, shortest match in 'x.tmp.tmp', which does not reach the end.
  EXPECT_EQ(Sorted(list_), (Lines{"a.tmp.txt", "keep.txt", "mythumbs.db", "x.tmp.tmp"}));
}

TEST_F(DirIterTest, ListingAndDescentAreDecidedSeparately) {
  tree_.File("skip/inner/f.txt", "12");
  tree_.File("other/g.txt", "1");
  FilesToStringsSx(&list_, Root(), 4, nullptr, "", "/ED skip");
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("other/"), tree_.Path("other/g.txt"),
                                  tree_.Path("skip/inner/"), tree_.Path("skip/inner/f.txt")}));
  list_.Clear();
  EXPECT_EQ(FilesToStringsSx(&list_, Root(), 4 | 64, nullptr, "", "/ES skip"), 1);
  EXPECT_EQ(Sorted(list_),
            (Lines{tree_.Path("other/"), tree_.Path("other/g.txt"), tree_.Path("skip/")}));
  list_.Clear();
  FilesToStringsSx(&list_, Root(), 4, nullptr, "", "/EP skip");
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("other/"), tree_.Path("other/g.txt")}));
}

// Each folder the masks keep out of the list or the descent is named once, with the
// parameter item and mask that did it.
TEST_F(DirIterTest, FoldersLeftOutAreNamedWithTheParameterThatLeftThemOut) {
  for (const char* file : {"TEMP/a", "x/tmp/b", "x/keep/c", "skip/d", "photos/e"}) {
    tree_.File(file, "1");
  }
  using Notes = std::vector<std::pair<std::string, std::string>>;
  const auto in = [this](const char* path) { return tree_.Path(path); };
  const struct {
    const char* params;
    Notes notes;
  } cases[] = {
      {kDirParams, {{in("TEMP/"), "/EP temp"}, {in("x/tmp/"), "/EP tmp"}}},
      {"/ES skip", {{in("skip/"), "/ES skip"}}},
      {"/ed skip|sk*", {{in("skip/"), "/ED skip"}}},
      {"/IS x|p* /EP keep",
       {{in("TEMP/"), "/IS x|p*"},
        {in("skip/"), "/IS x|p*"},
        {in("x/keep/"), "/EP keep"},
        {in("x/tmp/"), "/IS x|p*"}}},
      {"/ID x",
       {{in("TEMP/"), "/ID x"},
        {in("photos/"), "/ID x"},
        {in("skip/"), "/ID x"},
        {in("x/keep/"), "/ID x"},
        {in("x/tmp/"), "/ID x"}}},
  };
  for (const auto& each : cases) {
    THddRun run;
    std::vector<LeftOutDir> left_out;
    run.set_left_out(&left_out);
    FilesToStringsSx(&list_, Root(), walk_option::NoFiles | walk_option::Recurse, &run, "",
                     each.params);
    Notes notes;
    for (const LeftOutDir& dir : left_out) notes.emplace_back(dir.path, dir.parameter);
    std::sort(notes.begin(), notes.end());
    EXPECT_EQ(notes, each.notes) << each.params;
  }
}

TEST_F(DirIterTest, IncludeMasksForFilesDirectoriesAndSubdirectories) {
  tree_.File("a1/x.txt", "");
  tree_.File("a1/b1/y.txt", "");
  tree_.File("b2/z.txt", "");
  tree_.File("w.doc", "");
  FilesToStringsSx(&list_, Root(), 4, nullptr, "", "/IF *.txt /ID a*");
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("a1/"), tree_.Path("a1/b1/y.txt"),
                                  tree_.Path("a1/x.txt"), tree_.Path("b2/z.txt")}));
  list_.Clear();
  FilesToStringsSx(&list_, Root(), 4, nullptr, "", "/IS a*");
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("a1/"), tree_.Path("a1/b1/"), tree_.Path("a1/x.txt"),
                                  tree_.Path("b2/"), tree_.Path("w.doc")}));
  list_.Clear();
  FilesToStringsSx(&list_, Root(), 4, nullptr, "", "/IP a*|b*");
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("a1/"), tree_.Path("a1/b1/"),
                                  tree_.Path("a1/b1/y.txt"), tree_.Path("a1/x.txt"),
                                  tree_.Path("b2/"), tree_.Path("b2/z.txt"), tree_.Path("w.doc")}));
}

TEST_F(DirIterTest, PathMasksAreNotAnchored) {
  tree_.File("a.jpg", "1");
  tree_.File("a.jpg.txt", "22");
  tree_.File("b.png", "333");
  tree_.File("c.gif", "4444");
  THddRun run;
  const int64_t total = FilesToStringsSx(&list_, tree_.Path("*.jpg|*.png|"), 97, &run, "", "");
  EXPECT_EQ(total, 10);
  EXPECT_EQ(Sorted(list_), (Lines{"a.jpg", "a.jpg.txt", "b.png"}));
  ASSERT_EQ(run.masks(MaskListKind::kIncludeFiles).size(), 2u);
  EXPECT_EQ(run.masks(MaskListKind::kIncludeFiles)[0].flags, kMaskNoWildcard);
}

TEST_F(DirIterTest, PathMasksAreKeptUntrimmedAndRepeatedOnEveryCall) {
  tree_.File("a.txt", "");
  THddRun run;
  FilesToStringsSx(&list_, tree_.Path("a|a| b"), 97, &run, "", "");
  FilesToStringsSx(&list_, tree_.Path("a"), 97, &run, "", "");
  EXPECT_EQ(MaskTexts(run, MaskListKind::kIncludeFiles), (Lines{"a", "a", " b", "a"}));
  EXPECT_EQ(list_.items(), (Lines{"a.txt", "a.txt"}));
}

TEST_F(DirIterTest, ParametersWrittenIntoThePathBeginAfterABlank) {
  BuildSmallTree();
  EXPECT_EQ(FilesToStringsSx(&list_, Root() + " /S", 2 | 64, nullptr, "", ""), 15);
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("b/"), tree_.Path("b/d/")}));
  for (const char* item : {" /s", "  /Sub  ", " /S /S"}) {
    list_.Clear();
    FilesToStringsSx(&list_, Root() + item, 2, nullptr, "", "");
    EXPECT_EQ(list_.size(), 2u) << item;
  }
  list_.Clear();
  FilesToStringsSx(&list_, Root() + "*.txt /S /EF c*", 1, nullptr, "", "");
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("a.txt")}));
  // Without a blank the "/" is a separator: "b/d" is a subdirectory, not parameters.
  list_.Clear();
  EXPECT_EQ(FilesToStringsSx(&list_, tree_.Path("b/d"), 1 | 64, nullptr, "", ""), 7);
  EXPECT_EQ(list_.items(), (Lines{tree_.Path("b/d/e.bin")}));
}

TEST_F(DirIterTest, ExistingDirectoryIsNeverSplit) {
  tree_.File("a /S/x.txt", "1");
  tree_.File("a /S/sub/y.txt", "22");
  const std::string start = Root() + "a /S";
  EXPECT_EQ(FilesToStringsSx(&list_, start, 64, nullptr, "", ""), 1);
  EXPECT_EQ(Sorted(list_), (Lines{start + "/sub/", start + "/x.txt"}));
}

TEST_F(DirIterTest, BareMaskAppliesToTheCurrentDirectory) {
  // Nothing is created in the current directory; a mask that hits nothing lists nothing.
  EXPECT_EQ(FilesToStringsSx(&list_, "no-such-name-{x}", 1, nullptr, "", ""), 0);
  EXPECT_TRUE(list_.empty());
}

TEST_F(DirIterTest, StartPathIsTrimmed) {
  BuildSmallTree();
  EXPECT_EQ(FilesToStringsSx(&list_, "  " + tree_.Path("b\t"), 64, nullptr, "", ""), 5);
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("b/c.txt"), tree_.Path("b/d/")}));
}

TEST_F(DirIterTest, ReusedRunKeepsItsMasks) {
  tree_.Dir("apple/inner");
  tree_.Dir("banana");
  tree_.Dir("avocado");
  THddRun run;
  FilesToStringsSx(&list_, Root(), 6, &run, "", "/ID a*");
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("apple/"), tree_.Path("avocado/")}));
  list_.Clear();
  FilesToStringsSx(&list_, Root(), 6, &run, "", "");
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("apple/"), tree_.Path("avocado/")}));
  list_.Clear();
  FilesToStringsSx(&list_, Root(), 6, &run, "", "/ID A*|b*");
  EXPECT_EQ(Sorted(list_),
            (Lines{tree_.Path("apple/"), tree_.Path("avocado/"), tree_.Path("banana/")}));
  EXPECT_EQ(MaskTexts(run, MaskListKind::kIncludeDirs), (Lines{"a*", "b*"}));
  EXPECT_EQ(run.output(), &list_);
}

TEST_F(DirIterTest, SymbolicLinksAreNeitherListedNorFollowed) {
  tree_.File("real/f.txt", "123");
  stdfs::create_directory_symlink("..", tree_.Path("real/loop"));
  stdfs::create_directory_symlink(tree_.Path("real"), tree_.Path("dirlink"));
  stdfs::create_symlink(tree_.Path("real/f.txt"), tree_.Path("filelink"));
  stdfs::create_symlink(tree_.Path("nowhere"), tree_.Path("dangling"));
  const int64_t total = FilesToStringsSx(&list_, Root(), 4 | 64, nullptr, "", "");
  EXPECT_EQ(total, 3);
  EXPECT_EQ(Sorted(list_), (Lines{tree_.Path("real/"), tree_.Path("real/f.txt")}));
}

TEST_F(DirIterTest, FifoIsNotListedAndDoesNotBlock) {
  tree_.File("f.txt", "12");
  const std::string fifo = tree_.Path("pipe");
  if (std::system(("mkfifo '" + fifo + "' 2>/dev/null").c_str()) != 0 || !stdfs::is_fifo(fifo)) {
    GTEST_SKIP() << "mkfifo is not available";
  }
  EXPECT_EQ(FilesToStringsSx(&list_, Root(), 64 | 4, nullptr, "", ""), 2);
  EXPECT_EQ(list_.items(), (Lines{tree_.Path("f.txt")}));
}

TEST_F(DirIterTest, UnreadableSubdirectoryIsSkippedSilently) {
  tree_.File("open/a.txt", "1");
  tree_.File("closed/b.txt", "22");
  stdfs::permissions(tree_.Path("closed"), stdfs::perms::none);
  std::error_code error;
  stdfs::directory_iterator probe(tree_.Path("closed"), error);
  if (!error) GTEST_SKIP() << "running with privileges that read any directory";
  const int64_t total = FilesToStringsSx(&list_, Root(), 4 | 64, nullptr, "", "");
  EXPECT_EQ(total, 1);
  EXPECT_EQ(Sorted(list_),
            (Lines{tree_.Path("closed/"), tree_.Path("open/"), tree_.Path("open/a.txt")}));
  list_.Clear();
  EXPECT_EQ(FilesToStringsSx(&list_, tree_.Path("closed/"), 4 | 64, nullptr, "", ""), -1);
}

// A chain deeper than the longest path the system opens: the walk lists what it can
// reach and skips the rest silently, also for a user who may read everything.
TEST_F(DirIterTest, DirectoryBeyondTheLongestPathIsStillWalked) {
  constexpr int kLevels = 20;
  auto level = [](int k) { return std::string(250, 'd') + std::to_string(k + 10); };
  // Built bottom up by moving each chain into a new parent, so that no call needs the
  // whole path.
  tree_.File(level(kLevels - 1) + "/deep.bin", "12345");
  for (int k = kLevels - 2; k >= 0; --k) {
    tree_.Dir(level(k));
    stdfs::rename(tree_.Path(level(k + 1)), tree_.Path(level(k) + "/" + level(k + 1)));
  }
  tree_.File(level(0) + "/top.bin", "123");
  // Each level is opened from its parent, so the 5 000-byte path is no limit.
  const int64_t total = FilesToStringsSx(&list_, Root(), 4 | 64, nullptr, "", "");
  EXPECT_EQ(total, 8);
  std::string chain = Root();
  Lines expected;
  for (int k = 0; k < kLevels; ++k) {
    chain += Native(level(k) + "/");
    expected.push_back(chain);
  }
  expected.push_back(chain + "deep.bin");
  expected.push_back(tree_.Path(level(0) + "/top.bin"));
  EXPECT_EQ(Sorted(list_), expected);
  // Shorten the chain again so that the temp tree can be removed.
  std::string middle = Root();
  for (int k = 0; k < kLevels / 2; ++k) middle += Native(level(k) + "/");
  stdfs::rename(middle, tree_.Path("rest"));
}

TEST_F(DirIterTest, NamesAreKeptByteForByte) {
  const std::string invalid = "bad\xC9\xFF.txt";
  tree_.File(" lead and trail ", "1");
  tree_.File("Äpfel und Birnen.txt", "22");
  tree_.File(invalid, "333");
  tree_.File("line\nbreak", "4444");
  tree_.File("Über/x", "");
  const int64_t total = FilesToStringsSx(&list_, Root(), 64, nullptr, "", "");
  EXPECT_EQ(total, 10);
  EXPECT_EQ(Sorted(list_),
            (Lines{tree_.Path(" lead and trail "), Root() + invalid, tree_.Path("line\nbreak"),
                   tree_.Path("Äpfel und Birnen.txt"), tree_.Path("Über/")}));
  // Masks fold Latin-1 letters and treat an invalid byte as one character.
  list_.Clear();
  FilesToStringsSx(&list_, Root(), 1 | 32, nullptr, "", "/IF äPFEL*|bad??.txt");
  EXPECT_EQ(Sorted(list_), (Lines{invalid, "Äpfel und Birnen.txt"}));
}

TEST_F(DirIterTest, EmptyDirectoryGivesNothingAndZero) {
  EXPECT_EQ(FilesToStringsSx(&list_, Root(), 4 | 64, nullptr, "", ""), 0);
  EXPECT_TRUE(list_.empty());
}

// Parameter text and masks, without a tree.

TEST(WalkParamsTest, SplitTrimsAndDropsEmptyAndRepeatedItems) {
  support::StringList items;
  items.Add("s");
  SplitTextItems("/EP a|b/ /S//  ep A|B / ep a|b/N", '/', &items);
  EXPECT_EQ(items.items(), (Lines{"s", "EP a|b", "N"}));
  support::StringList none;
  SplitTextItems("", '/', &none);
  SplitTextItems(" / \t/", '/', &none);
  EXPECT_TRUE(none.empty());
}

TEST(WalkParamsTest, KeyLetterFollowedByTheValueTakesItsFirstCharacter) {
  THddRun run;
  run.ApplyParams("/I*.txt", 0);
  run.ApplyParams("/I *.doc", 0);
  run.ApplyParams("/IF*.pdf", 0);
  run.ApplyParams("/if x.md", 0);
  run.ApplyParams("/Ix*.c", 0);
  EXPECT_EQ(MaskTexts(run, MaskListKind::kIncludeFiles),
            (Lines{".txt", "*.doc", "*.pdf", "x.md", "*.c"}));
}

TEST(WalkParamsTest, EveryKeyReachesItsLists) {
  THddRun run;
  const uint32_t options =
      run.ApplyParams("/E a|b / EF c / Ex d / ED e / es f / EP g|h / ID i / IS j / IP k", 0);
  EXPECT_EQ(options, 0u);
  EXPECT_EQ(MaskTexts(run, MaskListKind::kExcludeFiles), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(MaskTexts(run, MaskListKind::kExcludeDirs), (Lines{"e", "g", "h"}));
  EXPECT_EQ(MaskTexts(run, MaskListKind::kExcludeSubdirs), (Lines{"f", "g", "h"}));
  EXPECT_EQ(MaskTexts(run, MaskListKind::kIncludeDirs), (Lines{"i", "k"}));
  EXPECT_EQ(MaskTexts(run, MaskListKind::kIncludeSubdirs), (Lines{"j", "k"}));
  EXPECT_TRUE(run.masks(MaskListKind::kIncludeFiles).empty());
}

TEST(WalkParamsTest, OptionKeysOnlyAddBits) {
  THddRun run;
  EXPECT_EQ(run.ApplyParams("/NF", 0), walk_option::NoFiles);
  EXPECT_EQ(run.ApplyParams("/N", 0), walk_option::NoDirs);
  EXPECT_EQ(run.ApplyParams("/nd", 0), walk_option::NoDirs);
  EXPECT_EQ(run.ApplyParams("/Nx", 0), walk_option::NoDirs);
  EXPECT_EQ(run.ApplyParams("/s", 0), walk_option::Recurse);
  EXPECT_EQ(run.ApplyParams("/Sub", 0), walk_option::Recurse);
  EXPECT_EQ(run.ApplyParams("/S/NF/N", 64), 64u | 4u | 2u | 1u);
  EXPECT_EQ(run.ApplyParams("/X foo/Q/1/", 127), 127u);
  EXPECT_EQ(run.ApplyParams("", 8), 8u);
  for (MaskListKind kind :
       {MaskListKind::kIncludeFiles, MaskListKind::kExcludeFiles, MaskListKind::kIncludeDirs,
        MaskListKind::kExcludeDirs, MaskListKind::kIncludeSubdirs, MaskListKind::kExcludeSubdirs})
    EXPECT_TRUE(run.masks(kind).empty());
}

TEST(WalkParamsTest, MasksAreTrimmedAndNotRepeated) {
  THddRun run;
  EXPECT_EQ(run.AddMasks(MaskListKind::kExcludeFiles, "  a | B ||  | *.tmp|A  "), 3u);
  EXPECT_EQ(run.AddMasks(MaskListKind::kExcludeFiles, "b|*.TMP|c"), 1u);
  EXPECT_EQ(run.AddMasks(MaskListKind::kExcludeFiles, "   "), 0u);
  EXPECT_EQ(MaskTexts(run, MaskListKind::kExcludeFiles), (Lines{"a", "B", "*.tmp", "c"}));
}

TEST(WalkParamsTest, MaskFlagsFollowTheWildcards) {
  EXPECT_EQ(MaskFlags("thumbs.db"), 1 | 2 | 4);
  EXPECT_EQ(MaskFlags("*.tmp"), 4 | 8);
  EXPECT_EQ(MaskFlags("a*"), 2 | 8);
  EXPECT_EQ(MaskFlags("*a*"), 8);
  EXPECT_EQ(MaskFlags("a?c"), 2 | 4 | 16);
  EXPECT_EQ(MaskFlags("*?"), 4 | 8 | 16);
  EXPECT_EQ(MaskFlags("*"), 8);
  THddRun run;
  run.AddMasks(MaskListKind::kIncludeDirs, "x*y");
  EXPECT_EQ(run.masks(MaskListKind::kIncludeDirs)[0].flags, 2 | 4 | 8);
}

TEST(WalkParamsTest, MaskListStopsAtItsLimit) {
  THddRun run;
  std::string value;
  for (size_t i = 0; i < kMaxMasks + 5; ++i) value += "m" + std::to_string(i) + "|";
  EXPECT_EQ(run.AddMasks(MaskListKind::kExcludeFiles, value), kMaxMasks);
  EXPECT_FALSE(run.AppendMask(MaskListKind::kExcludeFiles, "extra", kMaskNoWildcard));
  EXPECT_EQ(run.masks(MaskListKind::kExcludeFiles).back().text, "m254");
  EXPECT_FALSE(run.AppendMask(MaskListKind::kIncludeFiles, "", kMaskNoWildcard));
}

TEST(WalkParamsTest, AnchoringDecidesAHit) {
  THddRun run;
  run.AddMasks(MaskListKind::kExcludeFiles, "temp|*.tmp|a?c");
  EXPECT_TRUE(run.Matches(MaskListKind::kExcludeFiles, "TEMP"));
  EXPECT_FALSE(run.Matches(MaskListKind::kExcludeFiles, "mytemp"));
  EXPECT_FALSE(run.Matches(MaskListKind::kExcludeFiles, "temp2"));
  EXPECT_TRUE(run.Matches(MaskListKind::kExcludeFiles, "x.TMP"));
  EXPECT_FALSE(run.Matches(MaskListKind::kExcludeFiles, "x.tmp.tmp"));
  EXPECT_TRUE(run.Matches(MaskListKind::kExcludeFiles, "abc"));
  EXPECT_FALSE(run.Matches(MaskListKind::kExcludeFiles, "xabc"));
  EXPECT_FALSE(run.Matches(MaskListKind::kExcludeFiles, ""));
  // Empty lists answer the default.
  EXPECT_TRUE(run.Matches(MaskListKind::kIncludeFiles, "anything"));
  EXPECT_FALSE(run.Matches(MaskListKind::kExcludeDirs, "anything"));
  EXPECT_TRUE(run.Matches(MaskListKind::kExcludeDirs, "anything", true));
  // Unanchored masks hit anywhere in the name.
  run.AppendMask(MaskListKind::kIncludeDirs, "*.jpg", kMaskNoWildcard);
  EXPECT_TRUE(run.Matches(MaskListKind::kIncludeDirs, "a.jpg.txt"));
  EXPECT_FALSE(run.Matches(MaskListKind::kIncludeDirs, "a.png"));
}

}  // namespace

}  // namespace fs
