#include "support/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/temp_tree.h"
#include "support/string_list.h"

namespace {

using support::StringList;

TEST(TextTest, TrimRemovesControlsAndBlanksOnly) {
  EXPECT_EQ(support::Trim(std::string("\t \x01 a b \r\n\0", 11)), "a b");
  EXPECT_EQ(support::Trim(""), "");
  EXPECT_EQ(support::Trim("   "), "");
  EXPECT_EQ(support::TrimLeft("  a  "), "a  ");
  EXPECT_EQ(support::TrimRight("  a  "), "  a");
}

TEST(TextTest, CharactersAreCodePointsAndInvalidBytesStandAlone) {
  EXPECT_EQ(support::CharCount("\xC3\x84pfel.txt"), 9u);  // "Äpfel.txt", 10 bytes
  EXPECT_EQ(support::CharCount("\xC9t\xC9"), 3u);          // invalid bytes
  EXPECT_EQ(support::CharCount("\xE2\x82\xAC"), 1u);       // euro sign
  EXPECT_EQ(support::CharCount("\xE2\x82"), 2u);           // cut sequence
  EXPECT_EQ(support::CharCount("\xC0\x80"), 2u);           // overlong NUL
  EXPECT_EQ(support::CharCount("\xED\xA0\x80"), 3u);       // surrogate
  EXPECT_EQ(support::CharCount("\xF0\x9F\x98\x80"), 1u);   // emoji
  size_t pos = 0;
  EXPECT_EQ(support::NextChar("\xC9t", &pos), 0xC9u);
  EXPECT_EQ(pos, 1u);
  EXPECT_EQ(support::CharOffset("\xC3\x84pfel", 1), 2u);
  EXPECT_EQ(support::CharOffset("ab", 5), 2u);
  std::string out;
  support::AppendChar(&out, 0xC4);
  support::AppendChar(&out, 0x1F600);
  EXPECT_EQ(out, "\xC3\x84\xF0\x9F\x98\x80");
}

TEST(TextTest, FixedFoldingCoversAsciiAndLatin1Letters) {
  EXPECT_EQ(support::FoldLower('A'), static_cast<uint32_t>('a'));
  EXPECT_EQ(support::FoldLower(0xC9), 0xE9u);
  EXPECT_EQ(support::FoldLower(0xD7), 0xD7u);  // multiplication sign
  EXPECT_EQ(support::FoldUpper(0xF7), 0xF7u);  // division sign
  EXPECT_EQ(support::FoldUpper(0xDF), 0xDFu);  // sharp s only itself
  EXPECT_EQ(support::FoldUpper(0xFF), 0xFFu);
  EXPECT_EQ(support::FoldLower(0x100), 0x100u);
  EXPECT_TRUE(support::SameText("\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9"));  // ÉTÉ / été
  EXPECT_TRUE(support::SameText("\xC9", "\xC3\xA9"));  // invalid byte 0xC9 folds like É
  EXPECT_FALSE(support::SameText("abc", "abcd"));
}

TEST(TextTest, ComparisonIsFoldedThenBytewise) {
  std::vector<std::string> items = {"apple", "Apple", "_x", "APPLE", "b", "\xC3\xA9", "E", "e"};
  std::sort(items.begin(), items.end(),
            [](const auto& a, const auto& b) { return support::CompareText(a, b) < 0; });
  EXPECT_EQ(items, (std::vector<std::string>{"_x", "APPLE", "Apple", "apple", "b", "E", "e",
                                             "\xC3\xA9"}));
  EXPECT_EQ(support::CompareText("abc", "ABC") > 0, true);
  EXPECT_EQ(support::CompareText("abc", "abc"), 0);
  EXPECT_LT(support::CompareText("ab", "abc"), 0);
}

TEST(TextTest, LineBreaksBecomeQuestionMarks) {
  std::string name = "a\rb\nc";
  EXPECT_TRUE(support::ReplaceLineBreaks(&name));
  EXPECT_EQ(name, "a?b?c");
  EXPECT_FALSE(support::ReplaceLineBreaks(&name));
}

TEST(StringListTest, SplitsEveryLineEndAndWritesTheOneItIsTold) {
  StringList list;
  list.SetText("a\r\nb\nc\rd\r\n\r\ne");
  EXPECT_EQ(list.items(), (std::vector<std::string>{"a", "b", "c", "d", "", "e"}));
  list.SetText("one\r\n");
  EXPECT_EQ(list.size(), 1u);
  list.SetText("");
  EXPECT_TRUE(list.empty());
  list.SetText("\n");
  EXPECT_EQ(list.items(), (std::vector<std::string>{""}));

  list.SetText("x\ny");
  EXPECT_EQ(list.Text(support::kCrLf), "x\r\ny\r\n");
  EXPECT_EQ(list.Text(support::kLf), "x\ny\n");
}

TEST(StringListTest, LoadSaveRoundTripAndMissingFile) {
  testing_support::TempTree tree;
  StringList list;
  list.Add("first");
  list.Add(std::string("bin\0ary", 7));
  ASSERT_TRUE(list.SaveToFile(tree.Path("l.txt"), support::kCrLf));
  EXPECT_EQ(testing_support::TempTree::Read(tree.Path("l.txt")),
            std::string("first\r\nbin\0ary\r\n", 16));
  StringList loaded;
  ASSERT_TRUE(loaded.LoadFromFile(tree.Path("l.txt")));
  EXPECT_EQ(loaded.items(), list.items());
  EXPECT_FALSE(loaded.LoadFromFile(tree.Path("missing")));
  EXPECT_EQ(loaded.size(), 2u);
  EXPECT_FALSE(list.SaveToFile(tree.Path("no/such/dir/l.txt"), support::kLf));
}

TEST(StringListTest, SortedFindWithoutRegardToCase) {
  StringList list;
  for (const char* s : {"/data/b/", "/data/A/", "/data/a/", "/data/"}) list.Add(s);
  list.Sort();
  EXPECT_EQ(list.items(),
            (std::vector<std::string>{"/data/", "/data/A/", "/data/a/", "/data/b/"}));
  size_t index = 99;
  EXPECT_TRUE(list.Find("/data/a/", &index));
  EXPECT_EQ(index, 2u);
  EXPECT_FALSE(list.Find("/data/c/", &index));
  EXPECT_EQ(index, 4u);
  EXPECT_EQ(list.IndexOf("/DATA/B/"), 3);
  EXPECT_EQ(list.IndexOf("/none/"), -1);
}

}  // namespace
