// Sizes as typed into the window's fields and the command line's options.

#include "support/byte_size.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(ByteSizeTest, NumbersAndPowersOf1024) {
  struct Case {
    std::string text;
    std::optional<uint64_t> bytes;  // nullopt: refused
  };
  const Case cases[] = {
      {"0", 0},
      {"390", 390},
      {" 7 ", 7},
      {"7B", 7},
      {"390k", 390 * 1024},
      {"390K", 390 * 1024},
      {"1kb", 1024},
      {"1KiB", 1024},
      {"1.5G", 1536ULL * 1024 * 1024},
      {".5k", 512},
      {"2TiB", 2ULL * 1024 * 1024 * 1024 * 1024},
      {"3P", 3ULL << 50},
      {"15E", 15ULL << 60},
      {"0.5", 0},  // no part of a byte
      {"1.0009765625k", 1025},
      {"18446744073709551615", UINT64_MAX},
      {"18446744073709551616", std::nullopt},
      {"16E", std::nullopt},
      {"", std::nullopt},
      {"k", std::nullopt},
      {".", std::nullopt},
      {"-1", std::nullopt},
      {"1,5G", std::nullopt},
      {"1.5.2", std::nullopt},
      {"1 k", std::nullopt},
      {"7iB", std::nullopt},
      {"1ki", std::nullopt},
      {"1x", std::nullopt},
      {"1kk", std::nullopt},
  };
  for (const Case& c : cases) {
    uint64_t bytes = 12345;
    const bool taken = support::ParseByteSize(c.text, &bytes);
    EXPECT_EQ(taken, c.bytes.has_value()) << "'" << c.text << "'";
    if (taken && c.bytes) {
      EXPECT_EQ(bytes, *c.bytes) << "'" << c.text << "'";
    }
  }
}

}  // namespace
