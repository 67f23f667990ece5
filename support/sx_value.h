#pragma once
// SxValue: the any-kind value taken by the settings and message operations. Its kind
// is one of the Automation variant codes below (plus two codes for narrow text).

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace support {

// Kind codes.
constexpr int kKindEmpty = 0;
constexpr int kKindNull = 1;
constexpr int kKindSmallInt = 2;  // 16-bit integer
constexpr int kKindInteger = 3;   // 32-bit integer
constexpr int kKindSingle = 4;
constexpr int kKindDouble = 5;
constexpr int kKindCurrency = 6;  // 64-bit fixed point, 4 decimals
constexpr int kKindDate = 7;      // day serial number since 1899-12-30
constexpr int kKindWideText = 8;
constexpr int kKindDispatch = 9;  // read and written as an integer
constexpr int kKindError = 10;    // read and written as an integer
constexpr int kKindBoolean = 11;
constexpr int kKindByte = 17;
constexpr int kKindInt64 = 20;  // integers that need more than 32 bits
constexpr int kKindNarrowText72 = 72;
constexpr int kKindText = 256;

// A text that does not convert to the kind asked for (an integer with a trailing blank,
// letters, an empty number, a value beyond 32 bits).
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class SxValue {
 public:
  SxValue() = default;
  template <typename T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>)
      SxValue(T value)  // NOLINT: implicit on purpose, like the variant it stands for
      : kind_(FitsInt32(static_cast<int64_t>(value)) ? kKindInteger : kKindInt64),
        data_(static_cast<int64_t>(value)) {}
  SxValue(bool value) : kind_(kKindBoolean), data_(value) {}
  SxValue(float value) : kind_(kKindSingle), data_(static_cast<double>(value)) {}
  SxValue(double value) : kind_(kKindDouble), data_(value) {}
  SxValue(const char* text) : kind_(kKindText), data_(std::string(text)) {}
  SxValue(std::string text) : kind_(kKindText), data_(std::move(text)) {}
  SxValue(std::string_view text) : kind_(kKindText), data_(std::string(text)) {}

  static SxValue Null();
  // `scaled` is the amount times 10,000.
  static SxValue Currency(int64_t scaled);
  static SxValue Date(double serial);
  // An integer of one of the integer kinds (2, 3, 9, 10, 17, 20).
  static SxValue Integer(int64_t value, int kind);
  // A text of kind 8, 72 or 256.
  static SxValue Text(std::string text, int kind);
  // A value of any kind code with no content (for kinds the engine refuses).
  static SxValue OfKind(int kind);

  int kind() const { return kind_; }
  bool IsEmpty() const { return kind_ == kKindEmpty || kind_ == kKindNull; }
  bool IsInteger() const;
  bool IsFloat() const;  // single, double, date
  bool IsText() const;

  // Readers in the manner of a variant. Numbers of other kinds are converted (floats
  // rounded, booleans 1 and 0, currency rounded); a text is parsed and throws
  // ConversionError when it does not convert; an empty value gives 0, false or "".
  int64_t AsInt() const;
  double AsDouble() const;
  bool AsBool() const;
  // Amount times 10,000.
  int64_t AsCurrency() const;
  // The value as the settings text writes it; kinds without a text form give "".
  std::string AsText() const;

  bool operator==(const SxValue& other) const = default;

  static bool FitsInt32(int64_t value) { return value >= INT32_MIN && value <= INT32_MAX; }

 private:
  SxValue(int kind, std::variant<std::monostate, int64_t, double, bool, std::string> data)
      : kind_(kind), data_(std::move(data)) {}

  int kind_ = kKindEmpty;
  // int64_t holds integers and currency; double holds floats and dates.
  std::variant<std::monostate, int64_t, double, bool, std::string> data_;
};

// Integer text: leading blanks, an optional sign, decimal digits, nothing after them.
// Throws ConversionError when invalid or beyond the range [min, max].
int64_t ParseIntegerText(std::string_view text, int64_t min, int64_t max);
// Float text with "." as the decimal separator on every locale; leading blanks allowed.
double ParseFloatText(std::string_view text);
// Decimal text with up to 4 decimals (more are rounded); returns amount times 10,000.
int64_t ParseCurrencyText(std::string_view text);
// General float text, up to 15 significant digits, "." as decimal separator.
std::string FloatText(double value);
// Amount times 10,000 as decimal text without trailing zeros ("12", "-0.5", "3.1416").
std::string CurrencyText(int64_t scaled);

}  // namespace support

using support::SxValue;
