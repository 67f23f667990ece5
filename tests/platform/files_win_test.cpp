// What the file system of Windows tells and allows, through the platform's door: its own
// attributes and creation times, paths beyond 260 characters, names of any script (an
// unpaired surrogate too), locks between runs, a rename over a list another program reads.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/temp_tree.h"
#include "platform/clock.h"
#include "platform/file_moves.h"
#include "platform/files.h"
#include "platform/wide_win.h"

namespace {

using testing_support::TempTree;

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
      {"folder", true, FILE_ATTRIBUTE_DIRECTORY, platform::kAttrDirectory},
      {"secret", true, FILE_ATTRIBUTE_HIDDEN, platform::kAttrDirectory | platform::kAttrHidden},
  };
  constexpr uint32_t kCompared = platform::kAttrReadOnly | platform::kAttrHidden |
                                 platform::kAttrDirectory | platform::kAttrArchive;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = c.folder ? tree.Dir(c.name) : tree.File(c.name, "some bytes");
    SetCreationTime(path, kCreated);
    ASSERT_TRUE(SetFileAttributesW(platform::LongPath(path).c_str(), c.set));
    platform::FileInfo info;
    ASSERT_TRUE(platform::StatPath(path, &info));
    EXPECT_EQ(info.attributes & kCompared, c.expected);
    EXPECT_EQ(info.creation_time, kCreated);
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
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
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
