// The pattern engine against a plain reading of its language: input "pattern NUL name
// [NUL metas]". The reference below compiles the pattern by the rules the header states
// and tries every start, backtracking only the latest "*", with none of the engine's
// filters, memos or early exits. Both must give the same start and end for every search
// form: plain, from a first position, up to a last start, anchored at either end.

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "support/pattern.h"
#include "support/text.h"

namespace {

class Reference {
 public:
  Reference(std::string_view pattern, const uint32_t (&meta)[6]) {
    const uint32_t blank = meta[0], any_one = meta[1], any_run = meta[2], open = meta[3],
                   close = meta[4], separator = meta[5];
    std::vector<uint32_t> chars;
    for (size_t pos = 0; pos < pattern.size();) chars.push_back(support::NextChar(pattern, &pos));
    auto plain = [&](uint32_t c) {
      if (c == blank) return Element(Kind::kBlankRun);
      if (c == any_one) return Element(Kind::kAnyOne);
      if (c == any_run) return Element(Kind::kAnyRun);
      return Element(Kind::kChar, support::FoldLower(c));
    };
    // "?" and "*" straight after "*" still count towards the length.
    auto push = [](std::vector<Element>* out, const Element& e) {
      if ((e.kind == Kind::kAnyOne || e.kind == Kind::kAnyRun) && !out->empty() &&
          out->back().kind == Kind::kAnyRun) {
        return;
      }
      out->push_back(e);
    };
    for (size_t i = 0; i < chars.size(); ++i) {
      ++length_;
      if (chars[i] != open) {
        push(&elements_, plain(chars[i]));
        continue;
      }
      size_t end = i + 1;
      while (end < chars.size() && chars[end] != close) ++end;
      if (end == chars.size()) {
        elements_.push_back(Element(Kind::kChar, support::FoldLower(chars[i])));
        continue;
      }
      const bool alternatives =
          std::find(chars.begin() + i + 1, chars.begin() + end, separator) != chars.begin() + end;
      Element e(alternatives ? Kind::kGroup : Kind::kSet);
      if (alternatives) e.alternatives.emplace_back();
      for (size_t j = i + 1; j < end; ++j) {
        if (!alternatives) {
          e.set.push_back(support::FoldLower(chars[j]));
        } else if (chars[j] == separator) {
          e.alternatives.emplace_back();
        } else {
          push(&e.alternatives.back(), plain(chars[j]));
        }
      }
      if (end == i + 1) {
        --length_;  // "{}" is dropped
      } else {
        elements_.push_back(std::move(e));
      }
      i = end;
    }
  }

  bool empty() const { return elements_.empty(); }

  // Start of the leftmost match or 0; *end gets its end.
  int Search(const std::vector<uint32_t>& text, size_t bytes, int first, int last, bool to_end,
             int* end) const {
    const int n = static_cast<int>(text.size());
    if (elements_.empty() || n == 0 || bytes < length_ || static_cast<size_t>(n) < length_) {
      return 0;
    }
    if (elements_[0].kind == Kind::kBlankRun) return 0;
    for (size_t k = 0; k + 1 < elements_.size(); ++k) {
      if (elements_[k].kind == Kind::kAnyRun && elements_[k + 1].kind != Kind::kChar) return 0;
    }
    const int from = first < 1 ? 1 : first;
    const int to = last < 1 || last > n ? n : last;
    for (int s = from; s <= to; ++s) {
      if (MatchAt(text, s, to_end, end)) return s;
    }
    return 0;
  }

 private:
  enum class Kind { kChar, kBlankRun, kAnyOne, kAnyRun, kSet, kGroup };
  struct Element {
    explicit Element(Kind k, uint32_t c = 0) : kind(k), code(c) {}
    Kind kind;
    uint32_t code;
    std::vector<uint32_t> set;
    std::vector<std::vector<Element>> alternatives;
  };
  enum class Fit { kFits, kNoFit, kPastEnd };

  static int NextOf(const std::vector<uint32_t>& text, uint32_t code, int from) {
    const int n = static_cast<int>(text.size());
    while (from <= n && text[from - 1] != code) ++from;
    return from;
  }

  bool MatchAt(const std::vector<uint32_t>& text, int start, bool to_end, int* end) const {
    const int n = static_cast<int>(text.size());
    const int m = static_cast<int>(elements_.size());
    int k = 0;
    int d = start - 1;
    int back_k = -1;
    int back_d = 0;
    while (true) {
      bool fits = true;
      if (k == m) {
        if (!to_end || d == n) {
          *end = d;
          return true;
        }
        fits = false;
      } else {
        const Element& e = elements_[k];
        if (e.kind == Kind::kAnyRun) {
          if (k + 1 == m) {
            *end = n;
            return true;
          }
          const int j = NextOf(text, elements_[k + 1].code, d + 1);
          if (j > n) return false;
          back_k = k + 1;
          back_d = j;
          d = j;
          k += 2;
          continue;
        }
        if (e.kind == Kind::kGroup) {
          if (Group(e, text, &d) != Fit::kFits) return false;
          ++k;
          continue;
        }
        if (d + 1 > n) return false;
        const uint32_t c = text[d];
        if (e.kind == Kind::kChar) fits = c == e.code;
        if (e.kind == Kind::kSet) fits = std::find(e.set.begin(), e.set.end(), c) != e.set.end();
        if (e.kind == Kind::kBlankRun) {
          // Codes 0 and 6-32, never the last character.
          while (d + 1 < n && (text[d] == 0 || (text[d] >= 6 && text[d] <= 32))) ++d;
          ++k;
          continue;
        }
        if (fits) {
          ++d;
          ++k;
          continue;
        }
      }
      if (back_k < 0) return false;
      const int j = NextOf(text, elements_[back_k].code, back_d + 1);
      if (j > n) return false;
      back_d = j;
      d = j;
      k = back_k + 1;
    }
  }

  static Fit Group(const Element& group, const std::vector<uint32_t>& text, int* d) {
    const int n = static_cast<int>(text.size());
    for (const std::vector<Element>& alternative : group.alternatives) {
      int pos = *d;
      bool fits = true;
      for (size_t i = 0; i < alternative.size() && fits; ++i) {
        const Element& e = alternative[i];
        if (e.kind == Kind::kChar || e.kind == Kind::kAnyOne) {
          if (pos + 1 > n) return Fit::kPastEnd;
          fits = e.kind == Kind::kAnyOne || text[pos] == e.code;
          if (fits) ++pos;
        } else if (e.kind == Kind::kBlankRun) {
          while (pos + 1 <= n && text[pos] <= 32) ++pos;
        } else if (e.kind == Kind::kAnyRun && i + 1 < alternative.size()) {
          // Only a plain character can be searched for.
          if (alternative[i + 1].kind != Kind::kChar) {
            fits = false;
            break;
          }
          pos = NextOf(text, alternative[++i].code, pos + 1);
          fits = pos <= n;
        }
      }
      if (fits) {
        *d = pos;
        return Fit::kFits;
      }
    }
    return Fit::kNoFit;
  }

  std::vector<Element> elements_;
  size_t length_ = 0;
};

std::string Describe(int start, int end) {
  return start == 0 ? "0" : std::to_string(start) + "-" + std::to_string(end);
}

void Agree(int engine_start, int engine_end, int reference_start, int reference_end,
           const char* form) {
  if (Describe(engine_start, engine_end) == Describe(reference_start, reference_end)) return;
  std::fprintf(stderr, "%s: engine %s, reference %s\n", form,
               Describe(engine_start, engine_end).c_str(),
               Describe(reference_start, reference_end).c_str());
  fuzz::Fail("engine and reference agree", __FILE__, __LINE__);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::vector<std::string_view> fields = fuzz::Fields(fuzz::AsText(bytes, size), 3);
  const std::string_view pattern = fields[0];
  const std::string_view name = fields.size() > 1 ? fields[1] : std::string_view();

  support::InStrSResult metas{};
  uint32_t meta[6] = {0xA7, '?', '*', '{', '}', ','};
  if (fields.size() > 2) {
    metas.meta_count = static_cast<uint8_t>(std::min<size_t>(fields[2].size(), 6));
    for (size_t i = 0; i < metas.meta_count; ++i) {
      metas.meta[i] = static_cast<uint8_t>(fields[2][i]);
      if (metas.meta[i] > 32) meta[i] = metas.meta[i];
    }
  }
  // The language says nothing about one character standing for two metacharacters.
  bool distinct = true;
  for (int i = 0; i < 6; ++i) {
    for (int j = i + 1; j < 6; ++j) distinct = distinct && meta[i] != meta[j];
  }

  const support::PatternMatcher matcher(pattern, &metas);
  std::vector<uint32_t> text;
  for (size_t pos = 0; pos < name.size();) {
    text.push_back(support::FoldLower(support::NextChar(name, &pos)));
  }
  const int n = static_cast<int>(text.size());

  support::InStrSResult result = metas;
  const int start = support::InStrS(pattern, name, 0, &result, support::kInStrSDefaultLast, 0);
  const int end = start != 0 ? result.match_end : 0;
  FUZZ_CHECK(start == 0 || (start >= 1 && start <= n && end >= start - 1 && end <= n));
  FUZZ_CHECK(matcher.Find(name) == start);
  FUZZ_CHECK(!matcher.empty() || start == 0);
  if (start > 1) {
    // Leftmost: nothing starts before it, and searching from it finds it again.
    FUZZ_CHECK(matcher.Search(name, 1, nullptr, start - 1) == 0);
  }
  if (start != 0) {
    int again_end = 0;
    FUZZ_CHECK(matcher.Search(name, start, &result, 0) == start);
    again_end = result.match_end;
    FUZZ_CHECK(again_end == end);
  }

  if (!distinct) return 0;
  const Reference reference(pattern, meta);
  FUZZ_CHECK(reference.empty() == matcher.empty());
  int reference_end = 0;
  int reference_start = reference.Search(text, name.size(), 0, 0, false, &reference_end);
  Agree(start, end, reference_start, reference_end, "Find");

  for (int anchors = 1; anchors < 4; ++anchors) {
    const bool at_first = (anchors & 1) != 0;
    const bool at_last = (anchors & 2) != 0;
    int anchored_end = 0;
    const int anchored = matcher.FindAnchored(name, at_first, at_last, &anchored_end);
    reference_start =
        reference.Search(text, name.size(), 0, at_first ? 1 : 0, at_last, &reference_end);
    Agree(anchored, anchored_end, reference_start, reference_end, "FindAnchored");
  }

  // A window of starts drawn from the input.
  const uint32_t mix = fuzz::Mix(name);
  const int first = n == 0 ? 0 : static_cast<int>(mix % static_cast<uint32_t>(n + 2)) - 1;
  const int last = n == 0 ? 0 : static_cast<int>((mix >> 16) % static_cast<uint32_t>(n + 2)) - 1;
  support::InStrSResult window{};
  const int window_start = matcher.Search(name, first, &window, last);
  reference_start = reference.Search(text, name.size(), first, last, false, &reference_end);
  Agree(window_start, window_start != 0 ? window.match_end : 0, reference_start, reference_end,
        "Search");
  return 0;
}
