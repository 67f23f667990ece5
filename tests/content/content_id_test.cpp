#include "content/content_id.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/dos_names.h"
#include "common/temp_tree.h"
#include "content/fold.h"
#include "content/literal_fold.h"
#include "platform/files.h"
#include "platform/memory.h"

namespace content {
namespace {

namespace fs = std::filesystem;
using testing_support::LiteralId;

struct Outcome {
  uint8_t code;
  uint32_t id;
  bool operator==(const Outcome& other) const { return code == other.code && id == other.id; }
};

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
  return out << "code " << int{outcome.code} << " id " << outcome.id;
}

// Runs FileChkSx; the id starts at a value the call must overwrite.
Outcome Check(const std::string& path, int32_t buffer_size = -1, void* buffer = nullptr,
              support::FindData* record = nullptr) {
  uint32_t id = 0xdeadbeef;
  support::FindData local;
  const uint8_t code = FileChkSx(path, &id, record ? record : &local, buffer_size, buffer, 1);
  return {code, id};
}

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng() % 3 == 0 ? 0 : rng());
  return bytes;
}

// A lent region from VirtAllocSx, released at the end of the test.
class Region {
 public:
  explicit Region(int64_t size) { committed_ = VirtAllocSx(&region_, -1, size); }
  ~Region() { VirtFreeSx(&region_, -1); }
  void* get() const { return region_; }
  int64_t committed() const { return committed_; }

 private:
  void* region_ = nullptr;
  int64_t committed_ = -1;
};

// Stands in for read(2): serves `data` from memory, remembers every request, and can
// fail or end early. Which file was opened does not matter to it.
struct FakeDisk {
  explicit FakeDisk(std::string contents) : data(std::move(contents)) {}

  std::string data;
  size_t position = 0;
  std::vector<size_t> requests;
  int fail_on_call = -1;              // this request (0-based) fails with EIO
  size_t end_at = std::string::npos;  // the file seems to end here

  static FakeDisk* current;
  static int64_t Read(platform::NativeHandle /*fd*/, void* buffer, size_t size) {
    FakeDisk& disk = *current;
    if (static_cast<int>(disk.requests.size()) == disk.fail_on_call) {
      disk.requests.push_back(size);
      errno = EIO;
      return -1;
    }
    disk.requests.push_back(size);
    const size_t end = std::min(disk.end_at, disk.data.size());
    const size_t n = disk.position >= end ? 0 : std::min(size, end - disk.position);
    std::memcpy(buffer, disk.data.data() + disk.position, n);
    disk.position += n;
    return static_cast<int64_t>(n);
  }
};
FakeDisk* FakeDisk::current = nullptr;

class HookedReads {
 public:
  explicit HookedReads(FakeDisk* disk) {
    FakeDisk::current = disk;
    platform::SetReadHookForTesting(&FakeDisk::Read);
  }
  ~HookedReads() {
    platform::SetReadHookForTesting(nullptr);
    FakeDisk::current = nullptr;
  }
};

class ContentIdTest : public ::testing::Test {
 protected:
  testing_support::TempTree tree_;
};

TEST_F(ContentIdTest, WorkedExamples) {
  EXPECT_EQ(Check(tree_.File("six", "abcdef")), (Outcome{kChkOk, 701218845}));
  EXPECT_EQ(Check(tree_.File("seven", "abcdefg")), (Outcome{kChkOk, 3506064315u}));
  EXPECT_EQ(Check(tree_.File("zeros10", std::string(10, '\0'))), (Outcome{kChkOk, 120}));
  EXPECT_EQ(Check(tree_.File("zeros600", std::string(600, '\0'))),
            (Outcome{kChkOk, LiteralId(std::string(600, '\0'))}));
}

TEST_F(ContentIdTest, ShortFilesHaveNoId) {
  EXPECT_EQ(Check(tree_.File("empty", "")), (Outcome{kChkEmpty, 0}));
  for (size_t size = 1; size <= 5; ++size) {
    EXPECT_EQ(Check(tree_.File("short", std::string(size, 'x'))), (Outcome{kChkTooShort, 0}))
        << size;
  }
  EXPECT_EQ(Check(tree_.File("short", "xxxxxx")).code, kChkOk);
}

TEST_F(ContentIdTest, RecordDescribesTheFile) {
  const std::string path = tree_.File("sub/name with spaces \xc3\xa4.txt", "abcdefg");
  support::FindData record;
  record.short_name = "left over";
  EXPECT_EQ(Check(path, -1, nullptr, &record), (Outcome{kChkOk, 3506064315u}));
  EXPECT_EQ(record.name, "name with spaces \xc3\xa4.txt");
  // The name holds blanks, so it is no 8.3 name: only Windows keeps an alternate one.
  if (testing_support::kAlternateNames) {
    EXPECT_TRUE(testing_support::IsEightDotThree(record.short_name)) << record.short_name;
  } else {
    EXPECT_EQ(record.short_name, "");
  }
  EXPECT_EQ(record.size, 7u);
  EXPECT_EQ(record.attributes, platform::kAttrArchive);
  EXPECT_NE(record.last_write_time, 0u);
}

TEST_F(ContentIdTest, WhatIsNeverCataloguedIsNotFound) {
  const std::string file = tree_.File("real", "abcdefgh");
  EXPECT_EQ(Check(tree_.Dir("dir")), (Outcome{kChkNotFound, 0}));
  EXPECT_EQ(Check(tree_.Path("dir")), (Outcome{kChkNotFound, 0}));
  EXPECT_EQ(Check(tree_.Path("missing")), (Outcome{kChkNotFound, 0}));
  EXPECT_EQ(Check(tree_.Path("missing/deeper")), (Outcome{kChkNotFound, 0}));
  fs::create_symlink(file, tree_.Path("link"));
  EXPECT_EQ(Check(tree_.Path("link")), (Outcome{kChkNotFound, 0}));
  fs::create_symlink(tree_.Path("nowhere"), tree_.Path("dangling"));
  EXPECT_EQ(Check(tree_.Path("dangling")), (Outcome{kChkNotFound, 0}));
}

TEST_F(ContentIdTest, UnreadableFileFailsToOpenAfterTheSizeTests) {
  const std::string big = tree_.File("big", "abcdefgh");
  const std::string tiny = tree_.File("tiny", "abc");
  const std::string empty = tree_.File("empty", "");
  for (const std::string& path : {big, tiny, empty}) fs::permissions(path, fs::perms::none);
  if (std::ifstream(big).is_open()) GTEST_SKIP() << "running with rights to read anything";
  support::FindData record;
  EXPECT_EQ(Check(big, -1, nullptr, &record), (Outcome{kChkOpenFailed, 0}));
  EXPECT_EQ(record.size, 8u);
  EXPECT_EQ(record.name, "big");
  EXPECT_EQ(Check(tiny), (Outcome{kChkTooShort, 0}));
  EXPECT_EQ(Check(empty), (Outcome{kChkEmpty, 0}));
  Region region(8192);
  EXPECT_EQ(Check(big, -1, region.get()), (Outcome{kChkOpenFailed, 0}));
}

TEST_F(ContentIdTest, FoundButNotOpenable) {
  // The lookup forgives blanks and a trailing "/" that the open does not.
  tree_.File("f", "abcdefgh");
  tree_.File("e", "");
  support::FindData record;
  EXPECT_EQ(Check(tree_.Path("f "), -1, nullptr, &record), (Outcome{kChkOpenFailed, 0}));
  EXPECT_EQ(record.name, "f");
  EXPECT_EQ(record.size, 8u);
  EXPECT_EQ(Check(tree_.Path("f/")), (Outcome{kChkOpenFailed, 0}));
  EXPECT_EQ(Check(tree_.Path("e ")), (Outcome{kChkEmpty, 0}));
}

TEST_F(ContentIdTest, LentBufferReadsInItsChunksAndGivesTheSameId) {
  const std::string bytes = RandomBytes(20001, 1);
  const std::string path = tree_.File("f", bytes);
  const Outcome expected{kChkOk, LiteralId(bytes)};
  EXPECT_EQ(Check(path), expected);

  Region region(8192);
  ASSERT_EQ(region.committed(), 8192);
  FakeDisk disk{bytes};
  {
    HookedReads hooked(&disk);
    EXPECT_EQ(Check(path, -1, region.get()), expected);
  }
  EXPECT_EQ(disk.requests, (std::vector<size_t>{8192, 8192, 3616, 1}));

  // An own buffer takes the whole even part in one read.
  disk = FakeDisk{bytes};
  {
    HookedReads hooked(&disk);
    EXPECT_EQ(Check(path), expected);
  }
  EXPECT_EQ(disk.requests, (std::vector<size_t>{20000, 1}));

  // Two bytes left after the last full chunk are read as one word.
  const std::string two_over = RandomBytes(8194, 8);
  disk = FakeDisk{two_over};
  {
    HookedReads hooked(&disk);
    EXPECT_EQ(Check(tree_.File("g", two_over), -1, region.get()),
              (Outcome{kChkOk, LiteralId(two_over)}));
  }
  EXPECT_EQ(disk.requests, (std::vector<size_t>{8192, 2}));
}

TEST_F(ContentIdTest, ExactMultipleOfTheChunkNeedsNoFurtherRead) {
  const std::string bytes = RandomBytes(16384, 2);
  const std::string path = tree_.File("f", bytes);
  Region region(8192);
  FakeDisk disk{bytes};
  {
    HookedReads hooked(&disk);
    EXPECT_EQ(Check(path, 8192, region.get()), (Outcome{kChkOk, LiteralId(bytes)}));
  }
  EXPECT_EQ(disk.requests, (std::vector<size_t>{8192, 8192}));
}

TEST_F(ContentIdTest, LentSizesAreEvenAndNeverPastTheRegion) {
  const std::string bytes = RandomBytes(10002, 3);
  const std::string path = tree_.File("f", bytes);
  const Outcome expected{kChkOk, LiteralId(bytes)};
  Region region(4096);
  struct Case {
    int32_t size;
    std::vector<size_t> reads;
  };
  for (const Case& c : {Case{3001, {3000, 3000, 3000, 1002}}, Case{1, {4096, 4096, 1810}},
                        Case{0, {4096, 4096, 1810}}, Case{100000, {4096, 4096, 1810}},
                        Case{4095, {4094, 4094, 1814}}, Case{10004, {4096, 4096, 1810}}}) {
    FakeDisk disk{bytes};
    {
      HookedReads hooked(&disk);
      EXPECT_EQ(Check(path, c.size, region.get()), expected) << c.size;
    }
    EXPECT_EQ(disk.requests, c.reads) << c.size;
  }
}

TEST_F(ContentIdTest, LentBufferOfUnknownSize) {
  const std::string path = tree_.File("f", "abcdefgh");
  std::vector<char> plain(64);
  EXPECT_EQ(Check(path, -1, plain.data()), (Outcome{kChkBufferSizeFailed, 0}));
  EXPECT_EQ(Check(path, 64, plain.data()), (Outcome{kChkOk, LiteralId("abcdefgh")}));
}

TEST_F(ContentIdTest, OwnBufferOfAGivenSize) {
  const std::string bytes = RandomBytes(7001, 4);
  const std::string path = tree_.File("f", bytes);
  FakeDisk disk{bytes};
  {
    HookedReads hooked(&disk);
    EXPECT_EQ(Check(path, 2001), (Outcome{kChkOk, LiteralId(bytes)}));
  }
  EXPECT_EQ(disk.requests, (std::vector<size_t>{2000, 2000, 2000, 1000, 1}));
}

TEST_F(ContentIdTest, OwnBufferStaysWithinAFewMegabytes) {
  const std::string bytes = RandomBytes((size_t{4} << 20) + 3, 10);
  const std::string path = tree_.File("f", bytes);
  for (int32_t size : {-1, 3, 100 << 20}) {
    FakeDisk disk{bytes};
    {
      HookedReads hooked(&disk);
      EXPECT_EQ(Check(path, size), (Outcome{kChkOk, LiteralId(bytes)})) << size;
    }
    EXPECT_EQ(disk.requests, (std::vector<size_t>{4194304, 2, 1})) << size;
  }
}

TEST_F(ContentIdTest, SameIdForEveryBufferSize) {
  for (size_t size : {size_t{6}, size_t{7}, size_t{8193}, size_t{512001}, size_t{1536000},
                      size_t{3} << 20, (size_t{5} << 20) + 1}) {
    const std::string bytes = RandomBytes(size, static_cast<uint32_t>(size));
    const std::string path = tree_.File("f", bytes);
    const Outcome expected{kChkOk, LiteralId(bytes)};
    EXPECT_EQ(Check(path), expected) << size;
    for (int64_t lent : {int64_t{8192}, int64_t{512000}, int64_t{64} << 20}) {
      Region region(lent);
      EXPECT_EQ(Check(path, -1, region.get()), expected) << size << " in " << lent;
      EXPECT_EQ(Check(path, 4098, region.get()), expected) << size << " in 4098 of " << lent;
    }
  }
}

TEST_F(ContentIdTest, ZeroRunsAndFullWordsAcrossLargeChunks) {
  // Past one 64 MiB chunk, with runs of zero words and of 65535 across every boundary.
  const std::string block = testing_support::MixedBytes((size_t{1} << 20) + 7, 9);
  std::string bytes;
  while (bytes.size() < (size_t{64} << 20)) bytes += block;
  bytes.resize((size_t{64} << 20) + 3);
  const std::string path = tree_.File("big", bytes);
  const Outcome expected{kChkOk, LiteralId(bytes)};
  EXPECT_EQ(Check(path), expected);
  for (int64_t lent : {int64_t{8192}, int64_t{512000}, int64_t{64} << 20}) {
    Region region(lent);
    EXPECT_EQ(Check(path, -1, region.get()), expected) << lent;
  }
}

TEST_F(ContentIdTest, ReadErrorMidFile) {
  const std::string bytes = RandomBytes(20001, 5);
  const std::string path = tree_.File("f", bytes);
  Region region(8192);
  for (int failing : {0, 1, 2, 3}) {  // the last one is the tail byte
    FakeDisk disk{bytes};
    disk.fail_on_call = failing;
    support::FindData record;
    {
      HookedReads hooked(&disk);
      EXPECT_EQ(Check(path, -1, region.get(), &record), (Outcome{kChkReadError, 0})) << failing;
    }
    EXPECT_EQ(disk.requests.size(), static_cast<size_t>(failing + 1));
    EXPECT_EQ(record.size, 20001u);
  }
}

TEST_F(ContentIdTest, FileThatShrinksWhileReadHasNoId) {
  const std::string bytes = RandomBytes(20001, 6);
  const std::string path = tree_.File("f", bytes);
  Region region(8192);
  for (size_t end : {size_t{0}, size_t{8192}, size_t{10001}, size_t{20000}}) {
    FakeDisk disk{bytes};
    disk.end_at = end;
    HookedReads hooked(&disk);
    EXPECT_EQ(Check(path, -1, region.get()), (Outcome{kChkOk, 0})) << end;
  }
}

TEST_F(ContentIdTest, BytesBeyondTheRecordedSizeAreNotRead) {
  const std::string bytes = RandomBytes(9000, 7);
  const std::string path = tree_.File("f", bytes);
  FakeDisk disk{bytes + "grown later"};
  HookedReads hooked(&disk);
  EXPECT_EQ(Check(path), (Outcome{kChkOk, LiteralId(bytes)}));
  EXPECT_EQ(disk.position, 9000u);
}

TEST(ReadBufferTest, AllocSizeAndFree) {
  void* region = nullptr;
  EXPECT_EQ(VirtSizeSx(region), 0);
  EXPECT_TRUE(VirtFreeSx(&region, -1));
  EXPECT_EQ(VirtAllocSx(&region, 0, 0), -1);
  EXPECT_EQ(region, nullptr);

  EXPECT_EQ(VirtAllocSx(&region, 0x1ab, 5000), 8192);
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(VirtSizeSx(region), 8192);
  const auto* bytes = static_cast<const unsigned char*>(region);
  EXPECT_EQ(bytes[0], 0xab);
  EXPECT_EQ(bytes[8191], 0xab);

  // A second allocation releases the first.
  EXPECT_EQ(VirtAllocSx(&region, -1, 512000), 512000);
  EXPECT_EQ(VirtSizeSx(region), 512000);
  EXPECT_TRUE(VirtFreeSx(&region, 1));
  EXPECT_EQ(region, nullptr);
  EXPECT_EQ(VirtSizeSx(region), 0);
}

TEST(ReadBufferTest, RefusedAllocationLeavesTheRegionClear) {
  void* region = nullptr;
  ASSERT_EQ(VirtAllocSx(&region, -1, 8192), 8192);
  platform::SetMapRefusalForTesting([](uint64_t) { return true; });
  // The old region is released first, and nothing takes its place.
  EXPECT_EQ(VirtAllocSx(&region, -1, 8192), -1);
  platform::SetMapRefusalForTesting(nullptr);
  EXPECT_EQ(region, nullptr);
}

TEST(ReadBufferTest, ForeignMemoryIsNotARegion) {
  char plain[16] = {};
  void* region = plain;
  EXPECT_EQ(VirtSizeSx(region), 0);
  EXPECT_FALSE(VirtFreeSx(&region, -1));
  EXPECT_EQ(region, nullptr);
  region = plain;
  EXPECT_EQ(VirtAllocSx(&region, -1, 4096), -1);
}

// Bytes this process has caused to be read from a device; -1 when the system keeps no
// count.
int64_t DeviceReadBytes() {
  std::ifstream io("/proc/self/io");
  std::string key;
  int64_t value = 0;
  while (io >> key >> value) {
    if (key == "read_bytes:") return value;
  }
  return -1;
}

uint64_t Resident(const std::string& path) {
  platform::File file;
  platform::CacheUsage usage;
  if (!file.Open(path, platform::OpenMode::kRead) || !file.CacheUsageOf(0, 0, &usage)) return 0;
  return usage.resident;
}

// A file mapped and read through the mapping, as a viewer holds one: its pages stay.
class MappedFile {
 public:
  MappedFile(const std::string& path, bool map) {
    if (!map) return;
    EXPECT_TRUE(file_.Open(path)) << path << ": " << file_.ErrorText();
    volatile uint32_t sum = 0;
    for (uint64_t at = 0; at < file_.size(); at += 4096) {
      sum = sum + static_cast<uint8_t>(file_.data()[at]);
    }
  }

 private:
  platform::MappedFile file_;
};

// How a case reads the file: in one read, in several through a smaller buffer, or in
// parts as the readers read a large file.
enum class HowRead { kOne, kChunks, kParts };

struct CacheCase {
  const char* what;
  CacheUse cache;
  bool warm_before;  // the whole file cached before the read
  HowRead how;
  bool from_device;  // expected: the read came from the device
  bool warm_after;   // expected: the file is cached after it (else nearly none of it)
};

// The page cache after a read is as the policy says, and the bytes come from where it
// says: a scan leaves what it found, verify reads the device.
TEST_F(ContentIdTest, ReadsLeaveThePageCacheAsTheirPolicySays) {
  constexpr uint64_t kSize = 4 * 1048576;
  constexpr uint64_t kMargin = kSize / 20;
  const CacheCase cases[] = {
      {"scan, cold", CacheUse::kDropBehind, false, HowRead::kOne, true, false},
      {"scan, cold, in chunks", CacheUse::kDropBehind, false, HowRead::kChunks, true, false},
      {"scan, cold, in parts", CacheUse::kDropBehind, false, HowRead::kParts, true, false},
      {"scan, warm", CacheUse::kDropBehind, true, HowRead::kOne, false, true},
      {"scan, warm, in chunks", CacheUse::kDropBehind, true, HowRead::kChunks, false, true},
      {"scan, warm, in parts", CacheUse::kDropBehind, true, HowRead::kParts, false, true},
      {"through the cache, cold", CacheUse::kKeep, false, HowRead::kOne, true, true},
      {"verify, cold", CacheUse::kDevice, false, HowRead::kOne, true, false},
      {"verify, warm", CacheUse::kDevice, true, HowRead::kOne, true, true},
      {"verify, warm, in parts", CacheUse::kDevice, true, HowRead::kParts, true, true},
  };
  const std::string path = tree_.File("big", RandomBytes(kSize, 7));
  platform::DirHandle dir;
  ASSERT_TRUE(dir.Open(tree_.root()));
  platform::FileInfo info;
  ASSERT_TRUE(platform::StatPath(path, &info));
  const ListedFile listed = ListedFileOf(info);
  {
    platform::File file;
    ASSERT_TRUE(file.Open(path, platform::OpenMode::kRead));
    ASSERT_TRUE(file.Sync());
    ASSERT_TRUE(file.DropCache(0, 0));
  }
  if (Resident(path) != 0 || DeviceReadBytes() < 0) {
    GTEST_SKIP() << tree_.root() << " keeps its files in memory, or reads are not counted";
  }
  for (const CacheCase& c : cases) {
    SCOPED_TRACE(c.what);
    platform::File file;
    ASSERT_TRUE(file.Open(path, platform::OpenMode::kRead));
    file.DropCache(0, 0);
    if (c.warm_before) {
      ASSERT_EQ(testing_support::TempTree::Read(path).size(), kSize);
    }
    const int64_t before = DeviceReadBytes();
    uint32_t id = 0;
    if (c.how == HowRead::kParts) {
      platform::File listed_file;
      ASSERT_EQ(OpenListedFile(dir, "big", &listed_file), kChkOk);
      bool drop_after = false;
      ASSERT_EQ(PrepareListedRead(listed_file, kSize, c.cache, &drop_after), kChkOk);
      FoldState state;
      for (uint64_t at = 0; at < kSize; at += 1048576) {
        ASSERT_EQ(FoldFileRange(listed_file, at, 1048576, {}, {}, &state), kChkOk);
      }
      EndListedRead(listed_file, drop_after);
    } else {
      std::vector<uint8_t> buffer(c.how == HowRead::kOne ? kSize : kSize / 4);
      FirstBytes first;
      ASSERT_EQ(FileChkListed(dir, "big", listed, LentBuffer{buffer.data(), buffer.size()}, {}, &id,
                              &first, nullptr, c.cache),
                kChkOk);
    }
    const uint64_t read = static_cast<uint64_t>(DeviceReadBytes() - before);
    // Within a margin: the page cache is the whole machine's.
    EXPECT_EQ(read >= kSize - kMargin, c.from_device) << read << " bytes read";
    EXPECT_EQ(read <= kMargin, !c.from_device) << read << " bytes read";
    const uint64_t resident = Resident(path);
    EXPECT_EQ(resident >= kSize - kMargin, c.warm_after) << resident << " bytes cached";
    EXPECT_EQ(resident <= kMargin, !c.warm_after) << resident << " bytes cached";
  }
}

}  // namespace

// Verify reads what the disk holds: a file written a moment ago goes to the disk first;
// one whose pages another process maps is read past them, or, where that is refused,
// from memory and said to be. Sizes around the read-past-cache unit and the buffer.
TEST_F(ContentIdTest, VerifyReadsWhatTheDiskHolds) {
  struct Case {
    const char* what;
    size_t size;
    bool mapped;
    bool refuse_past_cache;
    bool from_memory;  // expected
  };
  const Case cases[] = {
      {"written a moment ago", 16 * 1048576, false, false, false},
      {"written a moment ago, short", 5, false, false, false},
      {"mapped", 3 * 4096 + 1, true, false, false},
      {"mapped, short", 3, true, false, false},
      {"mapped, past the buffer", 5 * 1048576 + 3, true, false, false},
      {"mapped, cannot be read past", 20001, true, true, true},
  };
  platform::DirHandle dir;
  ASSERT_TRUE(dir.Open(tree_.root()));
  std::vector<uint8_t> buffer(1048576 + 100);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string bytes = RandomBytes(c.size, static_cast<uint32_t>(c.size));
    const std::string path = tree_.File(c.what, bytes);
    platform::File held;
    ASSERT_TRUE(held.Open(path, platform::OpenMode::kRead));
    if (held.InMemoryFileSystem()) GTEST_SKIP() << tree_.root() << " keeps its files in memory";
    MappedFile map(path, c.mapped);
    platform::FileInfo info;
    ASSERT_TRUE(platform::StatPath(path, &info));
    platform::SetNoReadPastCacheForTesting(c.refuse_past_cache);
    uint32_t id = 1;
    FirstBytes first;
    std::string error;
    bool from_memory = !c.from_memory;
    // Through a lent buffer that starts off the alignment, as a slice may.
    const uint8_t code = FileChkListed(dir, c.what, ListedFileOf(info),
                                       LentBuffer{buffer.data() + 64, buffer.size() - 64}, {}, &id,
                                       &first, &error, CacheUse::kDevice, nullptr, &from_memory);
    platform::SetNoReadPastCacheForTesting(false);
    EXPECT_EQ(error, "");
    EXPECT_EQ(from_memory, c.from_memory);
    if (c.size < 6) {
      EXPECT_EQ(code, kChkTooShort);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(first.bytes), first.count), bytes);
      continue;
    }
    EXPECT_EQ(code, kChkOk);
    EXPECT_EQ(id, LiteralId(bytes));
    platform::CacheUsage usage;
    ASSERT_TRUE(held.CacheUsageOf(0, 0, &usage));
    EXPECT_EQ(usage.dirty, 0u);
  }
}

}  // namespace content
