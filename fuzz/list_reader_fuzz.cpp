// The whole-list reader and the comparison on any text a damaged or foreign list may
// hold. Checks: a failure names a line the text has; a list read keeps every record
// inside its text, one per path, sorted by directory and name, each on a line the text has; a list compared
// with itself has nothing moved, missing, new or changed in it.

#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_util.h"
#include "audit/compare.h"
#include "lists/list_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  auto text = std::make_unique<char[]>(size + 1);
  if (size > 0) std::memcpy(text.get(), bytes, size);
  const char* begin = text.get();
  size_t lines = 1;
  for (size_t i = 0; i < size; ++i) lines += bytes[i] == '\n' || bytes[i] == '\r';

  lists::IdList list;
  lists::ListReadError error;
  if (!lists::ParseIdList(std::move(text), size, &list, &error)) {
    FUZZ_CHECK(error.line >= 1 && error.line <= lines);
    FUZZ_CHECK(!error.message.empty());
    FUZZ_CHECK(list.files().empty());
    return 0;
  }

  const auto& files = list.files();
  for (size_t i = 0; i < files.size(); ++i) {
    const lists::ListedFile& file = files[i];
    FUZZ_CHECK(file.line >= begin && file.line + file.name_offset + file.name_size <= begin + size);
    FUZZ_CHECK(file.line_number >= 1 && file.line_number <= lines);
    FUZZ_CHECK(file.dir < list.directories().size());
    const std::string_view dir = list.directory(file);
    // A list written on Windows ends its directories with a backslash.
    FUZZ_CHECK(!dir.empty() && (dir.back() == '/' || dir.back() == '\\'));
    FUZZ_CHECK(list.FullPath(file) == std::string(dir) + std::string(file.name()));
    if (i > 0) {
      // Directory by directory, then by name, each path once.
      const lists::ListedFile& before = files[i - 1];
      FUZZ_CHECK(before.dir < file.dir || (before.dir == file.dir && before.name() < file.name()));
    }
  }
  for (size_t d = 1; d < list.directories().size(); ++d) {
    FUZZ_CHECK(list.directories()[d - 1] < list.directories()[d]);
  }

  audit::CompareOptions options;
  options.keep_unchanged = true;
  const audit::ListComparison same = audit::CompareIdLists(list, list, options);
  FUZZ_CHECK(same.files.size() == files.size());
  uint64_t counted = 0;
  for (uint64_t n : same.totals.files) counted += n;
  FUZZ_CHECK(counted == files.size());
  for (const audit::FileComparison& file : same.files) {
    FUZZ_CHECK(file.change == audit::FileChange::kUnchanged ||
               file.change == audit::FileChange::kUnreadable ||
               (file.change == audit::FileChange::kNotComparable && file.old_file->ambiguous));
    FUZZ_CHECK(file.old_file != nullptr && file.new_file != nullptr);
  }
  return 0;
}
