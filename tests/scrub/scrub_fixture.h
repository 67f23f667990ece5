#pragma once
// A volume of real files on the temp folder's file system, listed by a real scan into a
// catalogue folder, and a scrub of it with a clock the test sets.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue_index.h"
#include "catalogue/mounted.h"
#include "common/run_command.h"
#include "common/temp_tree.h"
#include "scrub/history.h"
#include "scrub/volume_run.h"

namespace scrub_testing {

constexpr int64_t kStart = 1767225600;  // 2026-01-01 00:00:00 UTC
constexpr int64_t kDay = 86400;

class ScrubFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = {"CHECKER_APPDIR=" + tree_.Dir("app"), "XDG_CONFIG_HOME=" + tree_.Dir("config"),
            "XDG_CACHE_HOME=" + tree_.Dir("cache"), "XDG_DATA_HOME=" + tree_.Dir("data")};
    catalogue_ = tree_.Dir("catalogue");
    history_path_ = tree_.Path("data/checker/history.db");
  }

  // Files "f000" ... of `size` bytes each below volumes/NAME/, listed as LABEL.
  std::vector<std::string> MakeVolume(const std::string& name, size_t files, size_t size) {
    std::vector<std::string> paths;
    for (size_t i = 0; i < files; ++i) {
      char file[24];
      std::snprintf(file, sizeof(file), "f%03zu", i);
      std::string content(size, static_cast<char>('a' + i % 26));
      content.replace(0, std::min(size, std::string(file).size()), file);
      paths.push_back(tree_.File("volumes/" + name + "/" + file, content));
    }
    Scan(name);
    return paths;
  }

  void Scan(const std::string& name) {
    const auto r = testing_support::RunCommand(
        CHECKER_CLI_PATH,
        {"scan", "--quiet", "--no-backup", "--list", catalogue_ + name + ".v00", "--tree",
         tree_.Path(name + ".t00"), "--label", name, tree_.Path("volumes/" + name + "/")},
        env_);
    ASSERT_EQ(r.exit_code, 0) << r.err;
  }

  catalogue::CatalogueList List(const std::string& name) {
    catalogue::CatalogueIndex index({catalogue_}, tree_.Path("index.db"), "v00");
    EXPECT_TRUE(index.Refresh()) << index.error();
    for (const catalogue::CatalogueList& list : index.Lists()) {
      if (list.name == name) return list;
    }
    ADD_FAILURE() << "no list " << name;
    return {};
  }

  scrub::History& History() {
    if (!history_) {
      history_ = std::make_unique<scrub::History>();
      EXPECT_TRUE(history_->Open(history_path_)) << history_->error();
    }
    return *history_;
  }

  // One run at the test's clock.
  scrub::RunResult Run(const catalogue::CatalogueList& list, const scrub::Budget& budget) {
    scrub::RunOptions options;
    options.budget = budget;
    options.now = [this] { return now_; };
    return scrub::ScrubVolume(&History(), history_path_, list, catalogue::MountedVolumes(), options,
                              {});
  }

  testing_support::TempTree tree_;
  std::vector<std::string> env_;
  std::string catalogue_;
  std::string history_path_;
  std::unique_ptr<scrub::History> history_;
  int64_t now_ = kStart;
};

}  // namespace scrub_testing
