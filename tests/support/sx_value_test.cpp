#include "support/sx_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using support::ConversionError;

TEST(SxValueTest, KindFollowsTheStoredType) {
  EXPECT_EQ(SxValue().kind(), support::kKindEmpty);
  EXPECT_EQ(SxValue::Null().kind(), support::kKindNull);
  EXPECT_EQ(SxValue(7).kind(), support::kKindInteger);
  EXPECT_EQ(SxValue(uint8_t{7}).kind(), support::kKindInteger);
  EXPECT_EQ(SxValue(uint32_t{4000000000u}).kind(), support::kKindInt64);
  EXPECT_EQ(SxValue(int64_t{-2147483648LL}).kind(), support::kKindInteger);
  EXPECT_EQ(SxValue(int64_t{-2147483649LL}).kind(), support::kKindInt64);
  EXPECT_EQ(SxValue(true).kind(), support::kKindBoolean);
  EXPECT_EQ(SxValue(1.5f).kind(), support::kKindSingle);
  EXPECT_EQ(SxValue(1.5).kind(), support::kKindDouble);
  EXPECT_EQ(SxValue("t").kind(), support::kKindText);
  EXPECT_EQ(SxValue(std::string("t")).kind(), support::kKindText);
  EXPECT_EQ(SxValue::Text("t", support::kKindNarrowText72).kind(), 72);
  EXPECT_EQ(SxValue::Integer(3, support::kKindByte).kind(), support::kKindByte);
  EXPECT_TRUE(SxValue::Integer(3, support::kKindError).IsInteger());
  EXPECT_TRUE(SxValue::Date(1).IsFloat());
  EXPECT_TRUE(SxValue::Text("", support::kKindWideText).IsText());
}

TEST(SxValueTest, ReadersConvertLikeAVariant) {
  EXPECT_EQ(SxValue(2.5).AsInt(), 3);
  EXPECT_EQ(SxValue(-2.5).AsInt(), -3);
  EXPECT_EQ(SxValue::Currency(25000).AsInt(), 3);
  EXPECT_EQ(SxValue::Currency(-25000).AsInt(), -3);
  EXPECT_EQ(SxValue::Currency(24999).AsInt(), 2);
  EXPECT_EQ(SxValue(true).AsInt(), 1);
  EXPECT_EQ(SxValue(" -12").AsInt(), -12);
  EXPECT_EQ(SxValue().AsInt(), 0);
  EXPECT_THROW(SxValue("12 ").AsInt(), ConversionError);
  EXPECT_THROW(SxValue(1e300).AsInt(), ConversionError);
  EXPECT_DOUBLE_EQ(SxValue::Currency(12345).AsDouble(), 1.2345);
  EXPECT_DOUBLE_EQ(SxValue("2.5").AsDouble(), 2.5);
  EXPECT_EQ(SxValue(3).AsCurrency(), 30000);
  EXPECT_EQ(SxValue(0.00005).AsCurrency(), 1);
  EXPECT_EQ(SxValue("1.5").AsCurrency(), 15000);
  EXPECT_THROW(SxValue(int64_t{INT64_MAX}).AsCurrency(), ConversionError);
  EXPECT_FALSE(SxValue("0").AsBool());
  EXPECT_TRUE(SxValue("false").AsBool());
  EXPECT_FALSE(SxValue(0.0).AsBool());
  EXPECT_FALSE(SxValue().AsBool());
}

TEST(SxValueTest, TextsAsTheSettingsWriteThem) {
  EXPECT_EQ(SxValue(-42).AsText(), "-42");
  EXPECT_EQ(SxValue(int64_t{INT64_MIN}).AsText(), "-9223372036854775808");
  EXPECT_EQ(SxValue(true).AsText(), "1");
  EXPECT_EQ(SxValue(false).AsText(), "0");
  EXPECT_EQ(SxValue(0.1).AsText(), "0.1");
  EXPECT_EQ(SxValue(-0.0).AsText(), "0");
  EXPECT_EQ(SxValue(123456789012345678.0).AsText(), "1.23456789012346e+17");
  EXPECT_EQ(SxValue(1e-7).AsText(), "1e-07");
  EXPECT_EQ(SxValue::Currency(0).AsText(), "0");
  EXPECT_EQ(SxValue::Currency(-1).AsText(), "-0.0001");
  EXPECT_EQ(SxValue::Currency(INT64_MIN).AsText(), "-922337203685477.5808");
  EXPECT_EQ(SxValue::Null().AsText(), "");
  EXPECT_EQ(SxValue::OfKind(99).AsText(), "");
}

TEST(SxValueTest, IntegerTextBoundaries) {
  EXPECT_EQ(support::ParseIntegerText("9223372036854775807", INT64_MIN, INT64_MAX), INT64_MAX);
  EXPECT_EQ(support::ParseIntegerText("-9223372036854775808", INT64_MIN, INT64_MAX), INT64_MIN);
  EXPECT_THROW(support::ParseIntegerText("9223372036854775808", INT64_MIN, INT64_MAX),
               ConversionError);
  EXPECT_THROW(support::ParseIntegerText("-9223372036854775809", INT64_MIN, INT64_MAX),
               ConversionError);
  EXPECT_EQ(support::ParseIntegerText("-0", 0, 10), 0);
  EXPECT_THROW(support::ParseIntegerText("-1", 0, 10), ConversionError);
  EXPECT_THROW(support::ParseIntegerText("11", 0, 10), ConversionError);
  EXPECT_THROW(support::ParseIntegerText("+-1", -10, 10), ConversionError);
  EXPECT_THROW(support::ParseIntegerText(std::string("1\0", 2), -10, 10), ConversionError);
  EXPECT_EQ(support::ParseIntegerText("\t\r 00000000000000000000000007", -10, 10), 7);
}

TEST(SxValueTest, FloatAndCurrencyTextsRoundTrip) {
  for (double d : {0.1, -1.0 / 3, 1e20, 5e-324, 1.7976931348623157e308}) {
    EXPECT_NEAR(support::ParseFloatText(support::FloatText(d)), d, std::abs(d) * 1e-14) << d;
  }
  EXPECT_THROW(support::ParseFloatText("inf"), ConversionError);
  EXPECT_THROW(support::ParseFloatText("1e999"), ConversionError);
  EXPECT_THROW(support::ParseFloatText("+-1"), ConversionError);
  EXPECT_EQ(support::ParseCurrencyText(".5"), 5000);
  EXPECT_EQ(support::ParseCurrencyText("5."), 50000);
  EXPECT_EQ(support::ParseCurrencyText("0.00005"), 1);
  EXPECT_EQ(support::ParseCurrencyText("0.00004"), 0);
  EXPECT_THROW(support::ParseCurrencyText("."), ConversionError);
  EXPECT_THROW(support::ParseCurrencyText("99999999999999999"), ConversionError);
  EXPECT_EQ(support::CurrencyText(support::ParseCurrencyText("922337203685476.5807")),
            "922337203685476.5807");
}

}  // namespace
