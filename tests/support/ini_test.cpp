#include "support/ini.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/temp_tree.h"
#include "support/recording_msg.h"

namespace support {

namespace {

using support::StringList;
using Lines = std::vector<std::string>;

StringList ListOf(const Lines& lines) {
  StringList list;
  for (const auto& line : lines) list.Add(line);
  return list;
}

class IniTest : public ::testing::Test {
 protected:
  testing_support::RecordingMsg msgs_;
};

TEST_F(IniTest, SectionNamesMatchTrimmedWithoutRegardToCase) {
  for (const char* header : {"[viv050]", "  [VIV050]  ", "\t[Viv050]\r"}) {
    StringList list = ListOf({"[Other]", "Left=1", header, "Left=2"});
    EXPECT_EQ(IniGetSx(list, "Viv050", "Left", SxValue(0)).AsInt(), 2) << header;
    EXPECT_EQ(IniGetSx(list, "[Viv050", "Left", SxValue(0)).AsInt(), 2) << header;
    EXPECT_EQ(IniGetSx(list, " [Viv050] ", "left", SxValue(0)).AsInt(), 2) << header;
  }
  StringList commented = ListOf({"[Viv050] ;x", "Left=2"});
  EXPECT_EQ(IniFindSx(&commented, "Viv050", "Left").result, support::kIniSectionMissing);
  EXPECT_EQ(IniGetSx(commented, "Viv050", "Left", SxValue(9)).AsInt(), 9);
}

TEST_F(IniTest, LatinOneLettersFoldInNames) {
  StringList list = ListOf({"[ÉTÉ]", "Clé=1"});
  EXPECT_EQ(IniGetSx(list, "été", "CLÉ", SxValue(0)).AsInt(), 1);
}

TEST_F(IniTest, LocatorResults) {
  StringList list = ListOf({"top=1", "", "[A]", "x=1", "; note", "[B]", "y=2"});
  support::IniLocation loc = IniFindSx(nullptr, "A", "x");
  EXPECT_EQ(loc.result, support::kIniNoList);
  loc = IniFindSx(&list, "A", "x");
  EXPECT_EQ(loc.result, 3);
  EXPECT_EQ(loc.equal_pos, 2);
  EXPECT_EQ(loc.body_start, 3);
  EXPECT_EQ(loc.body_end, 5);
  loc = IniFindSx(&list, "a", "");
  EXPECT_EQ(loc.result, support::kIniKeyMissing);
  loc = IniFindSx(&list, "A", "y");
  EXPECT_EQ(loc.result, support::kIniKeyMissing);
  loc = IniFindSx(&list, "C", "x");
  EXPECT_EQ(loc.result, support::kIniSectionMissing);
  EXPECT_EQ(loc.body_start, -1);
  loc = IniFindSx(&list, "", "top");
  EXPECT_EQ(loc.result, 0);
  EXPECT_EQ(loc.body_end, 2);
  loc = IniFindSx(&list, "", "x");
  EXPECT_EQ(loc.result, support::kIniKeyMissing);
}

TEST_F(IniTest, TextWithoutHeadersIsTheNamelessSectionNotFoundYetSearched) {
  StringList list = ListOf({"a=1", "b=2"});
  EXPECT_EQ(IniFindSx(&list, "", "").result, support::kIniSectionMissing);
  EXPECT_EQ(IniFindSx(&list, "", "b").result, 1);
  EXPECT_EQ(IniSetSx(list, "", "c", SxValue(3)), 2);
  EXPECT_EQ(list.items(), (Lines{"a=1", "b=2", "c=3"}));
  StringList headed = ListOf({"a=1", "", "[S]", "k=v"});
  EXPECT_EQ(IniSetSx(headed, " ", "c", SxValue("x")), 2);
  EXPECT_EQ(headed.items(), (Lines{"a=1", "", "c=x", "[S]", "k=v"}));
}

TEST_F(IniTest, KeyMatchingIgnoresBlanksBeforeTheEqualSignOnly) {
  StringList list = ListOf({"[S]", "left = 5", "Top=7 ;note", "Width= 9"});
  EXPECT_EQ(IniGetSx(list, "S", "Left", SxValue(0)).AsInt(), 5);
  EXPECT_EQ(IniGetSx(list, "S", "Width", SxValue(0)).AsInt(), 9);
  EXPECT_THROW(IniGetSx(list, "S", "Top", SxValue(0)), support::ConversionError);
  EXPECT_EQ(IniGetSx(list, "S", "Top", SxValue("")).AsText(), "7");
}

TEST_F(IniTest, IndentedKeyNeverMatchesAndWritingAppendsToTheSection) {
  StringList list = ListOf({"[S]", "  Left=5", "[T]", "Left=1"});
  EXPECT_EQ(IniGetSx(list, "S", "Left", SxValue(-1)).AsInt(), -1);
  EXPECT_EQ(IniSetSx(list, "S", "Left", SxValue(8)), 2);
  EXPECT_EQ(list.items(), (Lines{"[S]", "  Left=5", "Left=8", "[T]", "Left=1"}));
}

TEST_F(IniTest, CommentKeepsItsColumnWhenTheValueFits) {
  StringList list = ListOf({"[S]", "Left=100      ;screen"});
  EXPECT_EQ(IniSetSx(list, "S", "Left", SxValue(12)), 1);
  EXPECT_EQ(list[1], "Left=12       ;screen");
  IniSetSx(list, "S", "Left", SxValue("1234567890123"));
  EXPECT_EQ(list[1], "Left=1234567890123;screen");
  // The comment now stands where the long value pushed it.
  IniSetSx(list, "S", "Left", SxValue(""));
  EXPECT_EQ(list[1], "Left=             ;screen");
}

TEST_F(IniTest, RewriteKeepsTheKeyAsItStood) {
  StringList list = ListOf({"[S]", "LEFT  =1", "x=1;a;b"});
  IniSetSx(list, "S", "left", SxValue(22));
  IniSetSx(list, "S", "X", SxValue("é"));
  EXPECT_EQ(list.items(), (Lines{"[S]", "LEFT  =22", "x=é;a;b"}));
}

TEST_F(IniTest, CommentColumnCountsCharactersNotBytes) {
  StringList list = ListOf({"[S]", "Name=aaaa ;c"});
  IniSetSx(list, "S", "Name", SxValue("éé"));
  EXPECT_EQ(list[1], "Name=éé   ;c");
}

TEST_F(IniTest, MissingSectionIsAppendedWithItsKey) {
  StringList list = ListOf({"[A]", "x=1", ""});
  EXPECT_EQ(IniSetSx(list, "Opt", "Key", SxValue("Value")), 4);
  EXPECT_EQ(list.items(), (Lines{"[A]", "x=1", "", "[Opt]", "Key=Value"}));
  StringList empty;
  EXPECT_EQ(IniSetSx(empty, "[Opt]", "Key", SxValue(true)), 1);
  EXPECT_EQ(empty.items(), (Lines{"[Opt]", "Key=1"}));
}

TEST_F(IniTest, NewKeyGoesDirectlyBeforeTheNextHeader) {
  StringList list = ListOf({"[A]", "x=1", "", "; trailing note", "[B]", "y=2"});
  EXPECT_EQ(IniSetSx(list, "A", "z", SxValue(3)), 4);
  EXPECT_EQ(list.items(), (Lines{"[A]", "x=1", "", "; trailing note", "z=3", "[B]", "y=2"}));
  EXPECT_EQ(IniSetSx(list, "B", "w", SxValue(4)), 7);
  EXPECT_EQ(list.items().back(), "w=4");
}

TEST_F(IniTest, NewKeyKeepsTrailingBlanksButNotLeadingOnes) {
  StringList list = ListOf({"[A]"});
  IniSetSx(list, "A", "Key ", SxValue(1));
  IniSetSx(list, "A", "  Other", SxValue(2));
  IniSetSx(list, "A", "  Other", SxValue(3));
  EXPECT_EQ(list.items(), (Lines{"[A]", "Key =1", "Other=3"}));
}

TEST_F(IniTest, NoListOrNoKeyWritesNothing) {
  EXPECT_EQ(IniSetSx(nullptr, "A", "k", SxValue(1)), -1);
  StringList list = ListOf({"[A]"});
  EXPECT_EQ(IniSetSx(list, "A", "  ", SxValue(1)), -1);
  EXPECT_EQ(list.items(), (Lines{"[A]"}));
  EXPECT_EQ(IniGetSx(nullptr, "A", "k", SxValue(4)).AsInt(), 4);
}

TEST_F(IniTest, LineBreaksInWrittenTextsCannotSplitTheLine) {
  StringList list;
  IniSetSx(list, "A", "k", SxValue("one\r\ntwo\nthree"));
  EXPECT_EQ(list.items(), (Lines{"[A]", "k=one??two?three"}));
}

TEST_F(IniTest, BooleanReads) {
  StringList list = ListOf({"[B]", "a=0", "b=", "c=00", "d=false", "e= 0", "f=1"});
  const SxValue no(false);
  EXPECT_FALSE(IniGetSx(list, "B", "a", no).AsBool());
  for (const char* key : {"b", "c", "d", "e", "f"}) {
    EXPECT_TRUE(IniGetSx(list, "B", key, no).AsBool()) << key;
  }
  EXPECT_EQ(IniGetSx(list, "B", "a", no).kind(), support::kKindBoolean);
  IniSetSx(list, "B", "g", SxValue(true));
  IniSetSx(list, "B", "h", SxValue(false));
  EXPECT_EQ(list[7], "g=1");
  EXPECT_EQ(list[8], "h=0");
}

TEST_F(IniTest, IntegerTexts) {
  StringList list = ListOf({"[I]", "a= 5", "b=+7", "c=-2147483648", "d=2147483647", "e=\t-3"});
  EXPECT_EQ(IniGetSx(list, "I", "a", SxValue(0)).AsInt(), 5);
  EXPECT_EQ(IniGetSx(list, "I", "b", SxValue(0)).AsInt(), 7);
  EXPECT_EQ(IniGetSx(list, "I", "c", SxValue(0)).AsInt(), INT32_MIN);
  EXPECT_EQ(IniGetSx(list, "I", "d", SxValue(0)).AsInt(), INT32_MAX);
  EXPECT_EQ(IniGetSx(list, "I", "e", SxValue(0)).AsInt(), -3);
  EXPECT_EQ(IniGetSx(list, "I", "a", SxValue(0)).kind(), support::kKindInteger);
}

TEST_F(IniTest, BadIntegerTextsRaiseTheConversionError) {
  StringList list = ListOf({"[I]", "a=5 ", "b=", "c=12a", "d=2147483648", "e=-2147483649",
                            "f=99999999999999999999999", "g=-", "h=1.5", "i=0x10"});
  for (const char* key : {"a", "b", "c", "d", "e", "f", "g", "h", "i"}) {
    EXPECT_THROW(IniGetSx(list, "I", key, SxValue(0)), support::ConversionError) << key;
  }
  try {
    IniGetSx(list, "I", "c", SxValue(0));
  } catch (const support::ConversionError& error) {
    EXPECT_STREQ(error.what(), "[I] c: '12a' is not a valid integer");
  }
  EXPECT_TRUE(msgs_.messages().empty());
}

TEST_F(IniTest, SixtyFourBitIntegersRoundTrip) {
  StringList list;
  const SxValue big(int64_t{5000000000});
  EXPECT_EQ(big.kind(), support::kKindInt64);
  IniSetSx(list, "N", "Size", big);
  EXPECT_EQ(list[1], "Size=5000000000");
  EXPECT_EQ(IniGetSx(list, "N", "Size", SxValue(int64_t{1} << 40)).AsInt(), 5000000000);
  EXPECT_THROW(IniGetSx(list, "N", "Size", SxValue(0)), support::ConversionError);
}

TEST_F(IniTest, FloatsUseAPointOnEveryLocale) {
  StringList list;
  IniSetSx(list, "F", "a", SxValue(1.5));
  IniSetSx(list, "F", "b", SxValue(1.0 / 3));
  IniSetSx(list, "F", "c", SxValue(-0.25f));
  IniSetSx(list, "F", "d", SxValue(0.0));
  IniSetSx(list, "F", "e", SxValue::Date(37806.5));
  EXPECT_EQ(list.items(),
            (Lines{"[F]", "a=1.5", "b=0.333333333333333", "c=-0.25", "d=0", "e=37806.5"}));
  EXPECT_DOUBLE_EQ(IniGetSx(list, "F", "a", SxValue(0.0)).AsDouble(), 1.5);
  EXPECT_DOUBLE_EQ(IniGetSx(list, "F", "c", SxValue(0.0f)).AsDouble(), -0.25);
  SxValue date = IniGetSx(list, "F", "e", SxValue::Date(0));
  EXPECT_EQ(date.kind(), support::kKindDate);
  EXPECT_DOUBLE_EQ(date.AsDouble(), 37806.5);
  StringList bad = ListOf({"[F]", "a=1,5", "b=", "c=nan", "d=1.5x", "e= +2.5"});
  for (const char* key : {"a", "b", "c", "d"}) {
    EXPECT_THROW(IniGetSx(bad, "F", key, SxValue(0.0)), support::ConversionError) << key;
  }
  EXPECT_DOUBLE_EQ(IniGetSx(bad, "F", "e", SxValue(0.0)).AsDouble(), 2.5);
}

TEST_F(IniTest, CurrencyHasFourDecimals) {
  StringList list;
  IniSetSx(list, "C", "a", SxValue::Currency(125000));
  IniSetSx(list, "C", "b", SxValue::Currency(-31416));
  IniSetSx(list, "C", "c", SxValue::Currency(1));
  EXPECT_EQ(list.items(), (Lines{"[C]", "a=12.5", "b=-3.1416", "c=0.0001"}));
  StringList read = ListOf({"[C]", "a=3.14159", "b=-0.5", "c=12", "d=1.2.3"});
  EXPECT_EQ(IniGetSx(read, "C", "a", SxValue::Currency(0)).AsCurrency(), 31416);
  EXPECT_EQ(IniGetSx(read, "C", "b", SxValue::Currency(0)).AsCurrency(), -5000);
  EXPECT_EQ(IniGetSx(read, "C", "c", SxValue::Currency(0)).AsCurrency(), 120000);
  EXPECT_THROW(IniGetSx(read, "C", "d", SxValue::Currency(0)), support::ConversionError);
}

TEST_F(IniTest, TextsAreReadTrimmedAndWrittenUnchanged) {
  StringList list = ListOf({"[T]", "a=  spaced out \t;c", "b="});
  EXPECT_EQ(IniGetSx(list, "T", "a", SxValue("")).AsText(), "spaced out");
  EXPECT_EQ(IniGetSx(list, "T", "b", SxValue("dflt")).AsText(), "");
  EXPECT_EQ(IniGetSx(list, "T", "a", SxValue::Text("", support::kKindWideText)).kind(),
            support::kKindWideText);
  IniSetSx(list, "T", "b", SxValue("  kept  "));
  EXPECT_EQ(list[2], "b=  kept  ");
}

TEST_F(IniTest, MissingKeyGivesACopyOfTheDefault) {
  StringList list = ListOf({"[A]", "x=1"});
  SxValue value = IniGetSx(list, "A", "nope", SxValue::Currency(7));
  EXPECT_EQ(value, SxValue::Currency(7));
  EXPECT_EQ(IniGetSx(list, "B", "x", SxValue("d")).AsText(), "d");
}

TEST_F(IniTest, KindsTheEngineCannotReadShowAMessage) {
  StringList list = ListOf({"[A]", "x=1"});
  SxValue value = IniGetSx(list, "A", "x", SxValue(0), 13);
  EXPECT_EQ(value.kind(), support::kKindEmpty);
  value = IniGetSx(list, "A", "x", SxValue());
  EXPECT_EQ(value.kind(), support::kKindEmpty);
  ASSERT_EQ(msgs_.messages().size(), 2u);
  EXPECT_EQ(msgs_.messages()[0].text, "Input data type is not correct");
  EXPECT_EQ(msgs_.messages()[0].caption, "");
  EXPECT_EQ(msgs_.messages()[0].flags, support::kMbOk | support::kMbTaskModal);
}

TEST_F(IniTest, KindsTheEngineCannotWriteLeaveAnEmptyValue) {
  StringList list = ListOf({"[A]", "x=1"});
  EXPECT_EQ(IniSetSx(list, "A", "x", SxValue::OfKind(13)), 1);
  EXPECT_EQ(IniSetSx(list, "A", "y", SxValue()), 2);
  EXPECT_EQ(IniSetSx(list, "A", "z", SxValue::Null()), 3);
  EXPECT_EQ(list.items(), (Lines{"[A]", "x=", "y=", "z="}));
  ASSERT_EQ(msgs_.messages().size(), 1u);
  EXPECT_EQ(msgs_.messages()[0].text, "Input data type is not correct");
}

TEST_F(IniTest, ListWrittenThenShorterListLeavesOnlyItsItems) {
  StringList list = ListOf({"[H]", "Other=1", "[Next]"});
  IniSetListSx(list, "H", "Path", ListOf({"/a/", "/b/", "/c/"}));
  EXPECT_EQ(list.items(),
            (Lines{"[H]", "Other=1", "Path#0=/a/", "Path#1=/b/", "Path#2=/c/", "[Next]"}));
  IniSetListSx(list, "H", "Path", ListOf({"/z/"}));
  EXPECT_EQ(list.items(), (Lines{"[H]", "Other=1", "Path#0=/z/", "[Next]"}));
  StringList target = ListOf({"kept"});
  EXPECT_EQ(IniGetListSx(list, "H", "path", &target), 1);
  EXPECT_EQ(target.items(), (Lines{"kept", "/z/"}));
  IniSetListSx(list, "H", "Path", StringList());
  EXPECT_EQ(list.items(), (Lines{"[H]", "Other=1", "[Next]"}));
}

TEST_F(IniTest, StaleItemsWrittenTwiceAreAllRemoved) {
  StringList list = ListOf({"[H]", "P#0=a", "P#1=b", "p#1 = c", "P#2=d", "  P#3=indented"});
  IniSetListSx(list, "H", "P", ListOf({"x"}));
  EXPECT_EQ(list.items(), (Lines{"[H]", "P#0=x", "  P#3=indented"}));
}

TEST_F(IniTest, ListReadStopsAtTheFirstEmptyItem) {
  StringList list = ListOf({"[H]", "P#0=  one ", "P#1=two", "P#2=   ", "P#3=four"});
  StringList target;
  EXPECT_EQ(IniGetListSx(list, "H", "P", &target), 2);
  EXPECT_EQ(target.items(), (Lines{"one", "two"}));
  StringList gap = ListOf({"[H]", "P#1=one"});
  EXPECT_EQ(IniGetListSx(gap, "H", "P", &target), 0);
  EXPECT_EQ(IniGetListSx(gap, "Missing", "P", &target), 0);
}

TEST_F(IniTest, ClearSectionKeepsHeaderAndNeighbours) {
  StringList list = ListOf({"a=1", "[A]", "x=1", "", "; c", "  [B]", "y=2"});
  EXPECT_TRUE(IniClearSectionSx(list, "A"));
  EXPECT_EQ(list.items(), (Lines{"a=1", "[A]", "  [B]", "y=2"}));
  EXPECT_TRUE(IniClearSectionSx(list, "b"));
  EXPECT_EQ(list.items(), (Lines{"a=1", "[A]", "  [B]"}));
  EXPECT_FALSE(IniClearSectionSx(list, "C"));
  EXPECT_TRUE(IniClearSectionSx(list, "  "));
  EXPECT_EQ(list.items(), (Lines{"a=1", "[A]", "  [B]"}));
}

TEST_F(IniTest, SaveWritesLinefeedLinesAndIgnoresFailures) {
  testing_support::TempTree tree;
  StringList list = ListOf({"[A]", "x=1"});
  IniSaveSx(list, tree.Path("out.ini"));
  EXPECT_EQ(testing_support::TempTree::Read(tree.Path("out.ini")), "[A]\nx=1\n");
  IniSaveSx(list, tree.Path("missing/dir/out.ini"));
  IniSaveSx(list, "");
}

// Random lines built from the pieces that matter to the engine, with the names used
// below mixed in, so that writes land among headers, comments and look-alike keys.
StringList RandomText(std::mt19937& random) {
  static const char* const kPieces[] = {"[", "]",    "=",    ";",    " ",    "\t",    "\r",
                                        "x", "é",    "\xff", "Qz",   "QZ",   "Kw",    "kW",
                                        "1", "Lv#0", "Lv#1", "Lv#2", "[Qz]", "[qz] ", "Kw="};
  std::uniform_int_distribution<int> lines(0, 30), length(0, 6), piece(0, 20);
  StringList list;
  for (int n = lines(random); n > 0; --n) {
    std::string line;
    for (int k = length(random); k > 0; --k) line += kPieces[piece(random)];
    if (piece(random) == 0) line.push_back('\0');
    list.Add(std::move(line));
  }
  return list;
}

TEST_F(IniTest, WhatIsWrittenReadsBackAmongRandomLines) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 3000; ++round) {
    StringList list = RandomText(random);
    const char* section = round % 3 == 0 ? "" : "Qz";
    const std::string value = std::to_string(round);
    ASSERT_GE(IniSetSx(list, section, "Kw", SxValue(value)), 0);
    ASSERT_EQ(IniGetSx(list, section, "KW", SxValue("")).AsText(), value) << round;
    StringList items;
    for (int i = 0; i <= round % 4; ++i) items.Add(" item" + std::to_string(i));
    IniSetListSx(list, section, "Lv", items);
    StringList back;
    ASSERT_EQ(IniGetListSx(list, section, "lv", &back), static_cast<int>(items.size()));
    for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(back[i], "item" + std::to_string(i));
    if (section[0] != '\0') {
      ASSERT_TRUE(IniClearSectionSx(list, section));
      EXPECT_EQ(IniGetSx(list, section, "Kw", SxValue("gone")).AsText(), "gone");
    }
  }
}

TEST_F(IniTest, HostileTextNeitherCrashesNorHangs) {
  StringList list;
  list.Add("");
  list.Add(std::string(1 << 20, '='));
  list.Add(std::string("\0\xff\x01[=\0;", 7));
  list.Add("=");
  list.Add("==");
  list.Add("[");
  list.Add("]");
  list.Add(std::string(1 << 20, 'k') + "=v");
  list.Add("[\xff\xfe]");
  list.Add(";=;");
  for (int i = 0; i < 100000; ++i) list.Add(i % 7 == 0 ? "[" : "=x;");
  // The run of "=" is the key "=" with the rest of the run as its value.
  EXPECT_EQ(IniGetSx(list, "", "=", SxValue("d")).AsText(), std::string((1 << 20) - 2, '='));
  EXPECT_EQ(IniGetSx(list, "", "k", SxValue("d")).AsText(), "d");
  EXPECT_EQ(IniGetSx(list, "\xff\xfe", "x", SxValue(1)).AsInt(), 1);
  EXPECT_EQ(IniGetSx(list, "[", "", SxValue(1)).AsInt(), 1);
  EXPECT_EQ(IniSetSx(list, "", "new", SxValue(5)), 5);
  EXPECT_EQ(IniGetSx(list, "", "new", SxValue(0)).AsInt(), 5);
  const int size = static_cast<int>(list.size());
  EXPECT_EQ(IniSetSx(list, "Z", "z", SxValue(1)), size + 1);
  EXPECT_FALSE(IniClearSectionSx(list, "["));
  EXPECT_TRUE(IniClearSectionSx(list, "\xff\xfe"));
  StringList none;
  EXPECT_EQ(IniGetSx(none, "A", "b", SxValue(3)).AsInt(), 3);
  EXPECT_TRUE(IniClearSectionSx(none, ""));
  EXPECT_FALSE(IniClearSectionSx(none, "A"));
}

}  // namespace

}  // namespace support
