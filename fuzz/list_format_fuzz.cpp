// The id-list line reader and the done list, on any text a damaged or foreign list may
// hold. Checks: the reader's fields lie inside the line; the text and the line-list
// forms of the done list agree (NULs a crash left at the end aside); and every file the
// writer lists comes back from the reader as the same directory and name, alone and in
// a whole list with header, trailers and totals, whatever the options; a CR or LF in
// them comes back as "?" and counts as an error. The names and directories written are
// those the input's own lines give, or its other lines as names.

#include <string>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "content/content_id.h"
#include "lists/list_format.h"
#include "support/text.h"

namespace {

constexpr size_t kMaxNameBytes = 255;  // what a Linux file name holds at most
constexpr size_t kMaxFiles = 16;

bool Inside(std::string_view part, std::string_view line) {
  return part.empty() ||
         (part.data() >= line.data() && part.data() + part.size() <= line.data() + line.size());
}

std::string WithoutNul(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\0') c = '?';
  }
  return out;
}

// What the list shows for a name or directory written.
std::string Shown(std::string text) {
  support::ReplaceLineBreaks(&text);
  return text;
}

struct Listed {
  std::string directory;
  std::string name;
};

// The line as written, without its CR LF.
std::string_view Bare(const std::string& line) {
  std::string_view view = line;
  if (view.size() >= 2 && view.substr(view.size() - 2) == lists::kListLineEnd) {
    view.remove_suffix(2);
  }
  return view;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string_view text = fuzz::AsText(bytes, size);

  // The reader on every line.
  support::StringList done;
  const int added = lists::ReadDoneList(text, &done);
  FUZZ_CHECK(added == static_cast<int>(done.size()));
  std::string_view without_tail = text;
  while (!without_tail.empty() && without_tail.back() == '\0') without_tail.remove_suffix(1);
  support::StringList lines;
  lines.SetText(without_tail);
  support::StringList done_from_lines;
  FUZZ_CHECK(lists::ReadDoneList(lines, &done_from_lines) == added);
  FUZZ_CHECK(done_from_lines.items() == done.items());

  std::vector<Listed> files;
  std::string directory = "/data/";
  for (const std::string& line : lines.items()) {
    lists::FileLineFields fields;
    std::string path;
    const bool read = lists::ReadFileLine(line, &fields);
    FUZZ_CHECK(read == lists::FileLinePath(line, &path));
    std::string name;
    if (read) {
      FUZZ_CHECK(Inside(fields.id_field, line) && Inside(fields.name, line) &&
                 Inside(fields.directory, line));
      FUZZ_CHECK(!fields.directory.empty());
      FUZZ_CHECK(path == std::string(fields.directory) + std::string(fields.name));
      directory = WithoutNul(fields.directory);
      name = WithoutNul(fields.name);
    } else {
      name = WithoutNul(line);
    }
    if (directory.back() != '/') directory.push_back('/');
    if (name.size() > kMaxNameBytes) name.resize(kMaxNameBytes);
    if (files.size() < kMaxFiles) files.push_back({directory, name});
  }

  // Write them back with options drawn from the input, read them again.
  uint64_t mix = fuzz::Mix(text);
  auto draw = [&mix](uint32_t range) {
    mix = mix * 6364136223846793005u + 1442695040888963407u;
    return static_cast<uint32_t>((mix >> 32) % range);
  };
  lists::ListOptions options;
  options.hex_file = draw(2) == 1;
  options.hex_path = draw(2) == 1;
  options.min_blocks = static_cast<uint16_t>(draw(8) == 0 ? draw(100) : draw(6));
  options.root_column = static_cast<int>(draw(3) == 0 ? draw(150) : draw(12));
  lists::IdListWriter writer(options);
  std::string list;
  writer.FormatHeader(draw(2) == 0 ? lists::RunMode::kCreate : lists::RunMode::kContinue,
                      draw(100000), files.empty() ? "" : files[0].name, platform::DateTime{},
                      files.empty() ? "/" : files[0].directory);
  list += writer.line();

  constexpr uint8_t kCodes[] = {content::kChkOk,
                                content::kChkOk,
                                content::kChkEmpty,
                                content::kChkReadError,
                                17,
                                content::kChkOpenFailed,
                                content::kChkBufferSizeFailed,
                                content::kChkNoBuffer,
                                content::kChkNotFound};
  // A name or directory may hold CR or LF, which the list shows as "?" and counts as an
  // error of the line.
  auto with_break = [&draw](const std::string& text, size_t keep_end) {
    std::string broken = text;
    if (broken.size() > keep_end && draw(6) == 0) {
      broken[draw(static_cast<uint32_t>(broken.size() - keep_end))] = draw(2) == 0 ? '\r' : '\n';
    }
    return broken;
  };
  std::vector<std::string> expected;
  std::string directory_written;
  for (size_t i = 0; i < files.size(); ++i) {
    const Listed& file = files[i];
    const bool new_directory = i == 0 || file.directory != files[i - 1].directory;
    if (new_directory) {
      directory_written = with_break(file.directory, 1);
      writer.SetDirectory(directory_written);
    }
    const std::string name_written = with_break(file.name, 0);
    support::FindData find_data;
    // Sizes up to what a signed 64-bit file size holds; times past the year 9999 too.
    find_data.size =
        draw(4) == 0 ? (uint64_t{draw(1u << 31)} << 32 | draw(UINT32_MAX)) : draw(5000);
    find_data.last_write_time = uint64_t{draw(1u << 30)} << 27;
    find_data.creation_time =
        draw(8) == 0 ? UINT64_MAX - draw(1000) : uint64_t{draw(1u << 30)} << 27;
    find_data.attributes = draw(65536);
    const uint8_t code = kCodes[draw(sizeof kCodes)];
    const int errors = writer.FormatFileLine(code, draw(4000000000u), find_data, name_written);
    const int breaks = name_written != file.name || directory_written != file.directory ? 1 : 0;
    FUZZ_CHECK(errors == (code == content::kChkOk || code == content::kChkEmpty ? 0 : 1) + breaks);
    lists::FileLineFields fields;
    const std::string_view line = Bare(writer.line());
    FUZZ_CHECK(lists::ReadFileLine(line, &fields));
    FUZZ_CHECK(fields.name == Shown(name_written));
    FUZZ_CHECK(fields.directory == Shown(directory_written));
    FUZZ_CHECK(fields.id_field == line.substr(0, lists::kIdFieldWidth));
    list += writer.line();
    expected.push_back(Shown(directory_written) + Shown(name_written));
    if (i + 1 == files.size() || files[i + 1].directory != file.directory) {
      writer.FormatDirectoryLine(directory_written, draw(1000000), draw(1000000), draw(100));
      FUZZ_CHECK(Bare(writer.line()).find_first_of("\r\n") == std::string_view::npos);
      list += writer.line();
    }
  }
  writer.FormatTotalsLine(draw(1000000), draw(1000000), files.size(),
                          files.empty() ? "/" : files[0].directory);
  list += writer.line();
  // A crash while the list was grown leaves NULs behind its end.
  list.append(draw(3), '\0');

  support::StringList read_back;
  FUZZ_CHECK(lists::ReadDoneList(list, &read_back) == static_cast<int>(expected.size()));
  FUZZ_CHECK(read_back.items() == expected);
  return 0;
}
