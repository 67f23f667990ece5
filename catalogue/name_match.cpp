#include "catalogue/name_match.h"

#include <algorithm>
#include <set>

#include "support/text.h"

namespace catalogue {

namespace {

constexpr size_t kTrigram = 3;
// Enough to make a query selective; more only lengthen the intersection.
constexpr size_t kMaxTrigrams = 6;

// Characters the index splits names into exactly as written: ASCII and valid UTF-8
// sequences. A byte of invalid UTF-8 may be read together with its neighbours there.
bool Certain(std::string_view piece, size_t begin, size_t end) {
  return end - begin == 1 ? static_cast<unsigned char>(piece[begin]) < 0x80 : true;
}

// Adds the trigrams of a run of literal characters.
void AddTrigrams(std::string_view piece, std::set<std::string>* trigrams) {
  std::vector<size_t> starts;  // start of each character, and the end
  size_t pos = 0;
  while (pos < piece.size()) {
    starts.push_back(pos);
    support::NextChar(piece, &pos);
  }
  starts.push_back(piece.size());
  size_t run = 0;  // certain characters in a row ending at i
  for (size_t i = 0; i + 1 < starts.size(); ++i) {
    run = Certain(piece, starts[i], starts[i + 1]) ? run + 1 : 0;
    if (run >= kTrigram) {
      const size_t from = starts[i + 1 - kTrigram];
      trigrams->insert(std::string(piece.substr(from, starts[i + 1] - from)));
    }
  }
}

void Fold(std::string_view text, std::vector<uint32_t>* out) {
  out->clear();
  size_t pos = 0;
  while (pos < text.size()) out->push_back(support::FoldLower(support::NextChar(text, &pos)));
}

}  // namespace

NameMatcher::NameMatcher(std::string_view query) {
  mask_ = query.find_first_of("*?") != std::string_view::npos;
  std::set<std::string> trigrams;
  if (mask_) {
    walk_.AddMasks(MaskListKind::kIncludeFiles, query);
    // Groups and alternatives make what follows uncertain: no trigrams from a mask with
    // them.
    if (query.find_first_of("{|") == std::string_view::npos) {
      size_t begin = 0;
      for (size_t i = 0; i <= query.size(); ++i) {
        const bool meta = i == query.size() || query[i] == '*' || query[i] == '?' ||
                          query.substr(i).starts_with("\xC2\xA7");
        if (!meta) continue;
        AddTrigrams(query.substr(begin, i - begin), &trigrams);
        begin = i + 1;
      }
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
