#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

#include "common/temp_tree.h"
#include "common/test_os.h"
#include "platform/clock.h"
#include "platform/memory.h"
#include "platform/paths.h"

namespace {

using platform::EntryKind;
using platform::FileInfo;
using testing_support::TempTree;

class FilesTest : public ::testing::Test {
 protected:
  TempTree tree_;
};

TEST_F(FilesTest, StatPathMapsAttributesSizeAndKind) {
  const std::string file = tree_.File("a.txt", "hello");
  FileInfo info;
  ASSERT_TRUE(platform::StatPath(file, &info));
  EXPECT_EQ(info.kind, EntryKind::kFile);
  EXPECT_EQ(info.attributes, platform::kAttrArchive);
  EXPECT_EQ(info.size, 5u);
  EXPECT_GT(info.last_write_time, 116444736000000000ULL);  // after 1970
  EXPECT_GE(info.last_write_time, info.creation_time - 10000000ULL * 3600);

  chmod(file.c_str(), 0444);
  ASSERT_TRUE(platform::StatPath(file, &info));
  EXPECT_EQ(info.attributes, platform::kAttrArchive | platform::kAttrReadOnly);

  ASSERT_TRUE(platform::StatPath(tree_.File(".hidden", "x"), &info));
  EXPECT_EQ(info.attributes, platform::kAttrArchive | platform::kAttrHidden);

  const std::string dir = tree_.Dir("sub");
  ASSERT_TRUE(platform::StatPath(dir, &info));  // with trailing "/"
  EXPECT_EQ(info.kind, EntryKind::kDirectory);
  EXPECT_EQ(info.attributes, platform::kAttrDirectory);
  EXPECT_EQ(info.size, 0u);
}

TEST_F(FilesTest, LinksAndSpecialFilesAreNeverCatalogued) {
  const std::string file = tree_.File("real", "data");
  const std::string dir = tree_.Dir("d");
  ASSERT_EQ(testing_support::MakeSymlink(file, tree_.Path("link")), 0);
  ASSERT_EQ(testing_support::MakeSymlink(dir, tree_.Path("dlink")), 0);
  ASSERT_EQ(testing_support::MakeSymlink("/nowhere/at/all", tree_.Path("dangling")), 0);
  ASSERT_EQ(testing_support::MakeFifo(tree_.Path("fifo")), 0);
  FileInfo info;
  EXPECT_FALSE(platform::StatPath(tree_.Path("link"), &info));
  EXPECT_FALSE(platform::StatPath(tree_.Path("dlink"), &info));
  EXPECT_FALSE(platform::StatPath(tree_.Path("dlink/"), &info));
  EXPECT_FALSE(platform::StatPath(tree_.Path("dlink//"), &info));
  EXPECT_FALSE(platform::StatPath(file + "/", &info));
  EXPECT_FALSE(platform::StatPath(tree_.Path("dangling"), &info));
  EXPECT_FALSE(platform::StatPath(tree_.Path("fifo"), &info));
  EXPECT_FALSE(platform::StatPath(tree_.Path("missing"), &info));

  platform::File f;
  EXPECT_FALSE(f.Open(tree_.Path("fifo"), platform::OpenMode::kRead));  // must not block
  EXPECT_FALSE(f.Open(tree_.Path("link"), platform::OpenMode::kRead));
  EXPECT_FALSE(f.Open(dir, platform::OpenMode::kRead));

  platform::DirReader reader;
  ASSERT_TRUE(reader.Open(tree_.root()));
  std::set<std::string> files, dirs, others;
  std::string_view name;
  EntryKind kind;
  while (reader.Next(&name, &kind)) {
    (kind == EntryKind::kFile ? files : kind == EntryKind::kDirectory ? dirs : others)
        .insert(std::string(name));
  }
  EXPECT_EQ(files, (std::set<std::string>{"real"}));
  EXPECT_EQ(dirs, (std::set<std::string>{"d"}));
  EXPECT_EQ(others, (std::set<std::string>{"link", "dlink", "dangling", "fifo"}));
  EXPECT_FALSE(reader.Open(tree_.Path("dlink")));  // a link to a directory is not walked
}

TEST_F(FilesTest, DirReaderStatsRelativeToTheOpenDirectory) {
  tree_.File("sub/x y.bin", std::string(1000, 'x'));
  platform::DirReader reader;
  ASSERT_TRUE(reader.Open(tree_.Path("sub")));
  FileInfo info;
  ASSERT_TRUE(reader.Stat("x y.bin", &info));
  EXPECT_EQ(info.size, 1000u);
  EXPECT_FALSE(reader.Stat("nope", &info));
  EXPECT_FALSE(platform::DirReader().Open(tree_.Path("missing")));
}

TEST_F(FilesTest, FindFirstHonoursWildcardsInTheLastComponent) {
  tree_.File("one.dat", "1");
  tree_.Dir("two.dat");
  FileInfo info;
  std::string name;
  ASSERT_TRUE(platform::FindFirst(tree_.Path("*.dat"), &info, &name));
  EXPECT_TRUE(name == "one.dat" || name == "two.dat");
  ASSERT_TRUE(platform::FindFirst(tree_.Path("on?.dat"), &info, &name));
  EXPECT_EQ(name, "one.dat");
  EXPECT_FALSE(platform::FindFirst(tree_.Path("*.none"), &info, &name));
  EXPECT_FALSE(platform::FindFirst(tree_.Path("missing/*.dat"), &info, &name));
}

TEST_F(FilesTest, ReadWriteSeekSizeAndReserve) {
  const std::string path = tree_.Path("list.v00");
  platform::File f;
  ASSERT_TRUE(f.Open(path, platform::OpenMode::kCreateTruncate));
  ASSERT_TRUE(f.Write("hello world"));
  ASSERT_TRUE(f.Close());

  ASSERT_TRUE(f.Open(path, platform::OpenMode::kReadWriteLocked));
  EXPECT_EQ(f.Size(), 11);
  EXPECT_EQ(f.SeekEnd(), 11);
  ASSERT_TRUE(f.Reserve(11 + 512));
  EXPECT_EQ(f.Size(), 523);
  EXPECT_EQ(f.Position(), 11);
  ASSERT_TRUE(f.Write("!"));
  ASSERT_TRUE(f.SetSize(f.Position()));
  EXPECT_EQ(f.Seek(6), 6);
  char buffer[16] = {};
  EXPECT_EQ(f.Read(buffer, sizeof buffer), 6);
  EXPECT_EQ(std::string(buffer, 6), "world!");
  FileInfo info;
  ASSERT_TRUE(f.Stat(&info));
  EXPECT_EQ(info.size, 12u);

  // A second run on the same list is refused while the first holds it.
  platform::File other;
  EXPECT_FALSE(other.Open(path, platform::OpenMode::kReadWriteLocked));
  EXPECT_FALSE(other.ErrorText().empty());
  f.Close();
  EXPECT_TRUE(other.Open(path, platform::OpenMode::kReadWriteLocked));
}

int64_t FailingRead(platform::NativeHandle, void*, size_t) {
  errno = EIO;
  return -1;
}

TEST_F(FilesTest, ReadHookInjectsErrors) {
  const std::string path = tree_.File("f", "abcdef");
  platform::File f;
  ASSERT_TRUE(f.Open(path, platform::OpenMode::kRead));
  platform::SetReadHookForTesting(&FailingRead);
  char buffer[8];
  EXPECT_EQ(f.Read(buffer, sizeof buffer), -1);
  platform::SetReadHookForTesting(nullptr);
  EXPECT_EQ(f.Read(buffer, sizeof buffer), 6);
}

// A read to the end looks at its stop between requests: the first one asks to stop.
std::atomic<bool> g_stop_read{false};
int64_t ReadThenAskToStop(platform::NativeHandle fd, void* buffer, size_t size) {
  g_stop_read = true;
  return platform::ReadHandle(fd, buffer, size);
}

TEST_F(FilesTest, ReadToEndStopsBetweenBuffers) {
  const std::string path = tree_.File("big", std::string(24 << 20, 'x'));
  for (const bool stop_asked : {false, true}) {
    platform::File f;
    ASSERT_TRUE(f.Open(path, platform::OpenMode::kRead));
    g_stop_read = false;
    platform::SetReadHookForTesting(stop_asked ? &ReadThenAskToStop : nullptr);
    std::unique_ptr<char[]> data;
    size_t size = 0;
    EXPECT_EQ(f.ReadToEnd(&data, &size, &g_stop_read), !stop_asked);
    platform::SetReadHookForTesting(nullptr);
    EXPECT_EQ(f.ErrorText(), stop_asked ? platform::kStoppedText : "");
    EXPECT_EQ(size, stop_asked ? 0 : size_t{24 << 20});
  }
}

TEST_F(FilesTest, WholeFilesAndDirectories) {
  const std::string dir = tree_.Path("a/b/c");
  ASSERT_TRUE(platform::MakeDirs(dir));
  ASSERT_TRUE(platform::MakeDirs(dir + "/"));
  ASSERT_TRUE(platform::WriteWholeFile(dir + "/f", std::string("x\0y", 3)));
  std::string data;
  ASSERT_TRUE(platform::ReadWholeFile(dir + "/f", &data));
  EXPECT_EQ(data, std::string("x\0y", 3));
  EXPECT_FALSE(platform::ReadWholeFile(dir + "/missing", &data));
  EXPECT_FALSE(platform::MakeDirs(dir + "/f/g"));
}

TEST(MemoryTest, RegionsAreWholePagesAndKnowTheirSize) {
  void* r = platform::MapRegion(1);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(platform::RegionSize(r), platform::PageSize());
  static_cast<char*>(r)[platform::PageSize() - 1] = 1;
  EXPECT_TRUE(platform::UnmapRegion(r));
  EXPECT_FALSE(platform::UnmapRegion(r));
  EXPECT_EQ(platform::RegionSize(r), 0u);
  EXPECT_EQ(platform::MapRegion(0), nullptr);
  EXPECT_GT(platform::AvailableMemory(), 0u);
}

TEST(ClockTest, FileTimesConvertToUtcCalendarFields) {
  platform::DateTime t;
  ASSERT_TRUE(platform::FileTimeToDateTime(0, &t));
  EXPECT_EQ(t.year, 1601);
  EXPECT_EQ(t.month, 1);
  EXPECT_EQ(t.day, 1);
  // 2003-07-04 09:05:01.007 UTC
  const uint64_t unix_seconds = 1057309501;
  const uint64_t ft = (unix_seconds + 11644473600ULL) * 10000000ULL + 70000;
  ASSERT_TRUE(platform::FileTimeToDateTime(ft, &t));
  EXPECT_EQ(t.year, 2003);
  EXPECT_EQ(t.month, 7);
  EXPECT_EQ(t.day, 4);
  EXPECT_EQ(t.hour, 9);
  EXPECT_EQ(t.minute, 5);
  EXPECT_EQ(t.second, 1);
  EXPECT_EQ(t.millisecond, 7);
  EXPECT_FALSE(platform::FileTimeToDateTime(0x8000000000000000ULL, &t));
  EXPECT_GT(platform::NowSerial(), 45000.0);  // after 2023
}

TEST(PathsTest, AbsoluteAndResolvedPaths) {
  const std::string cwd = platform::CurrentDir();
  ASSERT_FALSE(cwd.empty());
  EXPECT_EQ(cwd.back(), '/');
  EXPECT_EQ(platform::AbsolutePath("x/y"), cwd + "x/y");
  EXPECT_EQ(platform::AbsolutePath("/a/b"), "/a/b");
  EXPECT_EQ(platform::AbsolutePath("./z"), cwd + "z");

  TempTree tree;
  tree.Dir("real/inner");
  ASSERT_EQ(testing_support::MakeSymlink(tree.Path("real"), tree.Path("alias")), 0);
  const std::string resolved_root = platform::ResolveExisting(tree.root());
  EXPECT_EQ(platform::ResolveExisting(tree.Path("alias/inner/missing/more/")),
            resolved_root + "real/inner/missing/more/");
  EXPECT_EQ(platform::ResolveExisting("/"), "/");
  EXPECT_FALSE(platform::ExecutablePath().empty());
}

}  // namespace

namespace {

// A file opened as the walk found it: never through a link, never blocking on a FIFO, and
// whatever was swapped in since shows when asked, not before.
TEST_F(FilesTest, ListedFileOpensWithoutAskingAndReadsAtAnyOffset) {
  const std::string file = tree_.File("data", "0123456789");
  ASSERT_EQ(testing_support::MakeSymlink(file, tree_.Path("link")), 0);
  ASSERT_EQ(testing_support::MakeFifo(tree_.Path("fifo")), 0);
  const std::string dir = tree_.Dir("sub");
  platform::DirReader reader;
  ASSERT_TRUE(reader.Open(tree_.root()));

  platform::File f;
  EXPECT_FALSE(f.OpenAt(reader, "link", platform::OpenMode::kReadListed));
  EXPECT_FALSE(f.OpenAt(reader, "missing", platform::OpenMode::kReadListed));
  ASSERT_TRUE(f.OpenAt(reader, "fifo", platform::OpenMode::kReadListed));  // must not block
  char bytes[16] = {};
  EXPECT_LE(f.Read(bytes, sizeof bytes), 0);
  FileInfo info;
  EXPECT_FALSE(f.Stat(&info));  // a FIFO is no file of ours
  ASSERT_TRUE(f.OpenAt(reader, "sub", platform::OpenMode::kReadListed));
  EXPECT_LT(f.Read(bytes, sizeof bytes), 0);
  ASSERT_TRUE(f.Stat(&info));
  EXPECT_EQ(info.kind, EntryKind::kDirectory);

  ASSERT_TRUE(f.OpenAt(reader, "data", platform::OpenMode::kReadListed));
  EXPECT_EQ(f.ReadAt(bytes, 4, 6), 4);
  EXPECT_EQ(std::string(bytes, 4), "6789");
  EXPECT_EQ(f.ReadAt(bytes, 8, 7), 3);  // to the end only
  EXPECT_EQ(std::string(bytes, 3), "789");
  EXPECT_EQ(f.ReadAt(bytes, 4, 20), 0);
  // Positioned reads leave the position alone.
  EXPECT_EQ(f.Read(bytes, 3), 3);
  EXPECT_EQ(std::string(bytes, 3), "012");
  ASSERT_TRUE(f.Stat(&info));
  EXPECT_EQ(info.size, 10u);
}

// A file of `size` bytes on the disk, none of it left in the page cache; false where the
// temp dir keeps its files in memory (tmpfs), which no drop can change.
bool WriteUncached(const std::string& path, uint64_t size) {
  platform::File file;
  if (!file.Open(path, platform::OpenMode::kCreateTruncate) ||
      !file.Write(std::string(size, 'x')) || !file.Sync() || !file.DropCache(0, 0)) {
    return false;
  }
  platform::CacheUsage usage;
  return file.CacheUsageOf(0, 0, &usage) && usage.resident == 0;
}

// Both ways of asking, cachestat and mincore, see the pages a read brings in, range by
// range, and none after a drop.
TEST_F(FilesTest, CacheUsageFollowsReadsAndDrops) {
  constexpr uint64_t kMiB = 1048576;
  const std::string path = tree_.Path("cached");
  if (!WriteUncached(path, 4 * kMiB)) GTEST_SKIP() << tree_.root() << " cannot drop its pages";
  for (const bool mincore : {false, true}) {
    SCOPED_TRACE(mincore ? "mincore" : "cachestat");
    platform::SetNoCachestatForTesting(mincore);
    platform::File file;
    ASSERT_TRUE(file.Open(path, platform::OpenMode::kRead));
    std::string buffer(kMiB, '\0');
    ASSERT_EQ(file.ReadAt(buffer.data(), kMiB, static_cast<int64_t>(kMiB)), int64_t(kMiB));
    platform::CacheUsage usage;
    ASSERT_TRUE(file.CacheUsageOf(kMiB, kMiB, &usage));
    EXPECT_EQ(usage.resident, kMiB);
    EXPECT_EQ(usage.dirty_known, !mincore);
    // Read-ahead may have taken some of the next MiB, never anything before.
    ASSERT_TRUE(file.CacheUsageOf(0, kMiB, &usage));
    EXPECT_EQ(usage.resident, 0u);
    ASSERT_TRUE(file.DropCache(0, 0));
    ASSERT_TRUE(file.CacheUsageOf(0, 0, &usage));
    EXPECT_EQ(usage.resident, 0u);
  }
  platform::SetNoCachestatForTesting(false);
}

TEST_F(FilesTest, CacheUsageCountsPagesNotYetOnTheDisk) {
  const std::string path = tree_.Path("written");
  platform::File file;
  ASSERT_TRUE(file.Open(path, platform::OpenMode::kCreateTruncate));
  ASSERT_TRUE(file.Write(std::string(1048576, 'x')));
  platform::CacheUsage usage;
  ASSERT_TRUE(file.CacheUsageOf(0, 0, &usage));
  if (!usage.dirty_known) GTEST_SKIP() << "no cachestat: dirty pages cannot be told";
  EXPECT_GT(usage.dirty, 0u);
  ASSERT_TRUE(file.Sync());
  ASSERT_TRUE(file.CacheUsageOf(0, 0, &usage));
  EXPECT_EQ(usage.dirty, 0u);
}

}  // namespace
