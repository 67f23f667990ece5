// A directory listing on Windows: each entry's record comes from the listing itself, with
// the attributes the file system keeps and its times. (Wine's listings call a name with a
// leading dot hidden where its lookups do not: that case waits for a real Windows.)

#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <string_view>

#include "common/dos_names.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

TEST(DirsWinTest, ListingRecordsCarryTheFileSystemsAttributes) {
  const std::string root = platform::MakeTempDir("dirs-");
  ASSERT_FALSE(root.empty());
  struct Case {
    const char* name;
    DWORD set;      // given with SetFileAttributes (0: left as made)
    uint32_t want;  // the record's read-only, hidden, system and directory bits
  } cases[] = {
      {"plain.txt", 0, 0},
      {"hidden.txt", FILE_ATTRIBUTE_HIDDEN, 0x02},
      {"system.dat", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, 0x06},
      {"locked.txt", FILE_ATTRIBUTE_READONLY, 0x01},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(platform::WriteWholeFile(root + c.name, "12345"));
    if (c.set != 0) {
      ASSERT_TRUE(SetFileAttributesA((root + c.name).c_str(), c.set));
    }
  }
  ASSERT_TRUE(platform::MakeDirs(root + "folder"));
  std::map<std::string, platform::FileInfo> listed;
  platform::DirReader reader;
  ASSERT_TRUE(reader.Open(root));
  std::string_view name;
  platform::EntryKind kind;
  while (reader.Next(&name, &kind)) {
    platform::FileInfo info;
    ASSERT_TRUE(reader.Stat(name, &info)) << name;
    listed[std::string(name)] = info;
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(listed.count(c.name), 1u);
    const platform::FileInfo& info = listed[c.name];
    EXPECT_EQ(info.attributes & 0x17, c.want);
    EXPECT_EQ(info.size, 5u);
    // The same record as a lookup of the file on its own.
    platform::FileInfo alone;
    ASSERT_TRUE(platform::StatPath(root + c.name, &alone));
    EXPECT_EQ(info.attributes, alone.attributes);
    EXPECT_EQ(info.creation_time, alone.creation_time);
    EXPECT_EQ(info.last_write_time, alone.last_write_time);
    EXPECT_EQ(info.inode, alone.inode);
    EXPECT_EQ(info.device, alone.device);
    EXPECT_NE(info.change_ns, 0);
    SetFileAttributesA((root + c.name).c_str(), FILE_ATTRIBUTE_NORMAL);
    platform::RemoveFile(root + c.name);
  }
  EXPECT_EQ(listed["folder"].attributes & 0x17, 0x10u);
  EXPECT_EQ(listed["folder"].kind, platform::EntryKind::kDirectory);
  reader.Close();
  platform::RemoveDir(root + "folder");
  platform::RemoveDir(root);
}

TEST(DirsWinTest, ShortNamesOnlyForNamesThatAreNotEightDotThree) {
  const std::string root = platform::MakeTempDir("short-");
  ASSERT_FALSE(root.empty());
  const struct Case {
    const char* name;
    bool has_short;  // the name is not 8.3 already
  } cases[] = {
      {"PLAIN.TXT", false},
      {"NOEXT", false},
      {"lower.txt", false},
      {"a long file name.text", true},
      {"abcdefghij.txt", true},
      {"page.html", true},
      {"\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac \xe6\x97\xa5\xe6\x9c\xac "
       "\xd0\xba\xd0\xb8\xd1\x80.txt",
       true},
  };
  for (const Case& c : cases) ASSERT_TRUE(platform::WriteWholeFile(root + c.name, c.name));
  std::map<std::string, std::string> listed;
  platform::DirReader reader;
  ASSERT_TRUE(reader.Open(root));
  std::string_view name;
  platform::EntryKind kind;
  while (reader.Next(&name, &kind)) listed[std::string(name)] = reader.ShortName();
  reader.Close();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = root + c.name;
    const std::string short_name = platform::ShortNameOf(path);
    ASSERT_EQ(listed.count(c.name), 1u);
    EXPECT_EQ(listed[c.name], short_name);
    if (!c.has_short) {
      EXPECT_EQ(short_name, "");
      continue;
    }
    EXPECT_TRUE(testing_support::IsEightDotThree(short_name)) << short_name;
    // The alternate name opens the same file.
    platform::FileInfo by_long;
    platform::FileInfo by_short;
    ASSERT_TRUE(platform::StatPath(path, &by_long));
    ASSERT_TRUE(platform::StatPath(root + short_name, &by_short)) << short_name;
    EXPECT_EQ(by_short.inode, by_long.inode);
    std::string content;
    ASSERT_TRUE(platform::ReadWholeFile(root + short_name, &content));
    EXPECT_EQ(content, c.name);
  }
  for (const Case& c : cases) platform::RemoveFile(root + c.name);
  platform::RemoveDir(root);
}

}  // namespace

#endif  // _WIN32
