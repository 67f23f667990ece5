#pragma once
// verify and compare with a catalogue: the lists scanned into a catalogue folder of the
// test's tree, and the commands run on them.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace catalogue_verify_tests {

using cli_tests::CommandResult;
using cli_tests::Rot;
using cli_tests::Row;
using cli_tests::TempTree;

class CatalogueVerifyTest : public cli_tests::CliTest {
 protected:
  CommandResult Cli(const std::vector<std::string>& args) {
#ifndef _WIN32
    sync();  // verify reads what is on the disk (Windows' unbuffered reads flush first)
#endif
    return CliTest::Cli(args);
  }

  // verify of `list` refused with `err`, nothing on stdout.
  void ExpectRefused(const std::string& list, const std::string& err) {
    const CommandResult r = Cli({"verify", list});
    EXPECT_EQ(r.exit_code, 2) << list;
    EXPECT_EQ(r.out, "") << list;
    EXPECT_EQ(r.err, "checker-cli: " + err + "\n") << list;
  }
};

}  // namespace catalogue_verify_tests
