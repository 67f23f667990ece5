#pragma once
// Name-pattern search: wildcards "?" and "*", blank runs "§", character sets "{ab}"
// and alternatives "{x,yz}", without regard to case. Positions are 1-based character
// positions.
//
// Pattern language (default metacharacters; a result record may replace them):
//   "?"        any one character.
//   "*"        any run of characters. Every "?" and "*" directly after it is absorbed.
//              The element after it must be a plain character, which is searched for
//              (only the most recent "*" is ever backtracked); at the end of the pattern
//              the match extends to the end of the data. A "*" followed by a set, a group
//              or "§" never matches.
//   "§"        a run of zero or more characters of codes 0 and 6-32, never taking the
//              data's last character; it still needs one character after what was taken.
//              A pattern beginning with it never matches.
//   "{abc}"    one character out of the set; metacharacters inside are plain; "{}" is
//              dropped.
//   "{x,y,z}"  alternatives, tried in order from the current place; the first that fits
//              is kept even when the rest of the pattern then fails. Inside one, "?" is
//              any character, "§" takes all following characters of codes 0-32, "*"
//              searches for the next plain character of the alternative (absorbing "?"
//              and "*" after it; at the alternative's end it takes nothing). When no
//              alternative fits, or one runs past the end of the data, the match at this
//              start fails.
//   A "{" without a "}" to close it is a plain character; "," is plain outside a group.
//   Several groups in one pattern are each parsed on their own, left to right: a group
//   ends at its first "}", and the scan for the next "{" resumes after it. There is no
//   escape; replace a metacharacter to match it literally (or put it in a set).
//   Other characters, control characters included, match themselves folded as
//   support::FoldLower folds them.
//   Data shorter than the pattern (each group and metacharacter counting as one
//   character) never matches, even where "*" or "§" could take nothing.

#include <bitset>
#include <climits>
#include <cstdint>
#include <string_view>
#include <vector>

namespace support {

// The search-result record; the caller zero-fills it (value-initialises) before a call.
struct InStrSResult {
  std::bitset<256> word_boundary;
  std::bitset<256> skippable;
  uint8_t meta_count = 0;  // 0 = default metacharacters
  uint8_t meta[6] = {};    // blank run, any one, any run, group open, close, separator
  std::bitset<256> equivalence[5];
  int32_t range[4] = {};
  int32_t match_start = 0;
  int32_t match_start_line = 0;
  int32_t match_end = 0;
  int32_t match_end_line = 0;
};

// "last" value meaning the end of the text.
constexpr int kInStrSDefaultLast = 2147483646;

// Start of the leftmost match of `pattern` in `data`, or 0. first: where to start
// (0 = 1); last: last possible start (0 or kInStrSDefaultLast = end of text); options
// must be 0. Stateless and thread-safe.
//
// The match end written to the record is the position of the last character taken (the
// data's length when the pattern ends with "*"); a match that takes no character ends
// one before its start. Metacharacters are taken from the record when its meta_count is
// above 0: meta byte b stands for the character of code b, a byte of 32 or less keeps
// the default. An empty pattern, one that compiles to nothing ("{}"), empty data and
// options other than 0 give 0. first below 1 means 1 and last below 1 means the end.
int InStrS(std::string_view pattern, std::string_view data, int first, InStrSResult* result,
           int last, int options);

// A pattern compiled once and matched many times, exactly as InStrS with options 0
// would match it. Immutable after construction: its const members may be called from any
// number of threads at once. They allocate nothing for ASCII data and patterns with up
// to 16 "*"; other data over 512 bytes is decoded into a temporary buffer. Data of
// INT_MAX bytes or more is not searched (0).
// How characters fold: support::FoldLower (the walk, and every other use), or Unicode
// simple case folding for every script (the catalogue's name search).
enum class CaseFolding { kFixed, kUnicode };

class PatternMatcher {
 public:
  // metas: only its meta_count and meta fields are read; null means the defaults.
  explicit PatternMatcher(std::string_view pattern, const InStrSResult* metas = nullptr,
                          CaseFolding folding = CaseFolding::kFixed);

  // Same contract as InStrS (without options): start of the leftmost match or 0;
  // `result`, when given, gets match start and end (lines 0) on success only.
  int Search(std::string_view data, int first, InStrSResult* result, int last) const;
  // Search over the whole of `data`; *match_end (when given) gets the end on success.
  int Find(std::string_view data, int* match_end = nullptr) const;
  // For whole-name tests. at_first: only a match starting at position 1 counts. at_last:
  // only a match ending at the last character counts, and reaching the pattern's end
  // anywhere else counts as a mismatch, so the last "*" searches on ("*.tmp" hits
  // "a.tmp.tmp", which Find reports as ending at 5). Otherwise as Find.
  int FindAnchored(std::string_view data, bool at_first, bool at_last,
                   int* match_end = nullptr) const;

  // True when the pattern compiled to nothing, so that it matches no data.
  bool empty() const { return elements_.empty(); }

 private:
  enum class Kind : uint8_t { kChar, kBlankRun, kAnyOne, kAnyRun, kSet, kGroup };
  // code: the folded character (kChar), the index into sets_ / groups_, or the number
  // of the star (kAnyRun).
  struct Element {
    Kind kind;
    uint32_t code;
    bool variable = false;  // a group whose alternatives may take different lengths
  };
  // Per search and per star: where its search is known to lead to failure, and a
  // stretch known to hold none of the character it searches for.
  struct StarMemo {
    int fail_from = INT_MAX;
    int seen_from = 1;
    int seen_at = 0;
  };
  struct CharSet {
    std::bitset<256> low;        // folded members below 256
    std::vector<uint32_t> high;  // folded members from 256 up, sorted
    bool Contains(uint32_t folded) const;
  };
  using Alternative = std::vector<Element>;  // kChar, kBlankRun, kAnyOne, kAnyRun only

  enum class GroupOutcome { kFits, kNoFit, kPastEnd };

  static bool FixedWidth(const std::vector<Alternative>& group);
  int Run(std::string_view data, int first, int last, bool to_end, int* match_end) const;
  template <typename Text>
  int SearchIn(const Text& text, int n, int first, int last, bool to_end, StarMemo* memo,
               int* match_end) const;
  template <typename Text>
  static int NextOf(const Text& text, int n, uint32_t code, int q, StarMemo* memo);
  template <typename Text>
  bool MatchAt(const Text& text, int n, int start, bool to_end, StarMemo* memo, int* match_end,
               bool* hopeless) const;
  template <typename Text>
  GroupOutcome MatchGroup(const Text& text, int n, int d, uint32_t group, int* new_d) const;

  std::vector<Element> elements_;
  std::vector<CharSet> sets_;
  std::vector<std::vector<Alternative>> groups_;
  int min_length_ = 0;  // characters the data needs before a match is tried
  int star_count_ = 0;
  CharSet lead_set_;  // first characters of a leading group's alternatives
  bool has_lead_set_ = false;
  bool never_matches_ = false;
  bool unicode_ = false;  // CaseFolding::kUnicode
};

}  // namespace support
