// The mountinfo parser on any text, as /proc/self/mountinfo or a damaged copy of it.
// Checks: every entry has an absolute mount point without a trailing "/"; an entry
// written back the way the kernel writes it (octal escapes) parses to the same entry;
// escaping and unescaping a field gives it back; FindMount answers -1 exactly when no
// entry holds the path, and otherwise an entry that holds it.

#include <string>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "platform/mountinfo.h"

namespace {

// The kernel's escapes: blank, tab, newline and backslash as three octal digits.
std::string Escape(std::string_view field) {
  std::string out;
  for (char c : field) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\\') {
      const unsigned code = static_cast<unsigned char>(c);
      out += '\\';
      out += static_cast<char>('0' + code / 64);
      out += static_cast<char>('0' + code / 8 % 8);
      out += static_cast<char>('0' + code % 8);
    } else {
      out += c;
    }
  }
  return out;
}

std::string LineOf(const platform::MountEntry& e) {
  return std::to_string(e.id) + " " + std::to_string(e.parent_id) + " " + std::to_string(e.major) +
         ":" + std::to_string(e.minor) + " " + Escape(e.root) + " " + Escape(e.mount_point) + " " +
         Escape(e.options) + " shared:1 - " + Escape(e.fs_type) + " " + Escape(e.source) + " rw\n";
}

bool SameEntry(const platform::MountEntry& a, const platform::MountEntry& b) {
  return a.id == b.id && a.parent_id == b.parent_id && a.major == b.major && a.minor == b.minor &&
         a.root == b.root && a.mount_point == b.mount_point && a.options == b.options &&
         a.fs_type == b.fs_type && a.source == b.source;
}

bool Holds(std::string_view mount_point, std::string_view path) {
  if (mount_point == "/") return path.substr(0, 1) == "/";
  return path.substr(0, mount_point.size()) == mount_point &&
         (path.size() == mount_point.size() || path[mount_point.size()] == '/');
}

void CheckFind(const platform::MountTable& table, std::string_view path) {
  bool held = false;
  for (const platform::MountEntry& e : table) held = held || Holds(e.mount_point, path);
  const int found = platform::FindMount(table, path);
  FUZZ_CHECK(found >= -1 && found < static_cast<int>(table.size()));
  FUZZ_CHECK((found >= 0) == held);
  if (found >= 0) FUZZ_CHECK(Holds(table[static_cast<size_t>(found)].mount_point, path));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string_view text = fuzz::AsText(bytes, size);
  const platform::MountTable table = platform::ParseMountInfo(text);

  std::string written;
  for (const platform::MountEntry& e : table) {
    FUZZ_CHECK(!e.mount_point.empty() && e.mount_point[0] == '/');
    FUZZ_CHECK(e.mount_point == "/" || e.mount_point.back() != '/');
    FUZZ_CHECK(e.id >= 0 && e.parent_id >= 0);
    for (const std::string* field : {&e.root, &e.mount_point, &e.options, &e.fs_type, &e.source}) {
      FUZZ_CHECK(platform::UnescapeMountField(Escape(*field)) == *field);
    }
    written += LineOf(e);
  }
  const platform::MountTable again = platform::ParseMountInfo(written);
  FUZZ_CHECK(again.size() == table.size());
  for (size_t i = 0; i < table.size(); ++i) FUZZ_CHECK(SameEntry(again[i], table[i]));

  // Unescaping never grows a field, and any text survives escaping.
  FUZZ_CHECK(platform::UnescapeMountField(text).size() <= text.size());
  FUZZ_CHECK(platform::UnescapeMountField(Escape(text)) == text);
  FUZZ_CHECK(platform::DecodeUdevName(text).size() <= text.size());

  // Paths at, below and beside every mount point, and the input's last line as a path.
  for (size_t i = 0; i < table.size() && i < 32; ++i) {
    const std::string& point = table[i].mount_point;
    CheckFind(table, point);
    CheckFind(table, point == "/" ? "/x" : point + "/x");
    CheckFind(table, point + "x");
  }
  const size_t last_line = text.rfind('\n');
  CheckFind(table, last_line == std::string_view::npos ? text : text.substr(last_line + 1));
  CheckFind(table, "");
  return 0;
}
