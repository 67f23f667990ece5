#include "lists/list_system.h"

#include <gtest/gtest.h>

namespace {

using platform::PathStyle;

TEST(ListSystemTest, TheSearchPathTellsWhichSystemWroteTheList) {
  const struct {
    const char* search_path;
    PathStyle style;
  } kCases[] = {{"C:\\Photos\\", PathStyle::kWindows},
                {"d:\\", PathStyle::kWindows},
                {"E:/x/", PathStyle::kWindows},
                {"\\\\nas\\share\\", PathStyle::kWindows},
                {"/data/", PathStyle::kPosix},
                {"/", PathStyle::kPosix},
                {"", PathStyle::kPosix},
                {"1:\\", PathStyle::kPosix},
                {"\\x\\", PathStyle::kPosix},
                {"/C:/", PathStyle::kPosix}};
  for (const auto& c : kCases) {
    EXPECT_EQ(lists::PathStyleOfList(c.search_path), c.style) << c.search_path;
  }
  EXPECT_EQ(lists::SystemName(PathStyle::kWindows), "Windows");
  EXPECT_EQ(lists::SystemName(PathStyle::kPosix), "Linux");
}

TEST(ListSystemTest, EitherSeparatorMatchesOnlyWhenAWindowsListTakesPart) {
  EXPECT_TRUE(lists::SameListedPath("sub\\b.txt", "sub/b.txt", true));
  EXPECT_TRUE(lists::SameListedPath("sub/b.txt", "sub/b.txt", true));
  EXPECT_FALSE(lists::SameListedPath("sub\\b.txt", "sub/b.txt", false));
  EXPECT_FALSE(lists::SameListedPath("sub\\b.txt", "sub/c.txt", true));
  EXPECT_FALSE(lists::SameListedPath("sub\\b.txt", "sub/b.txt ", true));
  EXPECT_FALSE(lists::SameListedPath("a\\b", "a_b", true));
}

}  // namespace
