#include "support/sx_value.h"

#include <fmt/core.h>

#include <charconv>
#include <cmath>
#include <limits>

namespace support {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view SkipLeadingBlanks(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return text.substr(i);
}

[[noreturn]] void Fail(std::string_view text, std::string_view what) {
  throw ConversionError(fmt::format("'{}' is not a valid {}", text, what));
}

}  // namespace

int64_t ParseIntegerText(std::string_view text, int64_t min, int64_t max) {
  std::string_view rest = SkipLeadingBlanks(text);
  bool negative = false;
  if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
    negative = rest[0] == '-';
    rest.remove_prefix(1);
  }
  if (rest.empty()) Fail(text, "integer");
  // Accumulate the magnitude as unsigned so that INT64_MIN still parses.
  uint64_t magnitude = 0;
  uint64_t limit = static_cast<uint64_t>(max);
  if (negative) limit = min >= 0 ? 0 : static_cast<uint64_t>(0) - static_cast<uint64_t>(min);
  for (char c : rest) {
    if (c < '0' || c > '9') Fail(text, "integer");
    uint64_t digit = static_cast<uint64_t>(c - '0');
    if (magnitude > limit / 10 || (magnitude == limit / 10 && digit > limit % 10)) {
      Fail(text, "integer");
    }
    magnitude = magnitude * 10 + digit;
  }
  if (negative) {
    return static_cast<int64_t>(static_cast<uint64_t>(0) - magnitude);
  }
  return static_cast<int64_t>(magnitude);
}

double ParseFloatText(std::string_view text) {
  std::string_view rest = SkipLeadingBlanks(text);
  // from_chars refuses a leading "+", which a settings file may well hold.
  if (!rest.empty() && rest[0] == '+') {
    rest.remove_prefix(1);
    if (!rest.empty() && rest[0] == '-') Fail(text, "number");
  }
  double value = 0;
  auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
  if (error != std::errc() || end != rest.data() + rest.size() || !std::isfinite(value)) {
    Fail(text, "number");
  }
  return value;
}

int64_t ParseCurrencyText(std::string_view text) {
  std::string_view rest = SkipLeadingBlanks(text);
  bool negative = false;
  if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
    negative = rest[0] == '-';
    rest.remove_prefix(1);
  }
  size_t dot = rest.find('.');
  std::string_view whole = rest.substr(0, dot);
  std::string_view fraction =
      dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
  if (whole.empty() && fraction.empty()) Fail(text, "amount");
  constexpr uint64_t kMaxWhole = static_cast<uint64_t>(INT64_MAX) / 10000 - 1;
  uint64_t units = 0;
  for (char c : whole) {
    if (c < '0' || c > '9') Fail(text, "amount");
    units = units * 10 + static_cast<uint64_t>(c - '0');
    if (units > kMaxWhole) Fail(text, "amount");
  }
  uint64_t scaled = 0;
  int digits = 0;
  bool round_up = false;
  for (char c : fraction) {
    if (c < '0' || c > '9') Fail(text, "amount");
    if (digits < 4) {
      scaled = scaled * 10 + static_cast<uint64_t>(c - '0');
    } else if (digits == 4) {
      round_up = c >= '5';
    }
    ++digits;
  }
  for (int i = digits; i < 4; ++i) scaled *= 10;
  uint64_t total = units * 10000 + scaled + (round_up ? 1 : 0);
  return negative ? -static_cast<int64_t>(total) : static_cast<int64_t>(total);
}

std::string FloatText(double value) {
  // fmt formats without regard to the process locale, so "." is always the separator.
  if (value == 0) return "0";
  std::string text = fmt::format("{:.15g}", value);
  // Near the largest double, 15 digits round up past it and would not read back.
  double back = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), back);
  if (error != std::errc() || !std::isfinite(back)) text = fmt::format("{}", value);
  return text;
}

std::string CurrencyText(int64_t scaled) {
  uint64_t magnitude = static_cast<uint64_t>(scaled);
  if (scaled < 0) magnitude = 0 - magnitude;
  std::string text = fmt::format("{}{}", scaled < 0 ? "-" : "", magnitude / 10000);
  uint64_t fraction = magnitude % 10000;
  if (fraction != 0) {
    std::string digits = fmt::format("{:04}", fraction);
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text;
}

SxValue SxValue::Null() { return SxValue(kKindNull, std::monostate()); }
SxValue SxValue::Currency(int64_t scaled) { return SxValue(kKindCurrency, scaled); }
SxValue SxValue::Date(double serial) { return SxValue(kKindDate, serial); }
SxValue SxValue::Integer(int64_t value, int kind) { return SxValue(kind, value); }
SxValue SxValue::Text(std::string text, int kind) { return SxValue(kind, std::move(text)); }
SxValue SxValue::OfKind(int kind) { return SxValue(kind, std::monostate()); }

bool SxValue::IsInteger() const {
  switch (kind_) {
    case kKindSmallInt:
    case kKindInteger:
    case kKindDispatch:
    case kKindError:
    case kKindByte:
    case kKindInt64:
      return true;
    default:
      return false;
  }
}

bool SxValue::IsFloat() const {
  return kind_ == kKindSingle || kind_ == kKindDouble || kind_ == kKindDate;
}

bool SxValue::IsText() const {
  return kind_ == kKindWideText || kind_ == kKindNarrowText72 || kind_ == kKindText;
}

int64_t SxValue::AsInt() const {
  if (kind_ == kKindCurrency) {
    int64_t scaled = std::get<int64_t>(data_);
    return (scaled >= 0 ? scaled + 5000 : scaled - 5000) / 10000;
  }
  if (auto* i = std::get_if<int64_t>(&data_)) return *i;
  if (auto* d = std::get_if<double>(&data_)) {
    if (!(std::fabs(*d) < 9.2e18)) throw ConversionError("number out of integer range");
    return std::llround(*d);
  }
  if (auto* b = std::get_if<bool>(&data_)) return *b ? 1 : 0;
  if (auto* s = std::get_if<std::string>(&data_)) {
    return ParseIntegerText(*s, INT64_MIN, INT64_MAX);
  }
  return 0;
}

double SxValue::AsDouble() const {
  if (kind_ == kKindCurrency) return static_cast<double>(std::get<int64_t>(data_)) / 10000;
  if (auto* i = std::get_if<int64_t>(&data_)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&data_)) return *d;
  if (auto* b = std::get_if<bool>(&data_)) return *b ? 1 : 0;
  if (auto* s = std::get_if<std::string>(&data_)) return ParseFloatText(*s);
  return 0;
}

bool SxValue::AsBool() const {
  if (auto* i = std::get_if<int64_t>(&data_)) return *i != 0;
  if (auto* d = std::get_if<double>(&data_)) return *d != 0;
  if (auto* b = std::get_if<bool>(&data_)) return *b;
  if (auto* s = std::get_if<std::string>(&data_)) return *s != "0";
  return false;
}

int64_t SxValue::AsCurrency() const {
  if (kind_ == kKindCurrency) return std::get<int64_t>(data_);
  if (auto* i = std::get_if<int64_t>(&data_)) {
    if (*i > INT64_MAX / 10000 || *i < INT64_MIN / 10000) {
      throw ConversionError("number out of currency range");
    }
    return *i * 10000;
  }
  if (auto* d = std::get_if<double>(&data_)) {
    if (!(std::fabs(*d) < 9.2e14)) throw ConversionError("number out of currency range");
    return std::llround(*d * 10000);
  }
  if (auto* b = std::get_if<bool>(&data_)) return *b ? 10000 : 0;
  if (auto* s = std::get_if<std::string>(&data_)) return ParseCurrencyText(*s);
  return 0;
}

std::string SxValue::AsText() const {
  if (kind_ == kKindCurrency) return CurrencyText(std::get<int64_t>(data_));
  if (auto* i = std::get_if<int64_t>(&data_)) return fmt::format("{}", *i);
  if (auto* d = std::get_if<double>(&data_)) return FloatText(*d);
  if (auto* b = std::get_if<bool>(&data_)) return *b ? "1" : "0";
  if (auto* s = std::get_if<std::string>(&data_)) return *s;
  return std::string();
}

}  // namespace support
