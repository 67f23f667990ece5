#include "lists/list_paths.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <string>

#include "common/temp_tree.h"
#include "common/test_os.h"

namespace {

using testing_support::TempTree;

// Paths are spelled with "/" below the system's root; Native writes them as the system does.
TEST(ResolveBaseFolderTest, RelativeSettingsJoinTheBasePath) {
  using testing_support::Native;
  const std::string root = testing_support::SystemRoot();
  const std::string app = root + Native("opt/app/");
  const std::string data = root + Native("data");
  EXPECT_EQ(lists::ResolveBaseFolder("", "xBase/", app), app + Native("xBase/"));
  EXPECT_EQ(lists::ResolveBaseFolder(data, "lists", app), data + Native("/lists/"));
  EXPECT_EQ(lists::ResolveBaseFolder(data + Native("/"), "lists/", app), data + Native("/lists/"));
  EXPECT_EQ(lists::ResolveBaseFolder("  " + data + Native("/ "), " a b ", app),
            data + Native("/a b/"));
  EXPECT_EQ(lists::ResolveBaseFolder("", "x", root + Native("opt/app")), app + Native("x/"));
  // The setting's "/" is the system's separator in the folder it names.
  EXPECT_EQ(lists::ResolveBaseFolder("", "a/b", app), app + Native("a/b/"));
}

// A setting from the root stays on the base's drive, as every path of the system does.
TEST(ResolveBaseFolderTest, AbsoluteAndEmptySettings) {
  using testing_support::Native;
  const std::string root = testing_support::SystemRoot();
  const std::string data = root + Native("data/");
  const std::string app = root + Native("opt/app/");
  EXPECT_EQ(lists::ResolveBaseFolder(data, root + "srv/x", app), root + Native("srv/x/"));
  EXPECT_EQ(lists::ResolveBaseFolder(data, "/srv/x", app), root + Native("srv/x/"));
  EXPECT_EQ(lists::ResolveBaseFolder(data, "//nas/share", app), Native("//nas/share/"));
  EXPECT_EQ(lists::ResolveBaseFolder(data, "", app), "");
  EXPECT_EQ(lists::ResolveBaseFolder(data, "   ", app), "");
}

TEST(ComposeListNameTest, PartsAndSeparators) {
  EXPECT_EQ(lists::ComposeListName("nas", "Music", "Pop", "123"), "nas%Music^Pop~123");
  EXPECT_EQ(lists::ComposeListName("", "DATA", "", "03054_41741"), "DATA~03054_41741");
  EXPECT_EQ(lists::ComposeListName("", "", "home", ""), "^home");
  EXPECT_EQ(lists::ComposeListName("h", "", "", "", "#", "^", "~"), "h#");
  EXPECT_EQ(lists::ComposeListName("", "", "", ""), "");
}

TEST(NameListFilesTest, ExtensionsAndDefaults) {
  lists::ListFileNames names = lists::NameListFiles("/L/", " Vol7 ", "v00", "t00");
  EXPECT_EQ(names.id_list, "/L/Vol7.v00");
  EXPECT_EQ(names.tree_list, "/L/Vol7.t00");
  EXPECT_FALSE(names.same);

  names = lists::NameListFiles("/L/", "/Vol7", "", "");
  EXPECT_EQ(names.id_list, "/L/Vol7.v00");
  EXPECT_EQ(names.tree_list, "/L/Vol7.t00");

  names = lists::NameListFiles("/L/", "x", "v00", "v00");
  EXPECT_TRUE(names.same);
  EXPECT_EQ(names.id_list, "/L/x.v00");

  // File names differ by case here.
  EXPECT_FALSE(lists::NameListFiles("/L/", "x", "v00", "V00").same);
}

TEST(NameListFilesTest, PartsNeverLeaveTheFolder) {
  using std::string_literals::operator""s;
  EXPECT_EQ(lists::ComposeListName("h/x", "../../x", "a/b", "1", "%", "^", "~"),
            "h_x%.._.._x^a_b~1");
  EXPECT_EQ(lists::ComposeListName("", "..", "", "", "%", "^", "~"), "_");
  EXPECT_EQ(lists::ComposeListName("", "a\0b"s, ".", "", "%", "^", "~"), "a_b^_");
  const lists::ListFileNames names = lists::NameListFiles("/L/", "sub/../../x", "v00", "t00");
  EXPECT_EQ(names.id_list, "/L/sub_.._.._x.v00");
  EXPECT_EQ(lists::NameListFiles("/L/", "..", "v00", "t00").tree_list, "/L/_.t00");
}

TEST(NameListFilesTest, LongNamesAreCutAtACharacterBeforeTheExtension) {
  // 126 two-byte characters: 252 bytes, so with ".v00" one character must go.
  std::string name;
  for (int i = 0; i < 126; ++i) name += "\xC3\xA4";
  const lists::ListFileNames names = lists::NameListFiles("/L/", name, "v00", "t00");
  EXPECT_EQ(names.id_list, "/L/" + name.substr(0, 250) + ".v00");
  EXPECT_EQ(names.tree_list, "/L/" + name.substr(0, 250) + ".t00");
  // A longer extension takes its room from both names alike.
  EXPECT_EQ(lists::NameListFiles("/L/", name, "v00", "tree").id_list,
            "/L/" + name.substr(0, 250) + ".v00");
}

TEST(LoadBaseSettingsTest, MissingOrEmptyFileGivesDefaults) {
  TempTree tree;
  lists::BaseSettings settings = lists::LoadBaseSettingsFrom(tree.Path("none.ini"), "/app/");
  EXPECT_EQ(settings.app_path, "/app/");
  EXPECT_EQ(settings.vol_path, "xBase/");
  EXPECT_EQ(settings.dir_path, "xData/");
  EXPECT_EQ(settings.back_ups, "xxBackUp/");
  EXPECT_EQ(settings.lst_ext, "v00");
  EXPECT_EQ(settings.dir_ext, "t00");

  settings = lists::LoadBaseSettingsFrom(tree.File("empty.ini", ""), "/app/");
  EXPECT_EQ(settings.vol_path, "xBase/");
}

TEST(LoadBaseSettingsTest, ReadsTheSharedSectionOnly) {
  TempTree tree;
  const std::string ini = tree.File("base.ini",
                                    "[Other]\nVolPath=wrong/\n"
                                    "[norvelbase]\nAppPath= /srv/base \nvolpath=lists/ ; comment\n"
                                    "LstExt=idl\n");
  const lists::BaseSettings settings = lists::LoadBaseSettingsFrom(ini, "/app/");
  EXPECT_EQ(settings.app_path, "/srv/base");
  EXPECT_EQ(settings.vol_path, "lists/");
  EXPECT_EQ(settings.dir_path, "xData/");
  EXPECT_EQ(settings.lst_ext, "idl");
  EXPECT_EQ(settings.dir_ext, "t00");
  EXPECT_EQ(lists::ResolveBaseFolder(settings.app_path, settings.vol_path, "/app/"),
            "/srv/base" + testing_support::Native("/lists/"));
}

}  // namespace

// Backups are named by the list's write time to the second; a name taken by other bytes
// (a copy cut by a crash, a list of the same second) must not stand for this list.
TEST(BackUpListTest, EveryListOfOneSecondKeepsAWholeCopyOfItsOwn) {
  TempTree tree;
  const std::string list = tree.Path("lists/run.v00");
  const std::string folder = tree.Path("backups/");
  const time_t written = 1700000000;
  struct tm parts;
  localtime_r(&written, &parts);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "run.%Y%m%d-%H%M%S", &parts);
  const std::string name = stamp;
  std::string whole;
  for (int line = 0; line < 200; ++line) whole += "F  line " + std::to_string(line) + "\r\n";
  const std::string cut = whole.substr(0, 100);
  tree.File("backups/" + name + ".v00", cut);
  // The second whole list was saved before: no new copy.
  for (const std::string& bytes : {whole, std::string("two\r\n"), whole, std::string("3\r\n")}) {
    tree.File("lists/run.v00", bytes);
    ASSERT_TRUE(testing_support::SetFileTimes(list, testing_support::AtSecond(written)));
    std::string error;
    ASSERT_TRUE(lists::BackUpList(list, folder, &error)) << error;
  }
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files[entry.path().filename().string()] = TempTree::Read(entry.path().string());
  }
  EXPECT_EQ(files, (std::map<std::string, std::string>{{name + ".v00", cut},
                                                       {name + "-2.v00", whole},
                                                       {name + "-3.v00", "two\r\n"},
                                                       {name + "-4.v00", "3\r\n"}}));
}
