#include "support/pattern.h"

#include <algorithm>
#include <array>
#include <climits>
#include <memory>

#include "support/case_fold.h"
#include "support/text.h"

namespace support {

namespace {

constexpr uint32_t kDefaultMetas[6] = {0xA7, '?', '*', '{', '}', ','};

// Folding every character of every name through the out-of-line helper would cost a call
// per byte; everything that folds lies below 256.
const std::array<uint32_t, 256>& FoldTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t c = 0; c < 256; ++c) t[c] = support::FoldLower(c);
    return t;
  }();
  return table;
}

uint32_t Fold(uint32_t code) { return code < 256 ? FoldTable()[code] : support::FoldLower(code); }

// ASCII folds alike either way, so pure-ASCII data keeps the table.
uint32_t Fold(uint32_t code, bool unicode) {
  return unicode ? support::FoldCase(code) : Fold(code);
}

// Outside alternatives a blank run leaves out codes 1-5; masks have always matched so.
bool IsRunBlank(uint32_t code) { return code == 0 || (code >= 6 && code <= 32); }

// Pure-ASCII data is matched in place; positions are 1-based.
struct AsciiText {
  const unsigned char* bytes;
  const uint32_t* fold;
  uint32_t At(int pos) const { return fold[bytes[pos - 1]]; }
};

// Other data is decoded once into folded code points.
struct CodeText {
  const uint32_t* codes;
  uint32_t At(int pos) const { return codes[pos - 1]; }
};

bool IsAscii(std::string_view data) {
  for (unsigned char c : data) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

bool PatternMatcher::CharSet::Contains(uint32_t folded) const {
  if (folded < 256) return low.test(folded);
  return std::binary_search(high.begin(), high.end(), folded);
}

PatternMatcher::PatternMatcher(std::string_view pattern, const InStrSResult* metas,
                               CaseFolding folding)
    : unicode_(folding == CaseFolding::kUnicode) {
  uint32_t meta[6];
  std::copy(std::begin(kDefaultMetas), std::end(kDefaultMetas), meta);
  if (metas != nullptr) {
    int count = std::min<int>(metas->meta_count, 6);
    for (int i = 0; i < count; ++i) {
      if (metas->meta[i] > 32) meta[i] = metas->meta[i];
    }
  }
  const uint32_t blank = meta[0], any_one = meta[1], any_run = meta[2], open = meta[3],
                 close = meta[4], separator = meta[5];

  std::vector<uint32_t> chars;
  chars.reserve(pattern.size());
  for (size_t pos = 0; pos < pattern.size();) chars.push_back(support::NextChar(pattern, &pos));

  auto plain = [&](uint32_t c) -> Element {
    if (c == blank) return {Kind::kBlankRun, 0};
    if (c == any_one) return {Kind::kAnyOne, 0};
    if (c == any_run) return {Kind::kAnyRun, 0};
    return {Kind::kChar, Fold(c, unicode_)};
  };
  // "?" and "*" right after "*" add nothing but a required length.
  auto push = [](std::vector<Element>* out, Element e) {
    if ((e.kind == Kind::kAnyOne || e.kind == Kind::kAnyRun) && !out->empty() &&
        out->back().kind == Kind::kAnyRun) {
      return;
    }
    out->push_back(e);
  };

  // Where the next closer and separator lie, so that a pattern of many unclosed openers
  // is not rescanned from each of them.
  const size_t none = chars.size();
  std::vector<size_t> next_close;
  std::vector<size_t> next_separator;
  if (std::find(chars.begin(), chars.end(), open) != chars.end()) {
    next_close.assign(chars.size() + 1, none);
    next_separator.assign(chars.size() + 1, none);
  }
  for (size_t i = next_close.empty() ? 0 : chars.size(); i-- > 0;) {
    next_close[i] = chars[i] == close && chars[i] != separator ? i : next_close[i + 1];
    next_separator[i] = chars[i] == separator ? i : next_separator[i + 1];
  }

  for (size_t i = 0; i < chars.size(); ++i) {
    const uint32_t c = chars[i];
    if (c != open) {
      push(&elements_, plain(c));
      ++min_length_;
      continue;
    }
    // A separator before the first closer makes alternatives, else a set.
    const size_t close_at = next_close[i + 1];
    const bool alternatives = next_separator[i + 1] < close_at;
    if (close_at >= chars.size()) {
      push(&elements_, {Kind::kChar, Fold(c, unicode_)});
      ++min_length_;
      continue;
    }
    if (alternatives) {
      std::vector<Alternative> group(1);
      for (size_t j = i + 1; j < close_at; ++j) {
        if (chars[j] == separator) {
          group.emplace_back();
        } else {
          push(&group.back(), plain(chars[j]));
        }
      }
      elements_.push_back({Kind::kGroup, static_cast<uint32_t>(groups_.size())});
      groups_.push_back(std::move(group));
      ++min_length_;
    } else if (close_at > i + 1) {
      CharSet set;
      for (size_t j = i + 1; j < close_at; ++j) {
        uint32_t folded = Fold(chars[j], unicode_);
        if (folded < 256) {
          set.low.set(folded);
        } else {
          set.high.push_back(folded);
        }
      }
      std::sort(set.high.begin(), set.high.end());
      elements_.push_back({Kind::kSet, static_cast<uint32_t>(sets_.size())});
      sets_.push_back(std::move(set));
      ++min_length_;
    }
    i = close_at;
  }

  // Stars are numbered for the per-search memo.
  for (size_t k = 0; k < elements_.size(); ++k) {
    Element& e = elements_[k];
    if (e.kind == Kind::kAnyRun) e.code = static_cast<uint32_t>(star_count_++);
    if (e.kind == Kind::kGroup) e.variable = !FixedWidth(groups_[e.code]);
    // After "*" the search is for a plain character; nothing else can ever be found.
    if (e.kind == Kind::kAnyRun && k + 1 < elements_.size() &&
        elements_[k + 1].kind != Kind::kChar) {
      never_matches_ = true;
    }
  }
  for (auto& group : groups_) {
    for (auto& alternative : group) {
      for (size_t k = 0; k + 1 < alternative.size(); ++k) {
        // Same rule inside an alternative, but it only makes that alternative fail;
        // mark it with an impossible character so the search finds nothing.
        if (alternative[k].kind == Kind::kAnyRun && alternative[k + 1].kind != Kind::kChar) {
          alternative[k + 1] = {Kind::kChar, UINT32_MAX};
        }
      }
    }
  }
  if (!elements_.empty() && elements_[0].kind == Kind::kBlankRun) never_matches_ = true;
  // A leading group can only fit where one of its alternatives' first characters stands,
  // when all of them begin with a plain character.
  if (!elements_.empty() && elements_[0].kind == Kind::kGroup) {
    has_lead_set_ = true;
    for (const Alternative& alternative : groups_[elements_[0].code]) {
      if (alternative.empty() || alternative[0].kind != Kind::kChar) {
        has_lead_set_ = false;
        break;
      }
      const uint32_t code = alternative[0].code;
      if (code < 256) {
        lead_set_.low.set(code);
      } else {
        lead_set_.high.push_back(code);
      }
    }
    std::sort(lead_set_.high.begin(), lead_set_.high.end());
  }
}

int PatternMatcher::Find(std::string_view data, int* match_end) const {
  int end = 0;
  int start = Run(data, 0, 0, false, &end);
  if (start != 0 && match_end != nullptr) *match_end = end;
  return start;
}

int PatternMatcher::FindAnchored(std::string_view data, bool at_first, bool at_last,
                                 int* match_end) const {
  int end = 0;
  int start = Run(data, 0, at_first ? 1 : 0, at_last, &end);
  if (start != 0 && match_end != nullptr) *match_end = end;
  return start;
}

int PatternMatcher::Search(std::string_view data, int first, InStrSResult* result, int last) const {
  int end = 0;
  int start = Run(data, first, last, false, &end);
  if (start != 0 && result != nullptr) {
    result->match_start = start;
    result->match_start_line = 0;
    result->match_end = end;
    result->match_end_line = 0;
  }
  return start;
}

int PatternMatcher::Run(std::string_view data, int first, int last, bool to_end,
                        int* match_end) const {
  // Positions are 32-bit; a text too long for them is not searched.
  if (elements_.empty() || never_matches_ || data.empty() || data.size() >= INT_MAX) return 0;
  // No more characters than bytes: too short in bytes is too short.
  if (data.size() < static_cast<size_t>(min_length_)) return 0;
  constexpr int kStackStars = 16;
  StarMemo stack_memo[kStackStars];
  std::unique_ptr<StarMemo[]> heap_memo;
  StarMemo* memo = stack_memo;
  if (star_count_ > kStackStars) {
    heap_memo = std::make_unique<StarMemo[]>(star_count_);
    memo = heap_memo.get();
  }
  if (IsAscii(data)) {
    return SearchIn(
        AsciiText{reinterpret_cast<const unsigned char*>(data.data()), FoldTable().data()},
        static_cast<int>(data.size()), first, last, to_end, memo, match_end);
  }
  // Names fit the stack buffer; only long texts allocate.
  constexpr size_t kStackCodes = 512;
  uint32_t stack_codes[kStackCodes];
  std::unique_ptr<uint32_t[]> heap_codes;
  uint32_t* codes = stack_codes;
  if (data.size() > kStackCodes) {
    heap_codes = std::make_unique<uint32_t[]>(data.size());
    codes = heap_codes.get();
  }
  int n = 0;
  for (size_t pos = 0; pos < data.size();)
    codes[n++] = Fold(support::NextChar(data, &pos), unicode_);
  return SearchIn(CodeText{codes}, n, first, last, to_end, memo, match_end);
}

bool PatternMatcher::FixedWidth(const std::vector<Alternative>& group) {
  for (const Alternative& alternative : group) {
    if (alternative.size() != group[0].size()) return false;
    for (const Element& e : alternative) {
      if (e.kind != Kind::kChar && e.kind != Kind::kAnyOne) return false;
    }
  }
  return true;
}

template <typename Text>
int PatternMatcher::SearchIn(const Text& text, int n, int first, int last, bool to_end,
                             StarMemo* memo, int* match_end) const {
  if (n < min_length_) return 0;
  const int from = first < 1 ? 1 : first;
  const int to = (last < 1 || last > n) ? n : last;
  const Element& lead = elements_[0];
  for (int s = from; s <= to; ++s) {
    if (lead.kind == Kind::kChar) {
      while (s <= to && text.At(s) != lead.code) ++s;
      if (s > to) break;
    } else if (lead.kind == Kind::kSet || has_lead_set_) {
      const CharSet& set = lead.kind == Kind::kSet ? sets_[lead.code] : lead_set_;
      while (s <= to && !set.Contains(text.At(s))) ++s;
      if (s > to) break;
    }
    bool hopeless = false;
    if (MatchAt(text, n, s, to_end, memo, match_end, &hopeless)) return s;
    if (hopeless) break;
  }
  return 0;
}

// First position from q on holding `code`, or n + 1. The memo remembers the stretch
// [seen_from, seen_at) known to hold no such character.
template <typename Text>
int PatternMatcher::NextOf(const Text& text, int n, uint32_t code, int q, StarMemo* memo) {
  if (q >= memo->seen_from && q <= memo->seen_at) return memo->seen_at;
  const bool joins = q < memo->seen_from && memo->seen_from <= memo->seen_at;
  const int stop = joins ? memo->seen_from : n + 1;
  int j = q;
  while (j < stop && text.At(j) != code) ++j;
  if (j == stop && joins) j = memo->seen_at;
  memo->seen_from = q;
  memo->seen_at = j;
  return j;
}

// Walks the pattern from `start`; d is the position of the last character taken.
//
// What happens from a "*" on depends only on where it begins to search. Where nothing
// but elements that take places moving right with that beginning (everything except
// groups whose alternatives differ in width) lies between the "*" and a failure that is
// not a plain mismatch (nothing found, past the end), every later beginning fails too:
// memo.fail_from records it. With no such group since the start itself, every later
// start fails: *hopeless. Neither shortcut changes a result; they keep long texts and
// long patterns from going quadratic in the common shapes.
template <typename Text>
bool PatternMatcher::MatchAt(const Text& text, int n, int start, bool to_end, StarMemo* memo,
                             int* match_end, bool* hopeless) const {
  constexpr int kFromStart = -1;
  constexpr int kNoAnchor = -2;
  const int m = static_cast<int>(elements_.size());
  int k = 0;
  int d = start - 1;
  int anchor = kFromStart;  // the earliest star (or the start) with no uneven group since
  int anchor_query = 0;
  int back_k = -1;    // the character after the most recent "*"
  int back_d = 0;     // where it was last found
  int back_from = 0;  // where that star began to search
  int back_anchor = kFromStart;
  int back_anchor_query = 0;
  auto lasting_failure = [&] {
    if (anchor == kFromStart) {
      *hopeless = true;
    } else if (anchor >= 0) {
      memo[anchor].fail_from = std::min(memo[anchor].fail_from, anchor_query);
    }
    return false;
  };
  // On a mismatch: the next place of the most recent star's character; false when the
  // start fails.
  auto go_back = [&] {
    if (back_k < 0) return false;
    StarMemo& star = memo[elements_[back_k - 1].code];
    const int j = NextOf(text, n, elements_[back_k].code, back_d + 1, &star);
    anchor = back_anchor;
    anchor_query = back_anchor_query;
    if (j > n) {
      star.fail_from = std::min(star.fail_from, back_from);
      return lasting_failure();
    }
    back_d = j;
    d = j;
    k = back_k + 1;
    return true;
  };
  while (true) {
    if (k == m) {
      if (!to_end || d == n) {
        *match_end = d;
        return true;
      }
      if (!go_back()) return false;
      continue;
    }
    const Element& e = elements_[k];
    if (e.kind == Kind::kAnyRun) {
      if (k + 1 == m) {
        *match_end = n;
        return true;
      }
      StarMemo& star = memo[e.code];
      if (d >= star.fail_from) return lasting_failure();
      if (anchor == kNoAnchor) {
        anchor = static_cast<int>(e.code);
        anchor_query = d;
      }
      const int j = NextOf(text, n, elements_[k + 1].code, d + 1, &star);
      if (j > n) {
        star.fail_from = std::min(star.fail_from, d);
        return lasting_failure();
      }
      back_k = k + 1;
      back_d = j;
      back_from = d;
      back_anchor = anchor;
      back_anchor_query = anchor_query;
      d = j;
      k += 2;
      continue;
    }
    if (e.kind == Kind::kGroup) {
      const GroupOutcome outcome = MatchGroup(text, n, d, e.code, &d);
      if (outcome == GroupOutcome::kFits) {
        if (e.variable) anchor = kNoAnchor;
        ++k;
        continue;
      }
      if (outcome == GroupOutcome::kPastEnd && !e.variable) return lasting_failure();
      return false;
    }
    if (d + 1 > n) return lasting_failure();
    bool mismatch = false;
    switch (e.kind) {
      case Kind::kChar:
        mismatch = text.At(d + 1) != e.code;
        break;
      case Kind::kSet:
        mismatch = !sets_[e.code].Contains(text.At(d + 1));
        break;
      case Kind::kBlankRun: {
        // Never the last character: the run stops one short of the end.
        int j = d + 1;
        while (j < n && IsRunBlank(text.At(j))) ++j;
        d = j - 2;
        break;
      }
      default:
        break;
    }
    if (!mismatch) {
      ++d;
      ++k;
      continue;
    }
    if (!go_back()) return false;
  }
}

// Tries the alternatives of group `group` after position d; on kFits *new_d is the last
// character taken by the first one that fits.
template <typename Text>
PatternMatcher::GroupOutcome PatternMatcher::MatchGroup(const Text& text, int n, int d,
                                                        uint32_t group, int* new_d) const {
  for (const Alternative& alternative : groups_[group]) {
    const int size = static_cast<int>(alternative.size());
    int pos = d;
    bool fits = true;
    for (int i = 0; i < size && fits; ++i) {
      const Element& e = alternative[i];
      switch (e.kind) {
        case Kind::kChar:
          if (pos + 1 > n) return GroupOutcome::kPastEnd;
          fits = text.At(pos + 1) == e.code;
          if (fits) ++pos;
          break;
        case Kind::kAnyOne:
          if (pos + 1 > n) return GroupOutcome::kPastEnd;
          ++pos;
          break;
        case Kind::kBlankRun:
          while (pos + 1 <= n && text.At(pos + 1) <= 32) ++pos;
          break;
        case Kind::kAnyRun: {
          if (i + 1 == size) break;
          const uint32_t code = alternative[i + 1].code;
          int j = pos + 1;
          while (j <= n && text.At(j) != code) ++j;
          fits = j <= n;
          pos = j;
          ++i;
          break;
        }
        default:
          break;
      }
    }
    if (fits) {
      *new_d = pos;
      return GroupOutcome::kFits;
    }
  }
  return GroupOutcome::kNoFit;
}

int InStrS(std::string_view pattern, std::string_view data, int first, InStrSResult* result,
           int last, int options) {
  if (options != 0) return 0;
  return PatternMatcher(pattern, result).Search(data, first, result, last);
}

}  // namespace support
