#include "support/toolkit.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "common/dos_names.h"
#include "common/temp_tree.h"
#include "platform/files.h"
#include "platform/memory.h"

namespace support {

namespace {

namespace fs = std::filesystem;
using testing_support::TempTree;

TEST(MemPercentTest, ZeroMeansTenAndAboveHundredMeansHundred) {
  const double available = static_cast<double>(platform::AvailableMemory());
  ASSERT_GT(available, 0);
  // Memory moves while other processes run, so compare loosely.
  EXPECT_NEAR(static_cast<double>(MemPercentSx(255)), available, available * 0.2);
  EXPECT_NEAR(static_cast<double>(MemPercentSx(100)), available, available * 0.2);
  EXPECT_NEAR(static_cast<double>(MemPercentSx(0)), available / 10, available * 0.02);
  EXPECT_NEAR(static_cast<double>(MemPercentSx(50)), available / 2, available * 0.1);
  EXPECT_LT(MemPercentSx(1), MemPercentSx(0));
}

class FileTestsTest : public ::testing::Test {
 protected:
  TempTree tree_;
};

TEST_F(FileTestsTest, FileExistsNeedsANonEmptyRegularFileInModeOne) {
  const std::string full = tree_.File("full.txt", "x");
  const std::string empty = tree_.File("empty.txt", "");
  const std::string dir = tree_.Dir("sub");
  EXPECT_TRUE(FileExistsSx(full, 1));
  EXPECT_FALSE(FileExistsSx(empty, 1));
  EXPECT_TRUE(FileExistsSx(empty, 0));
  EXPECT_FALSE(FileExistsSx(dir, 1));
  EXPECT_FALSE(FileExistsSx(tree_.Path("sub"), 0));
  EXPECT_FALSE(FileExistsSx("/", 0));
  EXPECT_FALSE(FileExistsSx("", 0));
  EXPECT_FALSE(FileExistsSx(tree_.Path("missing.txt"), 0));
  EXPECT_FALSE(FileExistsSx(full + "/", 1));
}

TEST_F(FileTestsTest, FileExistsHonoursWildcards) {
  tree_.File("a/data.bin", "payload");
  tree_.File("b/zero.bin", "");
  EXPECT_TRUE(FileExistsSx(tree_.Path("a/*.bin"), 1));
  EXPECT_TRUE(FileExistsSx(tree_.Path("a/dat?.bin"), 1));
  EXPECT_FALSE(FileExistsSx(tree_.Path("a/*.txt"), 1));
  EXPECT_FALSE(FileExistsSx(tree_.Path("b/*.bin"), 1));
  EXPECT_TRUE(FileExistsSx(tree_.Path("b/*.bin"), 0));
}

TEST_F(FileTestsTest, LinksAreNeitherFilesNorDirectories) {
  const std::string target = tree_.File("target.txt", "data");
  const std::string dir = tree_.Dir("real");
  fs::create_symlink(target, tree_.Path("file_link"));
  fs::create_directory_symlink(dir, tree_.Path("dir_link"));
  fs::create_symlink(tree_.Path("nowhere"), tree_.Path("dangling"));
  EXPECT_FALSE(FileExistsSx(tree_.Path("file_link"), 1));
  EXPECT_FALSE(DirExistsSx(tree_.Path("dir_link")));
  EXPECT_FALSE(DirExistsSx(tree_.Path("dir_link/")));
  EXPECT_FALSE(FileExistsSx(tree_.Path("file_link/"), 0));
  EXPECT_FALSE(FileExistsSx(tree_.Path("dangling"), 0));
  support::FindData record;
  EXPECT_FALSE(FindDataSx(tree_.Path("file_link"), &record, 0));
  EXPECT_FALSE(FindDataSx(tree_.Path("dangling"), &record, 0));
  EXPECT_FALSE(FindDataSx(tree_.Path("dir_link/"), &record, 0));
}

TEST_F(FileTestsTest, DirExistsWithAndWithoutTrailingSlash) {
  const std::string dir = tree_.Dir("Windows");
  EXPECT_TRUE(DirExistsSx(dir));
  EXPECT_TRUE(DirExistsSx(tree_.Path("Windows")));
  EXPECT_TRUE(DirExistsSx("/"));
  EXPECT_FALSE(DirExistsSx(tree_.File("plain.txt", "x")));
  EXPECT_FALSE(DirExistsSx(tree_.Path("missing")));
  EXPECT_FALSE(DirExistsSx(""));
}

TEST_F(FileTestsTest, FindDataCarriesTheAlternateNameOfANameThatIsNotEightDotThree) {
  const struct Case {
    const char* name;
    const char* looked_up;  // what is given to the lookup, relative to the tree
    bool has_short;         // the name is not 8.3 already
  } cases[] = {
      {"PLAIN.TXT", "PLAIN.TXT", false},
      {"name with spaces.txt", "name with spaces.txt", true},
      {"wildcard matched.text", "wildcard m*", true},
      {"\xce\x95\xce\xbb\xce\xbb\xce\xac\xce\xb4\xce\xb1 \xe6\x97\xa5\xe6\x9c\xac "
       "\xd0\xbc\xd0\xb8\xd1\x80.dat",
       "\xce\x95\xce\xbb\xce\xbb\xce\xac\xce\xb4\xce\xb1 \xe6\x97\xa5\xe6\x9c\xac "
       "\xd0\xbc\xd0\xb8\xd1\x80.dat",
       true},
  };
  for (const Case& c : cases) tree_.File(c.name, c.name);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    support::FindData record;
    record.short_name = "left over";
    ASSERT_TRUE(FindDataSx(tree_.Path(c.looked_up), &record, 1));
    EXPECT_EQ(record.name, c.name);
    if (!testing_support::kAlternateNames || !c.has_short) {
      EXPECT_EQ(record.short_name, "");
      continue;
    }
    EXPECT_TRUE(testing_support::IsEightDotThree(record.short_name)) << record.short_name;
    // The alternate name opens the same file.
    std::string contents;
    ASSERT_TRUE(platform::ReadWholeFile(tree_.Path(record.short_name), &contents));
    EXPECT_EQ(contents, c.name);
  }
}

TEST_F(FileTestsTest, FindDataOfAFile) {
  const std::string path = tree_.File("name with spaces.txt", "12345");
  support::FindData record;
  ASSERT_TRUE(FindDataSx(path, &record, 1));
  EXPECT_EQ(record.name, "name with spaces.txt");
  EXPECT_EQ(record.size, 5u);
  EXPECT_EQ(record.attributes, 0x20u);
  EXPECT_NE(record.last_write_time, 0u);
  EXPECT_FALSE(FindDataSx(path, &record, 2));
  EXPECT_TRUE(FindDataSx(path, &record, 0));
  // A file does not take a trailing slash, but the lookup drops it.
  EXPECT_TRUE(FindDataSx(path + "/", &record, 1));
}

TEST_F(FileTestsTest, FindDataOfADirectoryWithTrailingSlash) {
  const std::string dir = tree_.Dir("Data");
  support::FindData record;
  ASSERT_TRUE(FindDataSx(dir, &record, 2));
  EXPECT_EQ(record.name, "Data");
  EXPECT_EQ(record.attributes, 0x10u);
  EXPECT_EQ(record.size, 0u);
  EXPECT_FALSE(FindDataSx(dir, &record, 1));
  EXPECT_TRUE(FindDataSx(tree_.Path("Data"), &record, 2));
}

TEST_F(FileTestsTest, FindDataReportsHiddenAndReadOnly) {
  const std::string hidden = tree_.File(".hidden", "x");
  const std::string locked = tree_.File("locked", "x");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
  support::FindData record;
  ASSERT_TRUE(FindDataSx(hidden, &record, 0));
  EXPECT_EQ(record.attributes, 0x22u);
  ASSERT_TRUE(FindDataSx(locked, &record, 0));
  EXPECT_EQ(record.attributes, 0x21u);
}

TEST_F(FileTestsTest, FindDataOfTheRootIsADriveWithOtherFieldsUntouched) {
  support::FindData record;
  record.size = 77;
  record.name = "kept";
  record.last_write_time = 5;
  const std::string root = testing_support::SystemRoot();
  ASSERT_TRUE(FindDataSx(root, &record, 2));
  EXPECT_EQ(record.attributes, 0x18u);
  EXPECT_EQ(record.size, 77u);
  EXPECT_EQ(record.name, "kept");
  EXPECT_EQ(record.last_write_time, 5u);
  EXPECT_FALSE(FindDataSx(root, &record, 1));
}

TEST_F(FileTestsTest, FindDataTriesTheTrimmedPathOnlyWhenTheGivenOneIsMissing) {
  const std::string blank_name = tree_.File(" padded ", "abc");
  const std::string plain = tree_.File("padded", "abcdef");
  support::FindData record;
  ASSERT_TRUE(FindDataSx(blank_name, &record, 1));
  EXPECT_EQ(record.name, " padded ");
  EXPECT_EQ(record.size, 3u);
  ASSERT_TRUE(FindDataSx("  " + plain + "\t\r\n", &record, 1));
  EXPECT_EQ(record.name, "padded");
  EXPECT_EQ(record.size, 6u);
  EXPECT_FALSE(FindDataSx(" \t ", &record, 0));
  EXPECT_FALSE(FindDataSx("", &record, 0));
  EXPECT_FALSE(FindDataSx(tree_.Path("missing"), &record, 0));
  EXPECT_FALSE(FindDataSx(plain, nullptr, 0));
}

TEST_F(FileTestsTest, FindDataSizeIsOneLittleEndianValue) {
  const std::string path = tree_.File("big.bin", "");
  fs::resize_file(path, 5000000000ull);  // sparse: no disk space used
  support::FindData record;
  ASSERT_TRUE(FindDataSx(path, &record, 1));
  EXPECT_EQ(record.size, 5000000000ull);
  uint32_t words[2];
  std::memcpy(words, &record.size, sizeof(words));
  if constexpr (std::endian::native == std::endian::little) {
    EXPECT_EQ(words[0], 705032704u);
    EXPECT_EQ(words[1], 1u);
  }
}

TEST(MsecTextTest, BuildsFromTheFirstNonZeroUnit) {
  EXPECT_EQ(MsecTextSx(0), "0 ms");
  EXPECT_EQ(MsecTextSx(250), "250 ms");
  EXPECT_EQ(MsecTextSx(1000), "1 s 0 ms");
  EXPECT_EQ(MsecTextSx(5250), "5 s 250 ms");
  EXPECT_EQ(MsecTextSx(60000), "1 m 0 s 0 ms");
  EXPECT_EQ(MsecTextSx(3600005), "1 h 0 m 0 s 5 ms");
  EXPECT_EQ(MsecTextSx(90061001), "25 h 1 m 1 s 1 ms");
}

TEST(MsecTextTest, NegativeDurationsKeepTheirParts) {
  EXPECT_EQ(MsecTextSx(-5250), "-5 s 250 ms");
  EXPECT_EQ(MsecTextSx(-1), "-1 ms");
  EXPECT_EQ(MsecTextSx(INT64_MIN), "-2562047788015 h 12 m 55 s 808 ms");
  EXPECT_EQ(MsecTextSx(INT64_MAX), "2562047788015 h 12 m 55 s 807 ms");
}

TEST(FileTimeTextTest, FourForms) {
  const uint64_t time = 127017831010070000ull;  // 2003-07-04 09:05:01.007 UTC
  EXPECT_EQ(FileTimeTextSx(time, 0), "2003-07-04 09:05:01");
  EXPECT_EQ(FileTimeTextSx(time, 1), "2003-07-04 09:05:01.007");
  EXPECT_EQ(FileTimeTextSx(time, 2), "2003-07-04 09:05");
  EXPECT_EQ(FileTimeTextSx(time, 3), "2003-07-04");
  EXPECT_EQ(FileTimeTextSx(time, 9), "2003-07-04 09:05:01.007");
}

TEST(FileTimeTextTest, Boundaries) {
  EXPECT_EQ(FileTimeTextSx(0, 1), "1601-01-01 00:00:00.000");
  // The last tick of a leap day; sub-millisecond ticks are cut, not rounded.
  EXPECT_EQ(FileTimeTextSx(133537247999999999ull, 1), "2024-02-29 23:59:59.999");
}

}  // namespace

}  // namespace support
