#include "platform/utf16.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  const char* what;
  std::string utf8;
  std::u16string utf16;
};

// Names as the file system may hold them, each written out by hand in both forms.
const Case kRoundTrips[] = {
    {"ascii", "Read me.txt", u"Read me.txt"},
    {"two-byte", "\xC3\xA9t\xC3\xA9", u"\u00E9t\u00E9"},
    {"three-byte", "\xE6\x97\xA5\xE6\x9C\xAC", u"\u65E5\u672C"},
    {"outside the plane", "\xF0\x9F\x98\x80.txt", u"\xD83D\xDE00.txt"},
    {"lone high surrogate",
     "a\xED\xA0\xBD"
     "b",
     u"a\xD83D"
     u"b"},
    {"lone low surrogate at the end", "a\xED\xB8\x80", u"a\xDE00"},
    {"low before high", "\xED\xB8\x80\xED\xA0\xBD", u"\xDE00\xD83D"},
    {"empty", "", u""},
};

TEST(Utf16Test, NamesGoBothWaysUnchanged) {
  for (const Case& c : kRoundTrips) {
    EXPECT_EQ(platform::ToUtf16(c.utf8), c.utf16) << c.what;
    EXPECT_EQ(platform::FromUtf16(c.utf16), c.utf8) << c.what;
  }
}

TEST(Utf16Test, InvalidBytesBecomeReplacementCharacters) {
  const Case kInvalid[] = {
      {"stray continuation",
       "a\x80"
       "b",
       u"a\uFFFD"
       u"b"},
      {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD"},
      {"cut at the end", "ab\xE6\x97", u"ab\uFFFD"},
      {"cut by ascii",
       "\xE6"
       "a",
       u"\uFFFD"
       u"a"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD"},
  };
  for (const Case& c : kInvalid) EXPECT_EQ(platform::ToUtf16(c.utf8), c.utf16) << c.what;
}

}  // namespace
