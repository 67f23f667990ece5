#include "catalogue/catalogue_index.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace catalogue {
namespace {

// The list's id field (11 characters after "F  "): two 5-digit groups of a content id,
// or "$" and the hex bytes of a file of at most five bytes, padded with blanks.
TEST(CatalogueIndexTest, ContentKeysReadTheIdFieldAndWriteItBack) {
  struct Case {
    std::string text;
    std::optional<int64_t> key;  // the groups as one decimal number; unset: short file
    std::string written;         // what ContentKeyText gives back; empty: the text itself
  };
  const Case cases[] = {
      {"07012 18845", 701218845, ""},
      {"35060 64315", 3506064315, ""},
      {"00000 00000", 0, ""},
      {"00000 00120", 120, ""},
      {"99999 99999", 9999999999, ""},
      {"$616263    ", std::nullopt, ""},
      {"$61        ", std::nullopt, ""},
      {"$6100      ", std::nullopt, ""},
      {"$0061      ", std::nullopt, ""},
      {"$00        ", std::nullopt, ""},
      {"$6162636465", std::nullopt, ""},
      {"$6a        ", std::nullopt, "$6A        "},
  };
  std::vector<int64_t> short_keys;
  for (const Case& c : cases) {
    const std::optional<int64_t> key = ContentKey(c.text);
    ASSERT_TRUE(key.has_value()) << c.text;
    if (c.key.has_value()) {
      EXPECT_EQ(*key, *c.key) << c.text;
    } else {
      short_keys.push_back(*key);
    }
    EXPECT_EQ(ContentKeyText(*key), c.written.empty() ? c.text : c.written) << c.text;
  }
  // Short files' keys stay apart from each other and from every id ("$6a" is "$6A").
  for (size_t i = 0; i < short_keys.size(); ++i) {
    EXPECT_GT(short_keys[i], int64_t{9999999999}) << i;
    for (size_t j = i + 1; j < short_keys.size(); ++j) EXPECT_NE(short_keys[i], short_keys[j]);
  }
  EXPECT_EQ(short_keys.back(), ContentKey("$6A        "));
  // Failure texts and malformed fields have no key.
  for (const char* text : {"!CannotFind", "!Allocation", "07012-18845", "0701218845",
                           "07012 18845 ", "0701a 18845", "$6G        ", "", "           "}) {
    EXPECT_EQ(ContentKey(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace catalogue
