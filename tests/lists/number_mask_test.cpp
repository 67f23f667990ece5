#include "lists/number_mask.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace lists {
namespace {

TEST(NumberMaskTest, ZeroPlacesAlwaysShowTheirDigits) {
  EXPECT_EQ(FormatMasked(701218845, kMaskId), "07012 18845");
  EXPECT_EQ(FormatMasked(3506064315u, kMaskId), "35060 64315");
  EXPECT_EQ(FormatMasked(0, kMaskId), "00000 00000");
  EXPECT_EQ(FormatMasked(4294967295u, kMaskId), "42949 67295");
  EXPECT_EQ(FormatMasked(1, kMaskReadError), "000 001");
  EXPECT_EQ(FormatMasked(305441741, kMaskSerial), " 03054 41741 ");
  EXPECT_EQ(FormatMasked(0, kMaskSerial), " 00000 00000 ");
}

TEST(NumberMaskTest, HashPlacesDropLeadingZerosAndRightAlign) {
  EXPECT_EQ(FormatMasked(1234567, kMaskSize), "      1 234 567");
  EXPECT_EQ(FormatMasked(0, kMaskSize), "              0");
  EXPECT_EQ(FormatMasked(999, kMaskSize), "            999");
  EXPECT_EQ(FormatMasked(1000, kMaskSize), "          1 000");
  EXPECT_EQ(FormatMasked(999999999999, kMaskSize), "999 999 999 999");
  EXPECT_EQ(FormatMasked(32, kMaskSmall), " 32");
  EXPECT_EQ(FormatMasked(0, kMaskSmall), "  0");
  EXPECT_EQ(FormatMasked(128, kMaskSmall), "128");
  EXPECT_EQ(FormatMasked(2, kMaskCount), "          2");
  EXPECT_EQ(FormatMasked(123456789, kMaskCount), "123 456 789");
  EXPECT_EQ(FormatMasked(1234574, kMaskBytes), "           1 234 574");
}

TEST(NumberMaskTest, ValuesWiderThanTheMaskWidenTheField) {
  EXPECT_EQ(FormatMasked(1000000000000, kMaskSize), "1000 000 000 000");
  EXPECT_EQ(FormatMasked(123456789012345, kMaskSize), "123456 789 012 345");
  EXPECT_EQ(FormatMasked(std::numeric_limits<uint64_t>::max(), kMaskSize),
            "18446744073 709 551 615");
  EXPECT_EQ(FormatMasked(1000, kMaskSmall), "1000");
  EXPECT_EQ(FormatMasked(4294967295u, kMaskCount), "4294 967 295");
  EXPECT_EQ(FormatMasked(std::numeric_limits<uint64_t>::max(), kMaskBytes),
            "18446744 073 709 551 615");
}

TEST(NumberMaskTest, IdSumsFillAllTwentyDigits) {
  EXPECT_EQ(FormatMasked(4207283160u, kMaskIdSum), "00 000 000 004 207 283 160");
  EXPECT_EQ(FormatMasked(922337203685477581u, kMaskIdSum), "00 922 337 203 685 477 581");
  EXPECT_EQ(FormatMasked(std::numeric_limits<uint64_t>::max(), kMaskIdSum),
            "18 446 744 073 709 551 615");
}

TEST(NumberMaskTest, WidthOverridesTheMaskLength) {
  EXPECT_EQ(FormatMasked(5, "##0", 6), "     5");
  EXPECT_EQ(FormatMasked(12345, "##0", 2), "12345");
  std::string out = "x";
  AppendMasked(&out, 7, "0#0");
  EXPECT_EQ(out, "x007");
  EXPECT_EQ(FormatMasked(42, "-#0-"), "-42-");
  EXPECT_EQ(FormatMasked(7, "#0#"), " 07");
}

TEST(NumberMaskTest, HexAndDecimalRightAlign) {
  std::string out;
  AppendHex(&out, 31, 3);
  AppendHex(&out, 0, 3);
  AppendHex(&out, 0xABCDEF, 3);
  AppendDecimal(&out, 0, 3);
  AppendDecimal(&out, 4096, 3);
  EXPECT_EQ(out, " 1F  0ABCDEF  04096");
}

}  // namespace
}  // namespace lists
