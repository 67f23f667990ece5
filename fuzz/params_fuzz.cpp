// The parameter-text splitter and the masks it feeds: input "params NUL name". Checks:
// every item SplitTextItems gives is trimmed, non-empty, free of the separator and
// unlike the others, every piece of the text is among them, and joining and splitting
// them again changes nothing; ApplyParams only adds option bits it owns and masks that
// are trimmed, unique and within the limit, and the same text applied twice adds
// nothing; a name hits a mask list exactly when InStrS and the mask's anchors say so.

#include <string>
#include <vector>

#include "fs/dir_iter.h"
#include "fuzz/fuzz_util.h"
#include "support/pattern.h"
#include "support/text.h"

namespace {

constexpr fs::MaskListKind kKinds[] = {
    fs::MaskListKind::kIncludeFiles,   fs::MaskListKind::kExcludeFiles,
    fs::MaskListKind::kIncludeDirs,    fs::MaskListKind::kExcludeDirs,
    fs::MaskListKind::kIncludeSubdirs, fs::MaskListKind::kExcludeSubdirs};

void CheckSplit(std::string_view text, char separator) {
  support::StringList items;
  fs::SplitTextItems(text, separator, &items);
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string& item = items[i];
    FUZZ_CHECK(!item.empty() && support::TrimView(item) == item);
    FUZZ_CHECK(item.find(separator) == std::string::npos);
    FUZZ_CHECK(items.IndexOf(item) == static_cast<long>(i));
  }
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t end = rest.find(separator);
    const std::string_view piece = support::TrimView(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    FUZZ_CHECK(piece.empty() || items.IndexOf(piece) >= 0);
  }
  std::string joined;
  for (const std::string& item : items.items()) joined += item + separator;
  support::StringList again;
  fs::SplitTextItems(joined, separator, &again);
  FUZZ_CHECK(again.items() == items.items());
  fs::SplitTextItems(text, separator, &again);
  FUZZ_CHECK(again.items() == items.items());
}

// Whether a mask hits the name: a non-zero InStrS start, at 1 unless the mask begins
// with "*", ending at the name's last character unless it ends with "*".
bool Hits(const fs::MaskEntry& mask, std::string_view name) {
  support::InStrSResult result{};
  const int start = support::InStrS(mask.text, name, 0, &result, support::kInStrSDefaultLast, 0);
  if (start == 0) return false;
  if ((mask.flags & fs::kMaskAnchorStart) && start != 1) return false;
  return !(mask.flags & fs::kMaskAnchorEnd) ||
         static_cast<size_t>(result.match_end) == support::CharCount(name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::vector<std::string_view> fields = fuzz::Fields(fuzz::AsText(bytes, size), 2);
  const std::string_view params = fields[0];
  const std::string_view name = fields.size() > 1 ? fields[1] : std::string_view();

  CheckSplit(params, '/');
  CheckSplit(params, '|');

  const uint32_t options = fuzz::Mix(name) & 0x7F;
  fs::THddRun run;
  const uint32_t applied = run.ApplyParams(params, options);
  constexpr uint32_t kOwnBits =
      fs::walk_option::NoDirs | fs::walk_option::NoFiles | fs::walk_option::Recurse;
  FUZZ_CHECK((applied & options) == options);
  FUZZ_CHECK((applied & ~options & ~kOwnBits) == 0);

  size_t counts[6];
  for (size_t k = 0; k < 6; ++k) {
    const std::vector<fs::MaskEntry>& masks = run.masks(kKinds[k]);
    counts[k] = masks.size();
    FUZZ_CHECK(masks.size() <= fs::kMaxMasks);
    for (size_t i = 0; i < masks.size(); ++i) {
      const std::string& text = masks[i].text;
      FUZZ_CHECK(!text.empty() && support::TrimView(text) == text);
      FUZZ_CHECK(text.find('|') == std::string::npos);
      FUZZ_CHECK(masks[i].flags == fs::MaskFlags(text));
      for (size_t j = 0; j < i; ++j) FUZZ_CHECK(!support::SameText(masks[j].text, text));
    }
  }
  FUZZ_CHECK(run.ApplyParams(params, options) == applied);
  for (size_t k = 0; k < 6; ++k) FUZZ_CHECK(run.masks(kKinds[k]).size() == counts[k]);

  for (fs::MaskListKind kind : kKinds) {
    bool expected = false;
    for (const fs::MaskEntry& mask : run.masks(kind)) expected = expected || Hits(mask, name);
    if (run.masks(kind).empty()) expected = true;
    FUZZ_CHECK(run.Matches(kind, name, true) == expected);
  }
  return 0;
}
