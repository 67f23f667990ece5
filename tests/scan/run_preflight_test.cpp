#include "scan/run_preflight.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/temp_tree.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

using scan::PathForm;
using scan::RunFile;
using scan::RunRefusal;
using testing_support::TempTree;

// One Create before its start: a tree data/ to scan, the lists out/run.v00 and
// out/run.t00, no backups unless a row asks for them (into backups/). Paths of the table begin with
// "R/" for the tree's root.
struct Case {
  std::string name;
  std::function<void(TempTree&, scan::RunSettings&)> arrange;
  scan::CheckRules rules = {};
  bool hold_id_list = false;  // another run holds it
  std::optional<RunRefusal> refusal = std::nullopt;
  RunFile file = RunFile::kSearchPath;
  std::string path = "";
  std::string reason = "";
  std::string parameters = "";                             // split off the path, with no refusal
  std::vector<std::pair<RunFile, std::string>> made = {};  // folders made
  int backups = 0;                                         // files in backups/ afterwards
  bool link = false;  // made with a symbolic link: Windows makes them only with a right users lack
};

// "R/" stands for the tree's root; parameters after a blank keep their "/".
std::string Rooted(const TempTree& tree, const std::string& path) {
  if (!path.starts_with("R/")) return path;
  const size_t parameters = std::min(path.find(" /"), path.size());
  return tree.Path(path.substr(2, parameters - 2)) + path.substr(parameters);
}

// Lists of an earlier run, there to be held or backed up.
void WriteLists(TempTree& tree, scan::RunSettings&) {
  tree.File("out/run.v00", "the ids of before\r\n");
  tree.File("out/run.t00", "the tree of before\r\n");
}

TEST(RunPreflightTest, RefusesOrPreparesEachRun) {
  using Settings = scan::RunSettings;
  const std::vector<Case> cases = {
      {.name = "ready", .arrange = [](TempTree&, Settings&) {}},
      {.name = "same names for both lists",
       .arrange = [](TempTree& t, Settings& s) { s.tree_list = t.Path("out/run.v00"); },
       .refusal = RunRefusal::kSameNames,
       .file = RunFile::kIdList,
       .path = "R/out/run.v00"},
      {.name = "no name for a list",
       .arrange = [](TempTree&, Settings& s) { s.tree_list.clear(); },
       .refusal = RunRefusal::kNoListName,
       .file = RunFile::kTreeList},
      {.name = "relative path",
       .arrange = [](TempTree&, Settings& s) { s.search_path = "data"; },
       .refusal = RunRefusal::kRelativePath,
       .path = "data"},
      {.name = "no such directory",
       .arrange = [](TempTree& t, Settings& s) { s.search_path = t.Path("gone"); },
       .refusal = RunRefusal::kNoDirectory,
       .path = "R/gone"},
      {.name = "path with parameters",
       .arrange = [](TempTree& t, Settings& s) { s.search_path = t.Path("data") + " /EP temp"; },
       .rules = {.form = PathForm::kWithParameters},
       .parameters = "/EP temp"},
      {.name = "parameters where a directory alone is taken",
       .arrange = [](TempTree& t, Settings& s) { s.search_path = t.Path("data") + " /EP temp"; },
       .refusal = RunRefusal::kNoDirectory,
       .path = "R/data /EP temp"},
      {.name = "list that is a link",
       .arrange =
           [](TempTree& t, Settings&) {
             std::filesystem::create_symlink(t.File("elsewhere.t00", ""), t.Path("out/run.t00"));
           },
       .refusal = RunRefusal::kListIsLink,
       .file = RunFile::kTreeList,
       .path = "R/out/run.t00",
       .link = true},
      {.name = "list that is a folder",
       .arrange = [](TempTree& t, Settings&) { t.Dir("out/run.v00"); },
       .refusal = RunRefusal::kListNotAFile,
       .file = RunFile::kIdList,
       .path = "R/out/run.v00"},
      {.name = "list that is a folder, left for the job",
       .arrange = [](TempTree& t, Settings&) { t.Dir("out/run.t00"); },
       .rules = {.list_files = false}},
      {.name = "missing folder made",
       .arrange =
           [](TempTree& t, Settings& s) {
             s.id_list = t.Path("new/lists/run.v00");
             s.tree_list = t.Path("new/lists/run.t00");
           },
       .made = {{RunFile::kListFolder, "R/new/lists/"}}},
      {.name = "folder that cannot be made: a file in the way",
       .arrange =
           [](TempTree& t, Settings& s) {
             t.File("file", "in the way");
             s.tree_list = t.Path("file/run.t00");
           },
       .refusal = RunRefusal::kFolderUnusable,
       .file = RunFile::kListFolder,
       .path = "R/file/",
       .reason = "is not a folder"},
      {.name = "list locked by another run",
       .arrange = WriteLists,
       .hold_id_list = true,
       .refusal = RunRefusal::kListHeld,
       .file = RunFile::kIdList,
       .path = "R/out/run.v00",
       .reason = "in use by another run"},
      {.name = "backup made",
       .arrange =
           [](TempTree& t, Settings& s) {
             WriteLists(t, s);
             s.options = 0;
           },
       .made = {{RunFile::kBackupFolder, "R/backups/"}},
       .backups = 2},
      {.name = "backup folder made, nothing to copy",
       .arrange = [](TempTree&, Settings& s) { s.options = 0; },
       .made = {{RunFile::kBackupFolder, "R/backups/"}}},
      {.name = "no backup asked for", .arrange = WriteLists},
      {.name = "no backup on continue",
       .arrange =
           [](TempTree& t, Settings& s) {
             WriteLists(t, s);
             s.options = 0;
             s.mode = scan::kModeContinue;
           }},
  };
  for (const Case& c : cases) {
    if (c.link && platform::kNativePathStyle == platform::PathStyle::kWindows) continue;
    SCOPED_TRACE(c.name);
    TempTree tree;
    tree.File("data/a.txt", "a");
    tree.Dir("out");
    scan::RunSettings settings;
    settings.search_path = tree.Path("data");
    settings.id_list = tree.Path("out/run.v00");
    settings.tree_list = tree.Path("out/run.t00");
    settings.options = scan::kOptNoBackUp;
    c.arrange(tree, settings);
    platform::File holder;
    if (c.hold_id_list) {
      ASSERT_TRUE(holder.Open(settings.id_list, platform::OpenMode::kReadWriteLocked));
    }
    scan::RunPlan plan = scan::CheckRun(settings, c.rules);
    if (!plan.problem) scan::PrepareRun(settings, tree.Path("backups/"), &plan);

    ASSERT_EQ(plan.problem.has_value(), c.refusal.has_value());
    if (c.refusal) {
      EXPECT_EQ(plan.problem->refusal, *c.refusal);
      EXPECT_EQ(plan.problem->file, c.file);
      EXPECT_EQ(plan.problem->path, Rooted(tree, c.path));
      EXPECT_EQ(plan.problem->reason, c.reason);
    } else {
      EXPECT_EQ(plan.start_directory, tree.Path("data"));
      EXPECT_EQ(plan.parameters, c.parameters);
    }
    std::vector<std::pair<RunFile, std::string>> made;
    for (const auto& [file, folder] : c.made) {
      made.emplace_back(file, Rooted(tree, folder));
      EXPECT_TRUE(std::filesystem::is_directory(made.back().second));
    }
    EXPECT_EQ(plan.made, made);
    int backups = 0;
    if (std::filesystem::exists(tree.Path("backups"))) {
      for (const auto& entry : std::filesystem::directory_iterator(tree.Path("backups"))) {
        const std::string name = testing_support::TextOf(entry.path().filename());
        // Each a copy of the list it is named after.
        const std::string list = name.ends_with(".v00") ? "out/run.v00" : "out/run.t00";
        EXPECT_EQ(TempTree::Read(testing_support::TextOf(entry.path())),
                  TempTree::Read(tree.Path(list)))
            << name;
        ++backups;
      }
    }
    EXPECT_EQ(backups, c.backups);
  }
}

}  // namespace
