#include "catalogue/name_match.h"

#include <algorithm>
#include <set>

#include "support/case_fold.h"
#include "support/text.h"

namespace catalogue {

namespace {

constexpr size_t kTrigram = 3;
// Enough to make a query selective; more only lengthen the intersection.
constexpr size_t kMaxTrigrams = 6;

// Adds the trigrams of a run of literal characters, folded as the index holds names.
void AddTrigrams(std::string_view piece, std::set<std::string>* trigrams) {
  const std::string folded = support::FoldedName(piece);
  std::vector<size_t> starts;  // start of each character, and the end
  size_t pos = 0;
  while (pos < folded.size()) {
    starts.push_back(pos);
    support::NextChar(folded, &pos);
  }
  starts.push_back(folded.size());
  for (size_t i = kTrigram; i < starts.size(); ++i) {
    trigrams->insert(folded.substr(starts[i - kTrigram], starts[i] - starts[i - kTrigram]));
  }
}

void Fold(std::string_view text, std::vector<uint32_t>* out) {
  out->clear();
  size_t pos = 0;
  while (pos < text.size()) out->push_back(support::FoldCase(support::NextChar(text, &pos)));
}

}  // namespace

NameMatcher::NameMatcher(std::string_view query) {
  mask_ = query.find_first_of("*?") != std::string_view::npos;
  std::set<std::string> trigrams;
  if (mask_) {
    walk_.set_case_folding(CaseFolding::kUnicode);
    walk_.AddMasks(MaskListKind::kIncludeFiles, query);
    // Groups and alternatives make what follows uncertain: no trigrams from a mask with
    // them. Characters are read as the pattern engine reads them, "§" (or its byte alone)
    // included.
    const std::string_view mask = support::TrimView(query);
    if (mask.find_first_of("{|") == std::string_view::npos) {
      size_t begin = 0;
      for (size_t pos = 0; pos < mask.size();) {
        const size_t at = pos;
        const uint32_t code = support::NextChar(mask, &pos);
        if (code != '*' && code != '?' && code != 0xA7) continue;
        AddTrigrams(mask.substr(begin, at - begin), &trigrams);
        begin = pos;
      }
      AddTrigrams(mask.substr(begin), &trigrams);
    }
  } else {
    Fold(query, &text_);
    AddTrigrams(query, &trigrams);
  }
  // A few trigrams from across the set narrow the candidates as well as all of them.
  std::vector<std::string> chosen(trigrams.begin(), trigrams.end());
  if (chosen.size() > kMaxTrigrams) {
    std::vector<std::string> spread;
    for (size_t i = 0; i < kMaxTrigrams; ++i) {
      spread.push_back(chosen[i * (chosen.size() - 1) / (kMaxTrigrams - 1)]);
    }
    chosen = std::move(spread);
  }
  for (const std::string& trigram : chosen) {
    if (!trigram_query_.empty()) trigram_query_ += " AND ";
    trigram_query_ += '"';
    for (const char c : trigram) {
      if (c == '"') trigram_query_ += '"';
      trigram_query_ += c;
    }
    trigram_query_ += '"';
  }
}

bool NameMatcher::Matches(std::string_view name) const {
  if (mask_) return walk_.Matches(MaskListKind::kIncludeFiles, name, true);
  if (text_.empty()) return true;
  Fold(name, &name_);
  return std::search(name_.begin(), name_.end(), text_.begin(), text_.end()) != name_.end();
}

}  // namespace catalogue
