#pragma once
// checker-cli scan and continue run as a program on temp trees.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"
#include "fs/volume_info.h"
#include "platform/paths.h"

namespace scan_command_tests {

using cli_tests::CommandResult;
using cli_tests::TempTree;
using testing_support::Native;

inline std::vector<std::string> Lines(const std::string& text) {
  return testing_support::ListLines(text);
}

// The reader count that ends a closing line depends on the machine;
// ReaderCountEndsTheClosingLine checks it.
inline std::string WithoutReaders(const std::string& err) {
  static const std::regex kReaders(", [0-9]+ readers( \\(at most [0-9]+\\))?(?=,|\n)");
  return std::regex_replace(err, kReaders, "");
}

class ScanCommandTest : public cli_tests::CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    app_ = tree_.Dir("app");
    config_ = tree_.Dir("config");
    path_ = tree_.Path("data");
  }

  // The program run with `args`, the reader count left out of what it says.
  CommandResult Cli(const std::vector<std::string>& args) const {
    CommandResult result = CliTest::Cli(args);
    result.err = WithoutReaders(result.err);
    return result;
  }

  // `args`, the lists out/run.v00 and out/run.t00, then the data folder.
  CommandResult WithLists(std::vector<std::string> args) const {
    args.insert(args.end(),
                {"--list", tree_.Path("out/run.v00"), "--tree", tree_.Path("out/run.t00"), path_});
    return Cli(args);
  }

  // The network host of the data's volume and the directories below its root, run
  // together, as a derived list name shows them.
  bool VolumeParts(std::string* net, std::string* dirs) const {
    fs::TVolumeInfo volume;
    if (!fs::GetVolumeInfoSx(path_, &volume)) return false;
    const std::string real = platform::ResolveExisting(path_);
    if (real.rfind(volume.root_path, 0) != 0) return false;
    *dirs = real.substr(volume.root_path.size());
    std::erase(*dirs, platform::kSeparator);
    *net = volume.network_host;
    return true;
  }

  std::string app_;
  std::string config_;
  std::string path_;
};

}  // namespace scan_command_tests
