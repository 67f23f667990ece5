// The id list's two readers of a file line: the direct one for the usual shape and the
// general one. Input = one line (any bytes), the bar's shift in the first byte. Checks:
// where the direct reader reads a line, the general one reads it too and finds the same
// directory and the same name, trailing blanks included; neither reads outside the line.

#include <string>
#include <string_view>

#include "fuzz/fuzz_util.h"
#include "lists/list_format.h"
#include "lists/list_reader.h"

namespace {

bool Inside(std::string_view part, const std::string& line) {
  return part.empty() ||
         (part.data() >= line.data() && part.data() + part.size() <= line.data() + line.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size == 0) return 0;
  // The bar where a size field widened by up to 9 characters puts it.
  const size_t bar = lists::kFileBarColumn - 1 + bytes[0] % 10;
  // A copy of the exact size, so that a read past its end is caught by the sanitizer.
  const std::string line(fuzz::AsText(bytes + 1, size - 1));

  // The direct reader's precondition: the fixed part is ASCII, as the list reader checks.
  bool ascii = line.size() > bar;
  for (size_t i = 0; ascii && i < bar; ++i) ascii = static_cast<unsigned char>(line[i]) < 0x80;
  std::string_view name;
  std::string_view directory;
  const bool usual = ascii && lists::ReadUsualFileLine(line, bar, &name, &directory);
  lists::FileLineFields fields;
  const bool general = lists::ReadFileLine(line, &fields);
  if (general) {
    FUZZ_CHECK(Inside(fields.name, line) && Inside(fields.directory, line));
  }
  if (!usual) return 0;
  FUZZ_CHECK(Inside(name, line) && Inside(directory, line));
  FUZZ_CHECK(general);
  FUZZ_CHECK(fields.directory == directory);
  FUZZ_CHECK(fields.name == name);
  return 0;
}
