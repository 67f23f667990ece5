#include "support/case_fold.h"

#include <algorithm>
#include <iterator>

#include "support/text.h"

namespace support {

namespace {

struct FoldRun {
  uint32_t first, last;
  int32_t offset;
  uint32_t step;
};

constexpr FoldRun kFoldRuns[] = {
#include "support/case_fold_table.inc"
};

}  // namespace

uint32_t FoldCase(uint32_t code) {
  if (code < 0x80) return code >= 'A' && code <= 'Z' ? code + 32 : code;
  const FoldRun* run = std::upper_bound(std::begin(kFoldRuns), std::end(kFoldRuns), code,
                                        [](uint32_t c, const FoldRun& r) { return c < r.first; });
  if (run == std::begin(kFoldRuns)) return code;
  --run;
  if (code > run->last || (code - run->first) % run->step != 0) return code;
  return static_cast<uint32_t>(static_cast<int32_t>(code) + run->offset);
}

uint32_t FoldNameChar(uint32_t code) { return code == '\\' ? '/' : FoldCase(code); }

std::string FoldedName(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  FoldNameInto(text, &out);
  return out;
}

void FoldNameInto(std::string_view text, std::string* out) {
  out->clear();
  for (size_t pos = 0; pos < text.size();) AppendChar(out, FoldNameChar(NextChar(text, &pos)));
}

}  // namespace support
