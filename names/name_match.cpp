#include "names/name_match.h"

#include <algorithm>
#include <set>

#include "support/case_fold.h"
#include "support/text.h"

namespace names {

namespace {

void Fold(std::string_view text, std::vector<uint32_t>* out) {
  out->clear();
  size_t pos = 0;
  while (pos < text.size()) out->push_back(support::FoldNameChar(support::NextChar(text, &pos)));
}

}  // namespace

NameMatcher::NameMatcher(std::string_view query) {
  mask_ = query.find_first_of("*?") != std::string_view::npos;
  std::set<std::string> pieces;
  const auto add = [&](std::string_view piece) {
    if (!piece.empty()) pieces.insert(support::FoldedName(piece));
  };
  if (mask_) {
    walk_.set_case_folding(support::CaseFolding::kUnicode);
    // Separators alike, as in a plain text: the mask sees paths with "/" only.
    std::string slashed(query);
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    walk_.AddMasks(fs::MaskListKind::kIncludeFiles, slashed);
    // Groups and alternatives make what follows uncertain: nothing is certain of a mask
    // with them. Characters are read as the pattern engine reads them, "§" (or its byte
    // alone) included.
    const std::string_view mask = support::TrimView(query);
    if (mask.find_first_of("{|") == std::string_view::npos) {
      size_t begin = 0;
      for (size_t pos = 0; pos < mask.size();) {
        const size_t at = pos;
        const uint32_t code = support::NextChar(mask, &pos);
        if (code != '*' && code != '?' && code != 0xA7) continue;
        // A mask matches the whole name: what comes before its first wildcard begins it.
        if (begin == 0) prefix_ = support::FoldedName(mask.substr(0, at));
        add(mask.substr(begin, at - begin));
        begin = pos;
      }
      add(mask.substr(begin));
    }
  } else {
    Fold(query, &text_);
    add(query);
  }
  // Longest first: the rarest, and the one a scan looks for.
  pieces_.assign(pieces.begin(), pieces.end());
  std::stable_sort(pieces_.begin(), pieces_.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

bool NameMatcher::Matches(std::string_view name) const {
  if (mask_) {
    if (name.find('\\') == std::string_view::npos) {
      return walk_.Matches(fs::MaskListKind::kIncludeFiles, name, true);
    }
    slashed_.assign(name);
    std::replace(slashed_.begin(), slashed_.end(), '\\', '/');
    return walk_.Matches(fs::MaskListKind::kIncludeFiles, slashed_, true);
  }
  if (text_.empty()) return true;
  Fold(name, &name_);
  return std::search(name_.begin(), name_.end(), text_.begin(), text_.end()) != name_.end();
}

}  // namespace names
