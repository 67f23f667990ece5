#include "names/segment_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "names/name_segment.h"

namespace names {
namespace {

// The name index of one list: files in a few directories (more than one block of 16),
// searched by name or whole path; the answers are written by hand from the query rules
// (a plain text anywhere in the name, without regard to case; a mask with "*" or "?"
// over the whole name; "\" and "/" alike).
TEST(NameIndexTest, FindsWhatEachQueryNames) {
  struct Dir {
    std::string path;
    std::vector<std::string> names;
  };
  const std::vector<Dir> dirs = {
      {"/data/",
       {"Readme.TXT", "\xC3\x89t\xC3\xA9.txt", "a.txt", "ab", "b.tmp", "notes.txt.bak", "x",
        "\xFF\xFE.bin"}},
      {"/data/Photos/", {"img1.jpg", "img2.JPG", "thumbs.db"}},
      {"/data/caf\xE9/", {"menu.txt"}},
      {"/music/",
       {"track01.mp3", "track02.mp3", "track03.mp3", "track04.mp3", "track05.mp3", "track06.mp3",
        "track07.mp3", "track08.mp3", "track09.mp3", "track10.mp3", "track11.mp3", "track12.mp3",
        "track13.mp3", "track14.mp3", "track15.mp3"}},
      // A list written on Windows.
      {"C:\\Docs\\Old\\", {"plan.txt"}},
  };
  SegmentWriter writer;
  std::vector<std::string> paths;
  for (const Dir& dir : dirs) {
    const uint32_t number = writer.AddDirectory(dir.path);
    for (const std::string& name : dir.names) {
      writer.AddFile(number, name, name.size(), 20260101120000, -1);
      paths.push_back(dir.path + name);
    }
  }
  const std::string bytes = writer.Finish();
  Segment segment;
  ASSERT_TRUE(segment.Open(bytes.data(), bytes.size()));
  ASSERT_EQ(segment.files(), paths.size());
  ASSERT_GT(segment.blocks(), 1u);

  struct Query {
    std::string text;
    bool whole_path;
    std::vector<std::string> found;
  };
  const Query queries[] = {
      {"txt",
       false,
       {"/data/Readme.TXT", "/data/\xC3\x89t\xC3\xA9.txt", "/data/a.txt", "/data/notes.txt.bak",
        "/data/caf\xE9/menu.txt", "C:\\Docs\\Old\\plan.txt"}},
      {"*.txt",
       false,
       {"/data/Readme.TXT", "/data/\xC3\x89t\xC3\xA9.txt", "/data/a.txt",
        "/data/caf\xE9/menu.txt", "C:\\Docs\\Old\\plan.txt"}},
      {"\xC3\xA9T\xC3\x89", false, {"/data/\xC3\x89t\xC3\xA9.txt"}},
      {"ab", false, {"/data/ab"}},
      {"b",
       false,
       {"/data/ab", "/data/b.tmp", "/data/notes.txt.bak", "/data/\xFF\xFE.bin",
        "/data/Photos/thumbs.db"}},
      {"JPG", false, {"/data/Photos/img1.jpg", "/data/Photos/img2.JPG"}},
      {"img?.jpg", false, {"/data/Photos/img1.jpg", "/data/Photos/img2.JPG"}},
      {"\xFF\xFE", false, {"/data/\xFF\xFE.bin"}},
      // A byte that is not UTF-8 is the character of its code: here "é", in either form.
      {"\xE9", false, {"/data/\xC3\x89t\xC3\xA9.txt"}},
      {"\xC3\xA9/", true, {"/data/caf\xE9/menu.txt"}},
      {"track1",
       false,
       {"/music/track10.mp3", "/music/track11.mp3", "/music/track12.mp3", "/music/track13.mp3",
        "/music/track14.mp3", "/music/track15.mp3"}},
      {"track?5*", false, {"/music/track05.mp3", "/music/track15.mp3"}},
      {"zzz", false, {}},
      {"data", false, {}},
      {"photos",
       true,
       {"/data/Photos/img1.jpg", "/data/Photos/img2.JPG", "/data/Photos/thumbs.db"}},
      {"photos/img", true, {"/data/Photos/img1.jpg", "/data/Photos/img2.JPG"}},
      {"caf\xE9/", true, {"/data/caf\xE9/menu.txt"}},
      {"/music/track0",
       true,
       {"/music/track01.mp3", "/music/track02.mp3", "/music/track03.mp3", "/music/track04.mp3",
        "/music/track05.mp3", "/music/track06.mp3", "/music/track07.mp3", "/music/track08.mp3",
        "/music/track09.mp3"}},
      {"a/r", true, {"/data/Readme.TXT"}},
      {"/data/*.tmp", true, {"/data/b.tmp"}},
      {"docs/old/p", true, {"C:\\Docs\\Old\\plan.txt"}},
      {"a\\r", true, {"/data/Readme.TXT"}},
      {"c:/docs/*.txt", true, {"C:\\Docs\\Old\\plan.txt"}},
      {"\\data\\*.tmp", true, {"/data/b.tmp"}},
  };
  for (const Query& q : queries) {
    const SegmentSearch search(q.text, q.whole_path);
    std::vector<std::string> found;
    EXPECT_TRUE(search.Run(segment, [&](uint32_t file) {
      found.push_back(paths[file]);
      return true;
    }));
    EXPECT_EQ(found, q.found) << q.text << (q.whole_path ? " (whole path)" : "");
    // A file found another way is matched the same.
    for (uint32_t file = 0; file < paths.size(); ++file) {
      const bool listed = std::find(q.found.begin(), q.found.end(), paths[file]) != q.found.end();
      EXPECT_EQ(search.Matches(segment, file), listed) << q.text << " " << paths[file];
    }
  }
}

}  // namespace
}  // namespace names
