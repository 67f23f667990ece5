#include <gtest/gtest.h>

#include <string>

#include "common/scoped_env.h"
#include "platform/app_dirs.h"
#include "platform/paths.h"

namespace {

using platform::PathStyle;
constexpr PathStyle kPosix = PathStyle::kPosix;
constexpr PathStyle kWindows = PathStyle::kWindows;

struct RootCase {
  PathStyle style;
  const char* path;
  size_t root;
  bool absolute;
};

TEST(PathRulesTest, RootsAndAbsolutePathsOfBothSystems) {
  const RootCase kCases[] = {
      {kPosix, "", 0, false},
      {kPosix, "/", 1, true},
      {kPosix, "/data/x", 1, true},
      {kPosix, "data/x", 0, false},
      {kPosix, "C:\\x", 0, false},
      {kPosix, "\\\\host\\share\\", 0, false},
      {kWindows, "", 0, false},
      {kWindows, "C:\\", 3, true},
      {kWindows, "c:/Photos", 3, true},
      {kWindows, "C:", 2, false},
      {kWindows, "C:x", 2, false},
      {kWindows, "\\", 1, false},
      {kWindows, "\\x\\y", 1, false},
      {kWindows, "/x", 1, false},
      {kWindows, "x\\y", 0, false},
      {kWindows, "\\\\host\\share\\", 13, true},
      {kWindows, "\\\\host\\share\\a\\b", 13, true},
      {kWindows, "\\\\host\\share", 12, true},
      {kWindows, "//host/share/a", 13, true},
      {kWindows, "\\\\?\\C:\\", 7, true},
      {kWindows, "\\\\?\\C:\\a", 7, true},
      {kWindows, "\\\\.\\D:\\", 7, true},
      {kWindows, "\\\\?\\UNC\\host\\share\\", 19, true},
      {kWindows, "\\\\?\\unc\\host\\share\\x", 19, true},
      {kWindows, "\\\\?\\Volume{1234}\\x", 17, true},
  };
  for (const RootCase& c : kCases) {
    const bool windows = c.style == kWindows;
    EXPECT_EQ(platform::RootLength(c.path, c.style), c.root) << windows << " " << c.path;
    EXPECT_EQ(platform::IsAbsolute(c.path, c.style), c.absolute) << windows << " " << c.path;
  }
}

struct SplitCase {
  PathStyle style;
  const char* path;
  const char* folder;  // FolderOf
  const char* name;    // NameOf
  const char* parent;  // ParentOf
};

TEST(PathRulesTest, FoldersNamesAndParents) {
  const SplitCase kCases[] = {
      {kPosix, "/", "/", "", "/"},
      {kPosix, "/data", "/", "data", "/"},
      {kPosix, "/data/", "/data/", "", "/"},
      {kPosix, "/data/a.txt", "/data/", "a.txt", "/data/"},
      {kPosix, "/a/b//", "/a/b//", "", "/a/"},
      {kPosix, "a", "", "a", ""},
      {kPosix, "a\\b", "", "a\\b", ""},
      {kWindows, "C:\\", "C:\\", "", "C:\\"},
      {kWindows, "C:\\Photos\\", "C:\\Photos\\", "", "C:\\"},
      {kWindows, "C:\\Photos\\a.jpg", "C:\\Photos\\", "a.jpg", "C:\\Photos\\"},
      {kWindows, "C:/Photos/a.jpg", "C:/Photos/", "a.jpg", "C:/Photos/"},
      {kWindows, "\\\\host\\share\\", "\\\\host\\share\\", "", "\\\\host\\share\\"},
      {kWindows, "\\\\host\\share\\d\\", "\\\\host\\share\\d\\", "", "\\\\host\\share\\"},
      {kWindows, "\\\\?\\C:\\d", "\\\\?\\C:\\", "d", "\\\\?\\C:\\"},
  };
  for (const SplitCase& c : kCases) {
    EXPECT_EQ(platform::FolderOf(c.path, c.style), c.folder) << c.path;
    EXPECT_EQ(platform::NameOf(c.path, c.style), c.name) << c.path;
    EXPECT_EQ(platform::ParentOf(c.path, c.style), c.parent) << c.path;
  }
}

TEST(PathRulesTest, SeparatorsAddedAndTakenAway) {
  EXPECT_EQ(platform::WithSeparator("", kPosix), "");
  EXPECT_EQ(platform::WithSeparator("/a", kPosix), "/a/");
  EXPECT_EQ(platform::WithSeparator("/a/", kPosix), "/a/");
  EXPECT_EQ(platform::WithSeparator("C:\\a", kWindows), "C:\\a\\");
  EXPECT_EQ(platform::WithSeparator("C:/a/", kWindows), "C:/a/");
  EXPECT_EQ(platform::WithoutSeparator("/", kPosix), "/");
  EXPECT_EQ(platform::WithoutSeparator("/a//", kPosix), "/a");
  EXPECT_EQ(platform::WithoutSeparator("C:\\", kWindows), "C:\\");
  EXPECT_EQ(platform::WithoutSeparator("C:\\a\\", kWindows), "C:\\a");
  EXPECT_EQ(platform::WithoutSeparator("\\\\host\\share\\", kWindows), "\\\\host\\share\\");
  EXPECT_EQ(platform::Join("/a", "b", kPosix), "/a/b");
  EXPECT_EQ(platform::Join("/a/", "b", kPosix), "/a/b");
  EXPECT_EQ(platform::Join("", "b", kPosix), "b");
  EXPECT_EQ(platform::Join("C:\\a", "b", kWindows), "C:\\a\\b");
  EXPECT_EQ(platform::Join("C:/a/", "b", kWindows), "C:/a/b");
  EXPECT_TRUE(platform::IsSeparator('\\', kWindows));
  EXPECT_FALSE(platform::IsSeparator('\\', kPosix));
}

}  // namespace

// The program's own folders follow the system's variables; a relative value is no folder.
TEST(AppDirsTest, DataAndCacheHomesFollowTheSystemsVariables) {
  struct Row {
    const char* data_variable;
    const char* cache_variable;
    const char* home;
    const char* data;
    const char* cache;
  };
#ifdef _WIN32
  const char* home_variable = "USERPROFILE";
  const Row rows[] = {{"C:\\Users\\u\\AppData\\Roaming", "C:\\Users\\u\\AppData\\Local", "",
                       "C:\\Users\\u\\AppData\\Roaming\\", "C:\\Users\\u\\AppData\\Local\\"},
                      {"relative", "", "C:\\Users\\u", "", ""}};
  const char* data_name = "APPDATA";
  const char* cache_name = "LOCALAPPDATA";
#else
  const char* home_variable = "HOME";
  const Row rows[] = {{"/x/data", "/x/cache/", "/h/u", "/x/data/", "/x/cache/"},
                      {"", "", "/h/u", "/h/u/.local/share/", "/h/u/.cache/"},
                      {"data", "cache", "/h/v", "/h/v/.local/share/", "/h/v/.cache/"},
                      {"", "", "", "", ""}};
  const char* data_name = "XDG_DATA_HOME";
  const char* cache_name = "XDG_CACHE_HOME";
#endif
  for (const Row& row : rows) {
    testing_support::ScopedEnv data(data_name, row.data_variable);
    testing_support::ScopedEnv cache(cache_name, row.cache_variable);
    testing_support::ScopedEnv home(home_variable, row.home);
    EXPECT_EQ(platform::DataHome(), row.data) << row.data_variable << " " << row.home;
    EXPECT_EQ(platform::CacheHome(), row.cache) << row.cache_variable << " " << row.home;
  }
}
