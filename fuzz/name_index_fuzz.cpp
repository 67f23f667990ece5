// The catalogue's name index against its plain matcher: input "flags NUL query NUL name
// NUL name ...". The names (any bytes; "dir/name" puts a name in a folder) are written
// to a segment, copied `flags & 7` times more so that they fill many blocks, and searched;
// the files found must be exactly those the matcher takes, in order. With flags & 8 the
// query matches whole paths; with flags & 16 one byte of the segment is damaged first,
// which may change answers but must never read outside it.

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "names/name_match.h"
#include "names/name_segment.h"
#include "names/segment_search.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string_view> fields = fuzz::Fields(fuzz::AsText(data, size), 400);
  if (fields.size() < 2 || fields[0].empty()) return 0;
  const auto flags = static_cast<unsigned char>(fields[0][0]);
  const bool whole_path = (flags & 8) != 0;
  const std::string_view query = fields[1];

  struct Named {
    std::string dir, name;
  };
  std::vector<Named> files;
  for (unsigned copy = 0; copy <= (flags & 7u); ++copy) {
    for (size_t i = 2; i < fields.size(); ++i) {
      const std::string_view field = fields[i];
      const size_t slash = field.rfind('/');
      if (slash == std::string_view::npos) {
        files.push_back({"/", std::string(field)});
      } else {
        files.push_back({"/" + std::string(field.substr(0, slash)) + "/",
                         std::string(field.substr(slash + 1))});
      }
    }
  }
  names::SegmentWriter writer;
  std::vector<std::string> dirs;
  for (const Named& file : files) {
    uint32_t dir = 0;
    while (dir < dirs.size() && dirs[dir] != file.dir) ++dir;
    if (dir == dirs.size()) {
      dirs.push_back(file.dir);
      writer.AddDirectory(file.dir);
    }
    writer.AddFile(dir, file.name, file.name.size(), 20200101000000, -1);
  }
  std::string bytes = writer.Finish();
  FUZZ_CHECK(!bytes.empty());
  const names::SegmentSearch search(query, whole_path);
  std::vector<uint32_t> found;
  const auto each = [&](uint32_t file) {
    found.push_back(file);
    return true;
  };

  if ((flags & 16) != 0) {
    size_t at = 0;
    for (const char c : query) at = at * 31 + static_cast<unsigned char>(c);
    bytes[at % bytes.size()] ^= static_cast<char>(flags | 1);
    names::Segment damaged;
    if (damaged.Open(bytes.data(), bytes.size())) search.Run(damaged, each);
    return 0;
  }
  names::Segment segment;
  FUZZ_CHECK(segment.Open(bytes.data(), bytes.size()));
  FUZZ_CHECK(segment.files() == files.size());
  FUZZ_CHECK(search.Run(segment, each));
  const names::NameMatcher matcher(query);
  std::vector<uint32_t> expected;
  for (uint32_t i = 0; i < files.size(); ++i) {
    if (matcher.Matches(whole_path ? files[i].dir + files[i].name : files[i].name)) {
      expected.push_back(i);
    }
  }
  FUZZ_CHECK(found == expected);
  for (uint32_t i = 0; i < files.size(); ++i) {
    FUZZ_CHECK(segment.Name(i) == files[i].name);
    FUZZ_CHECK(search.Matches(segment, i) == std::binary_search(expected.begin(), expected.end(), i));
  }
  return 0;
}
