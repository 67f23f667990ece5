#include "support/pattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/temp_tree.h"

namespace support {

namespace {

// "start-end" of the match, or "0". Also checks that the compiled matcher agrees and that
// the record's line fields are cleared.
std::string Match(std::string_view pattern, std::string_view data, int first = 0,
                  int last = kInStrSDefaultLast) {
  InStrSResult result{};
  result.match_start_line = 7;
  result.match_end_line = 7;
  const int start = InStrS(pattern, data, first, &result, last, 0);
  const PatternMatcher matcher(pattern);
  InStrSResult again{};
  EXPECT_EQ(matcher.Search(data, first, &again, last), start) << pattern << " in " << data;
  if (start == 0) return "0";
  EXPECT_EQ(result.match_start, start);
  EXPECT_EQ(result.match_start_line, 0);
  EXPECT_EQ(result.match_end_line, 0);
  EXPECT_EQ(again.match_end, result.match_end);
  return std::to_string(start) + "-" + std::to_string(result.match_end);
}

// Same with replaced metacharacters.
std::string MatchWith(std::string_view metas, std::string_view pattern, std::string_view data,
                      int count = 6) {
  InStrSResult result{};
  result.meta_count = static_cast<uint8_t>(count);
  for (size_t i = 0; i < metas.size() && i < 6; ++i) result.meta[i] = metas[i];
  const int start = InStrS(pattern, data, 0, &result, kInStrSDefaultLast, 0);
  EXPECT_EQ(PatternMatcher(pattern, &result).Search(data, 0, nullptr, 0), start);
  if (start == 0) return "0";
  return std::to_string(start) + "-" + std::to_string(result.match_end);
}

// InStrS alone, for the big inputs.
std::string Quick(std::string_view pattern, std::string_view data) {
  InStrSResult result{};
  const int start = InStrS(pattern, data, 0, &result, kInStrSDefaultLast, 0);
  if (start == 0) return "0";
  return std::to_string(start) + "-" + std::to_string(result.match_end);
}

// "start-end" from FindAnchored, or "0".
std::string Whole(std::string_view pattern, std::string_view data, bool at_first, bool at_last) {
  int end = 0;
  const int start = PatternMatcher(pattern).FindAnchored(data, at_first, at_last, &end);
  return start == 0 ? "0" : std::to_string(start) + "-" + std::to_string(end);
}

// Searches from `first` to `last` (1-based) and their outcome, "start-end" or "0".
struct SearchCase {
  std::string pattern, text, expected;
  int first = 0;
  int last = kInStrSDefaultLast;
};

// clang-format off
const SearchCase kSearches[] = {
    // Worked examples.
    {"*.tmp", "a.TMP", "1-5"}, {"tmp", "a.tmp", "3-5"}, {"a?c", "xabc", "2-4"},
    {"a*c", "abxyc", "1-5"}, {"{x,ab}c", "zabc", "2-4"}, {"f{ab}", "fB", "1-2"},
    {"f{}", "xf", "2-2"}, {"f{}", "f", "1-1"}, {"a\u00A7b", "a  b", "1-4"},
    {"a\u00A7b", "a  xb", "0"}, {"a\u00A7", "a  ", "1-2"}, {"a*?b", "abcd", "1-2"},
    {"*{a,b}", "ab", "0"}, {"*{a,b}", "xxa", "0"}, {"{?a,b}", "xa", "1-2"}, {"{,x}y", "zy", "2-2"},
    {"{b,\u00E9}", "x\u00C9", "2-2"}, {"{\u20AC,b}", "x\u20AC", "2-2"},
    {"\u00C9T\u00C9", "\u00E9t\u00E9", "1-3"}, {"{abc,a}", "xa", "0"}, {"\u00A7a", "  a", "0"},
    {"\u00A7a", "a", "0"}, {"a*", "a", "0"}, {"a*", "ab", "1-2"}, {"a*b", "ab", "0"},
    {"a*b", "abXX", "1-2"},
    // Empty groups: alone they make an empty pattern, which finds nothing.
    {"{}", "abc", "0"}, {"{}{}", "{}", "0"}, {"{}*", "abc", "1-3"},
    // Quick rejection counts every element once.
    {"*?*?", "abc", "0"}, {"*?*?", "abcd", "1-4"}, {"***c", "abc", "0"}, {"***c", "abcd", "1-3"},
    {"{t,tmp}", "t", "1-1"}, {"{x,y}{ab}", "xb", "1-2"}, {"{x,y}{ab}", "x", "0"},
    {"a\u00A7\u00A7b", "ab", "0"}, {"a\u00A7\u00A7b", "abcd", "1-2"},
    // The whole text counts, not what lies after `first`.
    {"ab", "xxab", "3-4", 3},
    // Star runs absorb and reach the end.
    {"*", "abc", "1-3"}, {"b*", "abc", "2-3"}, {"?*", "abc", "1-3"}, {"*?b", "xab", "1-3"},
    {"a*b*c", "aXbYbZc", "1-7"}, {"a*bc", "abxbc", "1-5"}, {"a*b?d", "abcbxd", "1-6"},
    {"a*b?d", "abcbx", "0"}, {"*a", "bbb", "0"}, {"x*y", "x y x", "1-3"},
    {"*.*", "name.tar.gz", "1-11"}, {"*.", "a.b.c", "1-2"},
    // First and last bound the start.
    {"b", "abab", "4-4", 3}, {"b", "abab", "0", 0, 1}, {"b", "abab", "2-2", 0, 0},
    {"b", "abab", "2-2", 0, 99}, {"b", "abab", "2-2", -5}, {"b", "abab", "2-2", 0, -5},
    {"b", "abab", "0", 5}, {"b", "abab", "0", 3, 2}, {"b", "abab", "4-4", 4, 4},
    // The match may run past `last`.
    {"ab", "xab", "2-3", 0, 2},
    // Positions count characters.
    {"b", "\u00E9b\u00E9b", "4-4", 3},
    // Positions are characters.
    {"*.txt", "\u00C4pfel.txt", "1-9"}, {"pfel", "\u00C4pfel", "2-5"}, {"?", "\u20AC", "1-1"},
    {"??", "\U0001F600", "0"}, {"?x", "\U0001F600x", "1-2"}, {"\U0001F600", "a\U0001F600", "2-2"},
    // A cut sequence is two characters of their own.
    {"a?b", "a\xE2\x82" "b", "0"}, {"a??b", "a\xE2\x82" "b", "1-4"},
    {"\xE2\x82", "x\xE2\x82", "2-3"},
    // Case folding is ASCII and Latin-1.
    {"ABC", "xabc", "2-4"}, {"abc", "XABC", "2-4"}, {"\u00C0\u00DE", "\u00E0\u00FE", "1-2"},
    {"\u00E0\u00FE", "\u00C0\u00DE", "1-2"},
    // An invalid byte is the character of its code and folds like it.
    {"\u00E9", "x\xC9", "2-2"}, {"\xC9", "\u00E9", "1-1"}, {"\xE9t\xE9", "\u00C9T\u00C9", "1-3"},
    // Only themselves.
    {"\u00DF", "SS", "0"}, {"\u00DF", "\u1E9E", "0"}, {"\u00DF", "\u00DF", "1-1"},
    {"\u00FF", "\u0178", "0"}, {"\u00D7", "\u00F7", "0"}, {"\u0101", "\u0100", "0"},
    {"[", "{", "0"}, {"@", "`", "0"},
    // Blank runs.
    {"a\u00A7b", "ab", "0"},  // quick rejection
    {"a\u00A7b", "abX", "1-2"}, {"a\u00A7b", "a\tb", "1-3"},
    {"a\u00A7b", std::string("a\0\0b", 4), "1-4"},
    // Codes 1 to 5 are not blanks here.
    {"a\u00A7b", "a\x01" "b", "0"}, {"a\u00A7b", "a\x05" "b", "0"},
    {"a\u00A7b", "a\x06" "b", "1-3"},
    // Never the last character, and it needs a character after what was taken.
    {"a\u00A7", "ab", "1-1"}, {"a\u00A7", "a \t", "1-2"}, {"a\u00A7", "ba", "0"},
    // No going back into the run.
    {"a\u00A7 b", "a  b", "0"}, {"x\u00A7\u00A7y", "x  y", "1-4"},
    // The blank-run character written as an invalid byte is the same character.
    {"a\xA7" "b", "a  b", "1-4"},
    // Character sets.
    {"{xy}z", "aYz", "2-3"}, {"{xy}z", "aqz", "0"},
    // Metacharacters in a set are plain.
    {"a{?*}", "a*", "1-2"}, {"a{?*}", "a?", "1-2"}, {"a{?*}", "ab", "0"},
    {"{\u00A7}", "x\u00A7", "2-2"}, {"{\u00A7}", "x ", "0"}, {"{\u00E9}", "\u00C9", "1-1"},
    {"{\u20AC$}", "x\u20AC", "2-2"}, {"{\u00DF}", "s", "0"}, {"*{ab}", "ab", "0"},
    {"*.{ab}", "x.B", "1-3"},
    // Alternatives.
    {"{a?c,zz}", "xabc", "2-4"}, {"{a*c,q}d", "abbcd", "1-5"}, {"{a*?c,q}", "abc", "1-3"},
    {"{a*z,ab}", "ab", "1-2"},
    // "*" at an alternative's end takes nothing.
    {"{a*,q}", "abc", "1-1"},
    // Inside an alternative a blank run takes codes 0-32 up to the very end.
    {"{a\u00A7b,q}", "a\x01\x02" "b", "1-4"}, {"{a\u00A7,q}", "a  ", "1-3"},
    {"{a*\u00A7,q}", "a  ", "0"},
    // Empty alternatives take nothing.
    {"{,a}b", "ab", "2-2"}, {"{a,}b", "ab", "1-2"},
    {"x{,}", "x", "0"},  // two elements, one character
    {"x{,}", "xy", "1-1"},
    // The first that fits is kept.
    {"{a,ab}c", "abc", "0"}, {"{ab,a}c", "abc", "1-3"}, {"{ab,a}c", "ac", "1-2"},
    // One running past the end stops the others at that start.
    {"{abc,a}", "xab", "0"}, {"{abc,a}", "xabz", "2-2"}, {"{a?,a}", "ba", "0"},
    // No fit fails the start without going back to the last "*".
    {"a*b{x,y}", "abqbx", "0"},
    // A mismatch after the group does go back.
    {"a*b{x,y}z", "abxqbyz", "1-7"},
    // So a group right after "*" and its character may match only from a later start.
    {"*.{tmp,bak}", "a.b.BAK", "3-7"}, {"*.{tmp,bak}", "a.BAK", "1-5"},
    {"{recycler,recycled,temp,tmp}", "TEMP", "1-4"},
    {"{recycler,recycled,temp,tmp}", "Recycled", "1-8"},
    {"{recycler,recycled,temp,tmp}", "recycle", "0"},
    // Several groups are parsed one by one.
    {"{a,b}{c,d}", "xbd", "2-3"}, {"{a,b}x{cd}", "bxD", "1-3"}, {"{ab}{c,d}{}e", "BdE", "1-3"},
    {"{x,y}-{1,22}-{z}", "y-22-Z", "1-6"}, {"{x,y}-{1,22}-{z}", "y-2-z", "0"},
    // Unmatched braces are plain.
    {"a{b", "xa{b", "2-4"}, {"{a,b", "{a,b", "1-4"}, {"{a,b", "a", "0"}, {"a}b", "a}b", "1-3"},
    {"a,b", "a,b", "1-3"}, {"{{", "x{{", "2-3"}, {"{a*", "{abc", "1-4"},
    // The first closer ends the group; an opener inside is plain.
    {"{a{b}", "{", "1-1"}, {"{a,b{c}", "b{c", "1-3"}, {"{a,b}}", "b}", "1-2"}, {"}{", "}{", "1-2"},
    // Control characters in the pattern are literals.
    {"a\x03", "abc", "0"}, {"a\x03", "a\x03", "1-2"}, {"a\x02" "c", "abc", "0"},
    {"\x01x", "\x01x", "1-2"}, {"*\x05", "ab\x05", "1-3"},
    // The first end is kept (see the anchored cases).
    {"*.tmp", "x.tmp.tmp", "1-5"},
};

// The six metacharacters replaced by `metas`, of which `count` bytes count.
struct MetaCase {
  std::string metas, pattern, text, expected;
  int count = 6;
};

const MetaCase kMetaCases[] = {
    {"#%+<>|", "a%c", "abc", "1-3"}, {"#%+<>|", "a?c", "abc", "0"}, {"#%+<>|", "a?c", "a?c", "1-3"},
    {"#%+<>|", "+.tmp", "a.tmp", "1-5"}, {"#%+<>|", "*.tmp", "a*.tmp", "2-6"},
    {"#%+<>|", "<x|ab>c", "zabc", "2-4"}, {"#%+<>|", "{x,ab}c", "{x,ab}c", "1-7"},
    {"#%+<>|", "<x%>", "%", "1-1"}, {"#%+<>|", "a#b", "a  b", "1-4"},
    {"#%+<>|", "a\u00A7b", "a\u00A7b", "1-3"},
    // Only the first meta_count bytes count; a byte of 32 or less keeps the default.
    {"#%", "a#b%", "a  bc", "1-5", 2}, {"#%+", "a*c%", "aXYc?", "1-5", 2},
    {"#%+", "a+c", "abc", "0", 2}, {" %", "a\u00A7b", "a  b", "1-4", 2},
    {std::string("\0\x20+", 3), "a?+", "abcd", "1-4", 3}, {"#%+<>|", "a%", "ab", "1-2", 9},
    {"#%", "a#b%", "a  bc", "0", 1},
    // A byte above 127 stands for the character of that code, not for the byte.
    {"\x01\x01\xE9", "a\u00E9", "aXYZ", "1-4", 3}, {"\x01\x01\xE9", "a\xE9", "aXYZ", "1-4", 3},
    {"\x01\x01\xE9", "a\u00C9", "aXYZ", "0", 3}, {"\x01\x01\xE9", "a\u00C9", "a\u00E9", "1-2", 3},
};

// Whole-name forms: the match must start at the first character, end at the last, or both.
struct AnchoredCase {
  std::string pattern, text;
  bool at_first, at_last;
  std::string expected;
};

const AnchoredCase kAnchoredCases[] = {
    {"*.tmp", "x.tmp.tmp", false, true, "1-9"}, {"*.tmp", "x.tmp.tmpl", false, true, "0"},
    {"*.tmp", "x.tmp.tmp", true, true, "1-9"}, {"tmp", "a.tmp", true, false, "0"},
    {"tmp", "a.tmp", false, true, "3-5"}, {"tmp", "tmp.x", true, false, "1-3"},
    {"thumbs.db", "Thumbs.DB", true, true, "1-9"}, {"thumbs.db", "thumbs.db.old", true, true, "0"},
    {"thumbs.db", "old.thumbs.db", true, true, "0"}, {"a?c", "abcabc", false, true, "4-6"},
    {"a*", "ab", true, true, "1-2"}, {"*a*b", "xaybzb", true, true, "1-6"},
    {"temp", "mytemp", true, true, "0"}, {"temp", "temp2", true, true, "0"},
    {"{recycler,recycled,temp,tmp}", "RECYCLED", true, true, "1-8"},
    // Alternatives are still not retried: the first that fits is kept.
    {"{tmp,tmpx}", "tmpx", true, true, "0"}, {"*.{tmp,bak}", "a.tmp.bak", false, true, "1-9"},
    {"a\u00A7", "a ", true, true, "0"}, {"", "a", true, true, "0"}, {"a", "", true, true, "0"},
    {"a", "a", true, true, "1-1"},
};
// clang-format on

TEST(PatternTest, Searches) {
  for (const SearchCase& c : kSearches) {
    EXPECT_EQ(Match(c.pattern, c.text, c.first, c.last), c.expected)
        << c.pattern << " in " << c.text << " from " << c.first << " to " << c.last;
  }
}

TEST(PatternTest, ReplacedMetacharacters) {
  for (const MetaCase& c : kMetaCases) {
    EXPECT_EQ(MatchWith(c.metas, c.pattern, c.text, c.count), c.expected)
        << c.metas << " " << c.pattern << " in " << c.text;
  }
}

TEST(PatternTest, AnchoredSearchKeepsLookingForTheEnd) {
  for (const AnchoredCase& c : kAnchoredCases) {
    EXPECT_EQ(Whole(c.pattern, c.text, c.at_first, c.at_last), c.expected)
        << c.pattern << " in " << c.text << " " << c.at_first << c.at_last;
  }
}

TEST(PatternTest, EmptyInputsAndOptionsGiveZero) {
  EXPECT_EQ(InStrS("", "abc", 0, nullptr, kInStrSDefaultLast, 0), 0);
  EXPECT_EQ(InStrS("a", "", 0, nullptr, kInStrSDefaultLast, 0), 0);
  EXPECT_EQ(InStrS("", "", 0, nullptr, kInStrSDefaultLast, 0), 0);
  EXPECT_EQ(InStrS("a", "a", 0, nullptr, kInStrSDefaultLast, 0), 1);
  EXPECT_EQ(InStrS("a", "a", 0, nullptr, kInStrSDefaultLast, 1), 0);
  EXPECT_EQ(InStrS("a", "a", 0, nullptr, kInStrSDefaultLast, -1), 0);
  EXPECT_TRUE(PatternMatcher("").empty());
  EXPECT_TRUE(PatternMatcher("{}").empty());
  EXPECT_FALSE(PatternMatcher("{").empty());
  EXPECT_FALSE(PatternMatcher("\u00A7").empty());
}

TEST(PatternTest, RecordIsWrittenOnlyOnSuccess) {
  InStrSResult result{};
  result.match_start = 77;
  result.match_end = 78;
  EXPECT_EQ(InStrS("z", "abc", 0, &result, kInStrSDefaultLast, 0), 0);
  EXPECT_EQ(result.match_start, 77);
  EXPECT_EQ(result.match_end, 78);
  EXPECT_EQ(InStrS("b", "abc", 0, &result, kInStrSDefaultLast, 0), 2);
  EXPECT_EQ(result.match_start, 2);
  EXPECT_EQ(result.match_end, 2);
  int end = 55;
  EXPECT_EQ(PatternMatcher("c").Find("abc", &end), 3);
  EXPECT_EQ(end, 3);
  EXPECT_EQ(PatternMatcher("x").Find("abc", &end), 0);
  EXPECT_EQ(end, 3);
  EXPECT_EQ(PatternMatcher("*").Find("\u00E9t\u00E9", &end), 1);
  EXPECT_EQ(end, 3);
}

TEST(PatternTest, RealDirectoryNames) {
  testing_support::TempTree tree;
  for (const char* name : {"a.tmp", "B.TMP", "x.tmpl", "y.tmp.bak", "\u00E9t\u00E9.tmp",
                           "Thumbs.db", "thumbs.DB.old", "tmp", "  .tmp", "\xC9\xFF.tmp"}) {
    tree.File(name, "");
  }
  tree.Dir("RECYCLED");
  tree.Dir("temp");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(tree.root())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string lines;
  const PatternMatcher tmp("*.tmp");
  const PatternMatcher thumbs("thumbs.db");
  const PatternMatcher groups("{recycler,recycled,temp,tmp}");
  for (const std::string& name : names) {
    int end = 0;
    lines += name + ":";
    for (const PatternMatcher* m : {&tmp, &thumbs, &groups}) {
      const int start = m->Find(name, &end);
      lines += start == 0 ? " 0" : " " + std::to_string(start) + "-" + std::to_string(end);
    }
    lines += "\n";
  }
  EXPECT_EQ(lines,
            "  .tmp: 1-6 0 4-6\n"
            "B.TMP: 1-5 0 3-5\n"
            "RECYCLED: 0 0 1-8\n"
            "Thumbs.db: 0 1-9 0\n"
            "a.tmp: 1-5 0 3-5\n"
            "temp: 0 0 1-4\n"
            "thumbs.DB.old: 0 1-9 0\n"
            "tmp: 0 0 1-3\n"
            "x.tmpl: 1-5 0 3-5\n"
            "y.tmp.bak: 1-5 0 3-5\n"
            "\u00E9t\u00E9.tmp: 1-7 0 5-7\n"
            "\xC9\xFF.tmp: 1-6 0 4-6\n");
}

TEST(PatternTest, OneMatcherServesManyThreads) {
  const PatternMatcher matcher("*z{a,bb}?.t\u00A7x");
  std::vector<std::string> names;
  for (int i = 0; i < 2000; ++i) {
    names.push_back(std::string(i % 7, 'z') + (i % 2 ? "a" : "BB") + "q.T" +
                    std::string(i % 3, ' ') + (i % 5 ? "x" : "y") + (i % 11 ? "" : "\u00E9"));
  }
  std::vector<int> expected;
  for (const std::string& name : names) {
    int end = 0;
    expected.push_back(matcher.Find(name, &end) * 1000 + end);
  }
  std::vector<std::vector<int>> seen(4);
  std::vector<std::thread> threads;
  for (auto& out : seen) {
    threads.emplace_back([&matcher, &names, &out] {
      for (const std::string& name : names) {
        int end = 0;
        out.push_back(matcher.Find(name, &end) * 1000 + end);
      }
    });
  }
  for (auto& t : threads) t.join();
  for (const auto& out : seen) EXPECT_EQ(out, expected);
  EXPECT_NE(std::count(expected.begin(), expected.end(), 0), 0);
  EXPECT_NE(std::count(expected.begin(), expected.end(), 0), static_cast<long>(names.size()));
}

// A plain backtracking matcher for literals, "?" and "*", written from the rules rather
// than from the engine: every way a "*" can stretch is tried, and the smallest end wins.
class ReferenceMatcher {
 public:
  static uint32_t Fold(uint32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
    return c;
  }

  // pattern and text as code points; returns "start-end" or "0".
  static std::string Search(const std::vector<uint32_t>& pattern, const std::vector<uint32_t>& text,
                            int first, int last, bool to_end = false) {
    const int n = static_cast<int>(text.size());
    if (pattern.empty() || text.empty() || n < static_cast<int>(pattern.size())) return "0";
    ReferenceMatcher ref;
    for (uint32_t c : pattern) {
      // "?" and "*" right after "*" add nothing.
      if ((c == '?' || c == '*') && !ref.pattern_.empty() && ref.pattern_.back() == '*') continue;
      ref.pattern_.push_back(c);
    }
    ref.text_ = text;
    ref.to_end_ = to_end;
    const int from = first < 1 ? 1 : first;
    const int to = (last < 1 || last > n) ? n : last;
    for (int s = from; s <= to; ++s) {
      const int end = ref.MinEnd(0, s - 1);
      if (end >= 0) return std::to_string(s) + "-" + std::to_string(end);
    }
    return "0";
  }

 private:
  // Smallest position of the last character taken when pattern_[p..] matches after
  // `taken` characters, or -1.
  int MinEnd(size_t p, int taken) const {
    const int n = static_cast<int>(text_.size());
    if (p == pattern_.size()) return to_end_ && taken != n ? -1 : taken;
    if (pattern_[p] == '*') {
      if (p + 1 == pattern_.size()) return n;
      int best = -1;
      for (int j = taken; j <= n; ++j) {
        const int end = MinEnd(p + 1, j);
        if (end >= 0 && (best < 0 || end < best)) best = end;
      }
      return best;
    }
    if (taken == n) return -1;
    if (pattern_[p] != '?' && Fold(pattern_[p]) != Fold(text_[taken])) return -1;
    return MinEnd(p + 1, taken + 1);
  }

  std::vector<uint32_t> pattern_;
  std::vector<uint32_t> text_;
  bool to_end_ = false;
};

struct Token {
  const char* bytes;
  uint32_t code;
};

TEST(PatternTest, AgreesWithPlainBacktrackingOnWildcards) {
  const std::vector<Token> ascii_pattern = {
      {"a", 'a'}, {"b", 'b'}, {"B", 'B'}, {"?", '?'}, {"*", '*'}};
  const std::vector<Token> ascii_text = {{"a", 'a'}, {"A", 'A'}, {"b", 'b'}, {"c", 'c'}};
  const std::vector<Token> wide_pattern = {{"a", 'a'},       {"\u00E9", 0xE9},   {"\u00C4", 0xC4},
                                           {"\u00DF", 0xDF}, {"\u20AC", 0x20AC}, {"?", '?'},
                                           {"*", '*'},       {"*", '*'}};
  const std::vector<Token> wide_text = {{"\u00C9", 0xC9}, {"\u00E9", 0xE9},  {"\xC9", 0xC9},
                                        {"\u00E4", 0xE4}, {"\u00C4", 0xC4},  {"\u00DF", 0xDF},
                                        {"a", 'a'},       {"\u20AC", 0x20AC}};
  std::mt19937 random(20261208);
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  int matches = 0;
  for (int round = 0; round < 20000; ++round) {
    const bool wide = round % 2 == 1;
    const auto& pattern_tokens = wide ? wide_pattern : ascii_pattern;
    const auto& text_tokens = wide ? wide_text : ascii_text;
    std::string pattern;
    std::vector<uint32_t> pattern_codes;
    for (int i = pick(1, 7); i > 0; --i) {
      const Token& t = pattern_tokens[pick(0, static_cast<int>(pattern_tokens.size()) - 1)];
      pattern += t.bytes;
      pattern_codes.push_back(t.code);
    }
    std::string text;
    std::vector<uint32_t> text_codes;
    for (int i = pick(0, 10); i > 0; --i) {
      const Token& t = text_tokens[pick(0, static_cast<int>(text_tokens.size()) - 1)];
      text += t.bytes;
      text_codes.push_back(t.code);
    }
    const int n = static_cast<int>(text_codes.size());
    int first = 0;
    int last = kInStrSDefaultLast;
    if (round % 5 == 0) first = pick(-1, n + 1);
    if (round % 7 == 0) last = pick(-1, n + 1);
    const std::string expected = ReferenceMatcher::Search(pattern_codes, text_codes, first, last);
    ASSERT_EQ(Match(pattern, text, first, last), expected)
        << "pattern '" << pattern << "' text '" << text << "' first " << first << " last " << last;
    if (expected != "0") ++matches;

    // Whole-name forms.
    const bool at_first = round % 3 == 0;
    const bool at_last = round % 4 != 1;
    const std::string whole =
        ReferenceMatcher::Search(pattern_codes, text_codes, 0, at_first ? 1 : 0, at_last);
    int end = 0;
    const int start = PatternMatcher(pattern).FindAnchored(text, at_first, at_last, &end);
    ASSERT_EQ(start == 0 ? "0" : std::to_string(start) + "-" + std::to_string(end), whole)
        << "pattern '" << pattern << "' text '" << text << "' at_first " << at_first << " at_last "
        << at_last;
  }
  // The cases must exercise both outcomes.
  EXPECT_GT(matches, 4000);
  EXPECT_LT(matches, 16000);
}

// The rules for the whole language walked step by step, without any of the engine's
// shortcuts (filters, memos, giving up early, absorbing at compile time).
class StepwiseMatcher {
 public:
  enum class Kind { kChar, kAnyOne, kAnyRun, kBlankRun, kSet, kGroup };
  struct Element {
    Kind kind;
    std::string chars;                       // kChar: one character; kSet: its members
    std::vector<std::vector<Element>> alts;  // kGroup
  };

  StepwiseMatcher(std::vector<Element> pattern, std::string text, bool to_end)
      : pattern_(std::move(pattern)), text_(std::move(text)), to_end_(to_end) {}

  std::string Search() const {
    const int n = static_cast<int>(text_.size());
    if (pattern_.empty() || n == 0 || n < static_cast<int>(pattern_.size())) return "0";
    if (pattern_[0].kind == Kind::kBlankRun) return "0";
    for (int s = 1; s <= n; ++s) {
      int end = 0;
      if (MatchAt(s, &end)) return std::to_string(s) + "-" + std::to_string(end);
    }
    return "0";
  }

 private:
  static char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
  char At(int pos) const { return Fold(text_[pos - 1]); }
  int Find(char c, int from) const {
    const int n = static_cast<int>(text_.size());
    while (from <= n && At(from) != Fold(c)) ++from;
    return from;
  }

  bool MatchAt(int s, int* end) const {
    const int n = static_cast<int>(text_.size());
    const int m = static_cast<int>(pattern_.size());
    int d = s - 1;
    int k = 0;
    int back_k = -1;
    int back_d = 0;
    while (true) {
      bool ok = true;
      if (k == m) {
        if (!to_end_ || d == n) {
          *end = d;
          return true;
        }
        ok = false;
      } else if (pattern_[k].kind == Kind::kAnyRun) {
        int next = k + 1;
        while (next < m &&
               (pattern_[next].kind == Kind::kAnyOne || pattern_[next].kind == Kind::kAnyRun)) {
          ++next;
        }
        if (next == m) {
          *end = n;
          return true;
        }
        if (pattern_[next].kind != Kind::kChar) return false;
        const int j = Find(pattern_[next].chars[0], d + 1);
        if (j > n) return false;
        back_k = next;
        back_d = j;
        d = j;
        k = next + 1;
        continue;
      } else if (pattern_[k].kind == Kind::kGroup) {
        int outcome = 1;
        for (const auto& alt : pattern_[k].alts) {
          outcome = TryAlternative(alt, &d);
          if (outcome != 1) break;
        }
        if (outcome != 0) return false;
        ++k;
        continue;
      } else if (d + 1 > n) {
        return false;
      } else {
        const Element& e = pattern_[k];
        const char c = At(d + 1);
        if (e.kind == Kind::kChar) ok = c == Fold(e.chars[0]);
        if (e.kind == Kind::kSet) ok = e.chars.find(c) != std::string::npos;
        if (e.kind == Kind::kBlankRun) {
          int j = d + 1;
          while (j < n && (At(j) == ' ' || At(j) == '\t')) ++j;
          d = j - 2;
        }
        if (ok) {
          ++d;
          ++k;
          continue;
        }
      }
      if (back_k < 0) return false;
      const int j = Find(pattern_[back_k].chars[0], back_d + 1);
      if (j > n) return false;
      back_d = j;
      d = j;
      k = back_k + 1;
    }
  }

  // 0 fits (d moved), 1 mismatch, 2 past the end.
  int TryAlternative(const std::vector<Element>& alt, int* d) const {
    const int n = static_cast<int>(text_.size());
    const int size = static_cast<int>(alt.size());
    int pos = *d;
    for (int i = 0; i < size; ++i) {
      switch (alt[i].kind) {
        case Kind::kChar:
          if (pos + 1 > n) return 2;
          if (At(pos + 1) != Fold(alt[i].chars[0])) return 1;
          ++pos;
          break;
        case Kind::kAnyOne:
          if (pos + 1 > n) return 2;
          ++pos;
          break;
        case Kind::kBlankRun:
          while (pos + 1 <= n && (At(pos + 1) == ' ' || At(pos + 1) == '\t')) ++pos;
          break;
        case Kind::kAnyRun: {
          while (i + 1 < size &&
                 (alt[i + 1].kind == Kind::kAnyOne || alt[i + 1].kind == Kind::kAnyRun)) {
            ++i;
          }
          if (i + 1 == size) break;
          if (alt[i + 1].kind != Kind::kChar) return 1;
          const int j = Find(alt[i + 1].chars[0], pos + 1);
          if (j > n) return 1;
          pos = j;
          ++i;
          break;
        }
        default:
          return 1;
      }
    }
    *d = pos;
    return 0;
  }

  std::vector<Element> pattern_;
  std::string text_;
  bool to_end_;
};

TEST(PatternTest, AgreesWithStepwiseRulesOnTheWholeLanguage) {
  using Kind = StepwiseMatcher::Kind;
  using Element = StepwiseMatcher::Element;
  auto chr = [](char c) { return Element{Kind::kChar, std::string(1, c), {}}; };
  const Element any{Kind::kAnyOne, "", {}};
  const Element run{Kind::kAnyRun, "", {}};
  const Element blank{Kind::kBlankRun, "", {}};
  struct Piece {
    const char* text;
    Element element;
  };
  const std::vector<Piece> pieces = {
      {"a", chr('a')},
      {"B", chr('B')},
      {" ", chr(' ')},
      {"?", any},
      {"*", run},
      {"*", run},
      {"\u00A7", blank},
      {"{ab}", {Kind::kSet, "ab", {}}},
      {"{b }", {Kind::kSet, "b ", {}}},
      {"{a,bb}", {Kind::kGroup, "", {{chr('a')}, {chr('b'), chr('b')}}}},
      {"{a,b}", {Kind::kGroup, "", {{chr('a')}, {chr('b')}}}},
      {"{,a}", {Kind::kGroup, "", {{}, {chr('a')}}}},
      {"{ab,a}", {Kind::kGroup, "", {{chr('a'), chr('b')}, {chr('a')}}}},
      {"{a*b,c}", {Kind::kGroup, "", {{chr('a'), run, chr('b')}, {chr('c')}}}},
      {"{b\u00A7,a}", {Kind::kGroup, "", {{chr('b'), blank}, {chr('a')}}}},
      {"{a?,b*}", {Kind::kGroup, "", {{chr('a'), any}, {chr('b'), run}}}},
  };
  const std::string letters = "abAB \tc";
  std::mt19937 random(8122026);
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  int matches = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string pattern;
    std::vector<Element> elements;
    for (int i = pick(1, 6); i > 0; --i) {
      const Piece& piece = pieces[pick(0, static_cast<int>(pieces.size()) - 1)];
      pattern += piece.text;
      elements.push_back(piece.element);
    }
    std::string text;
    for (int i = round % 10 == 0 ? pick(20, 60) : pick(0, 12); i > 0; --i) {
      text += letters[pick(0, static_cast<int>(letters.size()) - 1)];
    }
    const bool to_end = round % 3 == 0;
    const std::string expected = StepwiseMatcher(elements, text, to_end).Search();
    int end = 0;
    const int start = PatternMatcher(pattern).FindAnchored(text, false, to_end, &end);
    ASSERT_EQ(start == 0 ? "0" : std::to_string(start) + "-" + std::to_string(end), expected)
        << "pattern '" << pattern << "' text '" << text << "' to_end " << to_end;
    if (expected != "0") ++matches;
  }
  EXPECT_GT(matches, 3000);
  EXPECT_LT(matches, 17000);
}

TEST(PatternTest, HugeInputsStayFast) {
  constexpr int kData = 1 << 20;
  std::string data(kData, 'x');
  data[499999] = 'a';
  data[599998] = 'b';
  const std::string wide_pattern = "a" + std::string(99998, '?') + "b";
  EXPECT_EQ(Quick(wide_pattern, data), "500000-599999");
  EXPECT_EQ(Quick(std::string(99999, '*') + "b", data), "1-599999");
  EXPECT_EQ(Quick(std::string(100000, '*'), data), "1-1048576");
  EXPECT_EQ(Quick(std::string(100000, 'x'), data), "1-100000");
  EXPECT_EQ(Quick("a" + std::string(100000, '?'), data), "500000-600000");
  EXPECT_EQ(Quick(std::string(100000, 'z'), data), "0");
  // Too long for the data.
  EXPECT_EQ(Quick(std::string(kData + 1, '?'), data), "0");

  // Runs of "*a" that fail at the very end: every start is tried in principle.
  const std::string all_a(kData, 'a');
  std::string stars;
  for (int i = 0; i < 50000; ++i) stars += "*a";
  EXPECT_EQ(Quick(stars + "*b", all_a), "0");
  EXPECT_EQ(Quick("{a,c}" + stars + "*b", all_a), "0");
  EXPECT_EQ(Quick("{a,cc}" + stars + "*b", all_a), "0");
  EXPECT_EQ(Quick("{a,cc}*a*a*b{x,y}", all_a + "b"), "0");
  EXPECT_EQ(Quick("{a,cc}*b{x,yy}", all_a + "b"), "0");
  EXPECT_EQ(Quick("a*a\u00A7b", all_a), "0");
  EXPECT_EQ(Quick(stars + "*a", all_a), "1-50001");
  EXPECT_EQ(Quick("{a,aa}*b", all_a + "b"), "1-1048577");
  EXPECT_EQ(Quick("*a?b", all_a), "0");
  EXPECT_EQ(Quick("a*ab", all_a), "0");

  // The same over text that has to be decoded.
  std::string wide;
  for (int i = 0; i < kData / 2; ++i) wide += "\u00E9";
  EXPECT_EQ(Quick("*\u00C9", wide), "1-1");
  EXPECT_EQ(Quick("*\u00C9b", wide), "0");
  EXPECT_EQ(Quick("{\u00E9,xy}*\u00E9*b", wide), "0");
  EXPECT_EQ(Quick("\u00E9" + std::string(1000, '?') + "\u00C9", wide), "1-1002");
}

TEST(PatternTest, BinaryAndInvalidTextIsSearchedAsCharacters) {
  // Every byte value in turn: each byte is a character of its own here (no lead byte is
  // followed by a continuation byte), so positions equal byte offsets.
  std::string data;
  for (int round = 0; round < 4096; ++round) {
    for (int b = 0; b < 256; ++b) data += static_cast<char>(b);
  }
  EXPECT_EQ(Match("\xFE\xFF", data), "255-256");
  EXPECT_EQ(Match("\xDE\xDF", data), "223-224");
  EXPECT_EQ(Match("\xFE\xDF", data), "223-224");
  EXPECT_EQ(Match("\xD7\xF7", data), "0");
  EXPECT_EQ(Match(std::string("\0\x01", 2), data), "1-2");
  EXPECT_EQ(Match("*\xFF", data), "1-256");
  EXPECT_EQ(Match("{\xFF\x80}?", data), "129-130");
  EXPECT_EQ(Match("{\xFF,\x80\x81}*\x80", data), "129-385");
  EXPECT_EQ(Match("\x1F\u00A7!", data), "32-34");
  EXPECT_EQ(Quick(std::string(1, '\0') + "*" + std::string(1, '\0') + "*zz", data), "0");
  // Malformed patterns: lone continuation bytes, cut sequences, stray braces.
  EXPECT_EQ(Match("\x80\x81\x82", data), "129-131");
  EXPECT_EQ(Match("\xE2\x82", "\xE2\x82\xAC\xE2\x82"), "2-3");
  EXPECT_EQ(Match("{\xF0\x9F,}", "\xF0\x9F"), "1-2");
  EXPECT_EQ(Match("{\xF0\x9F}", "\xF0\x9F"), "1-1");
}

TEST(PatternTest, ManyGroupsAndBraces) {
  std::string groups;
  for (int i = 0; i < 10000; ++i) groups += "{a,b}";
  std::string sets;
  for (int i = 0; i < 10000; ++i) sets += "{ab}";
  const std::string text = std::string(10000, 'b') + "c";
  EXPECT_EQ(Quick(groups, text), "1-10000");
  EXPECT_EQ(Quick(sets, text), "1-10000");
  EXPECT_EQ(Quick(groups + "c", text), "1-10001");
  EXPECT_EQ(Quick(sets + "C", text), "1-10001");
  EXPECT_EQ(Quick(groups + "d", std::string(10001, 'b')), "0");
  EXPECT_EQ(Quick(groups + "c", "x" + text), "2-10002");
  // The first "{" opens a group of its own, "{a" and "b".
  EXPECT_EQ(Quick("{" + groups, "{" + text), "2-10001");

  // Openers that never close are plain, however many.
  const std::string openers(100000, '{');
  EXPECT_EQ(Quick(openers, "x" + openers), "2-100001");
  std::string commas;
  for (int i = 0; i < 50000; ++i) commas += "{,";
  EXPECT_EQ(Quick(commas, commas), "1-100000");
  // One group with 10,001 alternatives; the last one fits.
  std::string many = "{";
  for (int i = 0; i < 10000; ++i) many += "q" + std::to_string(i) + ",";
  many += "z}";
  EXPECT_EQ(Quick(many, "xyz"), "3-3");
  EXPECT_EQ(Quick(many, "q9999"), "1-2");  // "q9" fits first
  EXPECT_EQ(Quick(std::string(10000, '}'), std::string(10000, '}')), "1-10000");
}

}  // namespace

namespace {

// Unicode simple case folding is a choice of the matcher; the default keeps the fixed one.
TEST(PatternTest, UnicodeFoldingIsAChoiceTheDefaultDoesNotMake) {
  struct Case {
    const char* pattern;
    const char* data;
    bool unicode, fixed;  // whether each folding finds it
  };
  const Case cases[] = {
      {"\xD0\xB6\xD1\x83\xD0\xBA*", "\xD0\x96\xD1\x83\xD0\xBA.txt", true, false},  // жук*, Жук
      {"\u00FFes", "\u0178es", true, false},                                       // ÿes, Ÿes
      {"\xF0\x90\x90\xA8", "\xF0\x90\x90\x80", true, false},                       // Deseret
      {"\xE1\x8E\xA0", "\xEA\xAD\xB0", true, false},                               // Cherokee
      {"\xC3\xA9", "\xC9", true, true},  // é and a lone byte 0xC9 (É)
      {"ABC", "xabcx", true, true},
      {"\xC3\x9F", "ss", false, false},  // ß has no simple folding
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PatternMatcher(c.pattern, nullptr, CaseFolding::kUnicode).Find(c.data) != 0,
              c.unicode)
        << c.pattern;
    EXPECT_EQ(PatternMatcher(c.pattern).Find(c.data) != 0, c.fixed) << c.pattern;
  }
}

}  // namespace

}  // namespace support
