// What the file system of Windows tells and allows, through the platform's door: its own
// attributes and creation times, paths beyond 260 characters, names of any script (an
// unpaired surrogate too), locks between runs, a rename over a list another program reads.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "common/temp_tree.h"
#include "platform/clock.h"
#include "platform/file_moves.h"
#include "platform/files.h"
#include "platform/wide_win.h"

namespace {

using testing_support::TempTree;

// The system attribute as the lists write it.
constexpr uint32_t kAttrSystem = 0x04;

// 2021-06-15 08:30:00 UTC as a file time: 100 ns units since 1601.
constexpr platform::FileTime kCreated = (1623745800ULL + 11644473600ULL) * 10000000ULL;

HANDLE OpenWide(const std::string& path, DWORD share) {
  return CreateFileW(platform::LongPath(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

void SetCreationTime(const std::string& path, platform::FileTime time) {
  const HANDLE h = CreateFileW(platform::LongPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  const FILETIME created{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
  EXPECT_TRUE(SetFileTime(h, &created, nullptr, nullptr));
  CloseHandle(h);
}

// The names a directory lists, sorted.
std::vector<std::string> Listed(const std::string& dir) {
  platform::DirReader reader;
  EXPECT_TRUE(reader.Open(dir)) << dir << ": " << reader.ErrorText();
  std::vector<std::string> names;
  std::string_view name;
  platform::EntryKind kind;
  while (reader.Next(&name, &kind)) names.emplace_back(name);
  std::sort(names.begin(), names.end());
  return names;
}

// Reads through the handle the file gives its read hook, as the system's own call does.
int64_t ReadThroughHandle(platform::NativeHandle handle, void* buffer, size_t size) {
  DWORD got = 0;
  return ReadFile(handle, buffer, static_cast<DWORD>(size), &got, nullptr) ? int64_t{got} : -1;
}

// An open file holds the system's own handle, which a read hook can read through.
TEST(WindowsFilesTest, AnOpenFileHoldsItsHandle) {
  TempTree tree;
  const std::string path = tree.File("data", "through the handle");
  platform::File file;
  EXPECT_FALSE(file.IsOpen());
  ASSERT_TRUE(file.Open(path, platform::OpenMode::kRead));
  EXPECT_TRUE(file.IsOpen());
  platform::SetReadHookForTesting(&ReadThroughHandle);
  char buffer[64] = {};
  const int64_t got = file.Read(buffer, sizeof buffer);
  platform::SetReadHookForTesting(nullptr);
  EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<size_t>(got) : 0), "through the handle");
  file.Close();
  EXPECT_FALSE(file.IsOpen());
}

// The attribute bits come from the file system, not from the name: a leading dot hides
// nothing, the hidden and read-only attributes do, on files and folders alike.
TEST(WindowsFilesTest, AttributesAndCreationTimeComeFromTheFileSystem) {
  TempTree tree;
  const struct {
    const char* name;
    bool folder;
    DWORD set;
    uint32_t expected;  // the bits that matter here
  } cases[] = {
      {"plain.txt", false, FILE_ATTRIBUTE_NORMAL, platform::kAttrArchive},
      {".dotted", false, FILE_ATTRIBUTE_ARCHIVE, platform::kAttrArchive},
      {"hidden.txt", false, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE,
       platform::kAttrHidden | platform::kAttrArchive},
      {"kept.txt", false, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE,
       platform::kAttrReadOnly | platform::kAttrArchive},
      {"system.dat", false, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE,
       kAttrSystem | platform::kAttrArchive},
      {"folder", true, FILE_ATTRIBUTE_DIRECTORY, platform::kAttrDirectory},
      {"secret", true, FILE_ATTRIBUTE_HIDDEN, platform::kAttrDirectory | platform::kAttrHidden},
  };
  constexpr uint32_t kCompared = platform::kAttrReadOnly | platform::kAttrHidden | kAttrSystem |
                                 platform::kAttrDirectory | platform::kAttrArchive;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = c.folder ? tree.Dir(c.name) : tree.File(c.name, "some bytes");
    SetCreationTime(path, kCreated);
    ASSERT_TRUE(SetFileAttributesW(platform::LongPath(path).c_str(), c.set));
    platform::FileInfo info;
    ASSERT_TRUE(platform::StatPath(path, &info));
    EXPECT_EQ(info.attributes & kCompared, c.expected);
    // As the system's own record has it: wine keeps no creation time that was set.
    WIN32_FILE_ATTRIBUTE_DATA system;
    ASSERT_TRUE(
        GetFileAttributesExW(platform::LongPath(path).c_str(), GetFileExInfoStandard, &system));
    EXPECT_EQ(info.creation_time, (platform::FileTime{system.ftCreationTime.dwHighDateTime} << 32) |
                                      system.ftCreationTime.dwLowDateTime);
    SetFileAttributesW(platform::LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// Folders nested beyond MAX_PATH are looked up, listed and read like any other.
TEST(WindowsFilesTest, PathsLongerThan260CharactersWork) {
  TempTree tree;
  std::string path = tree.root();
  while (path.size() < 400) {
    path += std::string(60, 'd') + "\\";
    ASSERT_TRUE(CreateDirectoryW(platform::LongPath(path).c_str(), nullptr)) << path.size();
  }
  const std::string file = path + "deep.bin";
  ASSERT_TRUE(platform::WriteWholeFile(file, "bytes far down"));
  platform::FileInfo info;
  ASSERT_TRUE(platform::StatPath(file, &info)) << file.size();
  EXPECT_EQ(info.size, 14u);
  std::string data;
  EXPECT_TRUE(platform::ReadWholeFile(file, &data));
  EXPECT_EQ(data, "bytes far down");
  EXPECT_EQ(Listed(path), std::vector<std::string>{"deep.bin"});
}

// A walk opens each level through its parent's handle and reads the files there: no
// path is built, so 260 characters are no limit (wine's own ends at its host's 4096).
TEST(WindowsFilesTest, OpensThroughAParentReachBeyond260Characters) {
  TempTree tree;
  const std::string level(200, 'd');
  std::string path = tree.root();
  for (int k = 0; k < 10; ++k) {
    path += level + std::to_string(k) + "\\";
    ASSERT_TRUE(CreateDirectoryW(platform::LongPath(path).c_str(), nullptr)) << path.size();
  }
  ASSERT_TRUE(platform::WriteWholeFile(path + "deep.bin", "bytes far down"));
  std::array<platform::DirReader, 11> levels;
  ASSERT_TRUE(levels[0].Open(tree.root()));
  for (int k = 0; k < 10; ++k) {
    ASSERT_TRUE(levels[k].OpenChild(level + std::to_string(k), &levels[k + 1]))
        << k << ": " << levels[k + 1].ErrorText();
  }
  platform::DirReader& reader = levels[10];
  std::string_view name;
  platform::EntryKind kind;
  ASSERT_TRUE(reader.Next(&name, &kind)) << reader.ErrorText();
  EXPECT_EQ(name, "deep.bin");
  platform::FileInfo info;
  ASSERT_TRUE(reader.Stat("deep.bin", &info));
  EXPECT_EQ(info.size, 14u);
  platform::DirHandle dir;
  ASSERT_TRUE(dir.Duplicate(reader));
  platform::File file;
  ASSERT_TRUE(file.OpenAt(dir, "deep.bin", platform::OpenMode::kReadListed)) << file.ErrorText();
  char buffer[32] = {};
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(file.Read(buffer, sizeof buffer))),
            "bytes far down");
}

// UTF-8 inside, UTF-16 at the system: names of several scripts come back byte for byte,
// and a name holding a lone surrogate, which no UTF-8 can spell, is kept so that it
// opens again.
TEST(WindowsFilesTest, NamesOfEveryScriptAndALoneSurrogateOpenAgain) {
  TempTree tree;
  const std::string dir = tree.Dir("names");
  const std::vector<std::string> names = {"Ελληνικά.txt", "Кириллица.txt", "中文名字.txt",
                                          "日本語のファイル.txt", "emoji 😀.txt"};
  for (const std::string& name : names) {
    ASSERT_TRUE(platform::WriteWholeFile(dir + name, name)) << name;
  }
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(Listed(dir), sorted);

  const std::string lone_dir = tree.Dir("lone");
  const std::wstring lone = platform::LongPath(lone_dir) + L"a\xD800z.txt";
  const HANDLE h = CreateFileW(lone.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  // Wine stores names as UTF-8, which holds no lone surrogate.
  if (h == INVALID_HANDLE_VALUE) GTEST_SKIP() << "this file system keeps no lone surrogate";
  DWORD written = 0;
  WriteFile(h, "lone", 4, &written, nullptr);
  CloseHandle(h);
  const std::vector<std::string> listed = Listed(lone_dir);
  ASSERT_EQ(listed.size(), 1u);
  std::string data;
  EXPECT_TRUE(platform::ReadWholeFile(lone_dir + listed[0], &data)) << listed[0];
  EXPECT_EQ(data, "lone");
}

// A list a run holds is refused to a second run, for writing and for reading, until the
// first lets it go.
TEST(WindowsFilesTest, AListHeldByAnotherRunIsRefused) {
  TempTree tree;
  const std::string list = tree.File("run.v00", "F  line\r\n");
  platform::File first;
  ASSERT_TRUE(first.Open(list, platform::OpenMode::kOpenOrCreateLocked)) << first.ErrorText();
  platform::File second;
  EXPECT_FALSE(second.Open(list, platform::OpenMode::kReadWriteLocked));
  EXPECT_FALSE(second.Open(list, platform::OpenMode::kReadShared));
  first.Close();
  EXPECT_TRUE(second.Open(list, platform::OpenMode::kReadWriteLocked)) << second.ErrorText();
}

// A new list takes the old one's name while another program reads the old one with
// delete sharing; a reader that shares no deletion keeps the old list whole and the
// rename says why.
TEST(WindowsFilesTest, ARenameOverAListAnotherProgramHasOpen) {
  TempTree tree;
  const std::string list = tree.File("run.v00", "old list\r\n");
  const struct {
    DWORD share;
    bool renamed;
  } cases[] = {{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true},
               {FILE_SHARE_READ, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.share);
    tree.File("run.v00", "old list\r\n");
    const std::string fresh = tree.File("run.new", "new list\r\n");
    const HANDLE reader = OpenWide(list, c.share);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    std::string error;
    EXPECT_EQ(platform::RenameOver(fresh, list, &error), c.renamed) << error;
    CloseHandle(reader);
    EXPECT_EQ(TempTree::Read(list), c.renamed ? "new list\r\n" : "old list\r\n");
    if (!c.renamed) {
      EXPECT_FALSE(error.empty());
    }
  }
}

}  // namespace
