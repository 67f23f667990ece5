// The option tables of the commands against their help, and the grammar every command
// shares.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/usage.h"

namespace {

// The option names of the "Options:" part of a command's help, one per help entry.
std::set<std::string> NamesInHelp(const std::string& help) {
  std::set<std::string> names;
  for (size_t pos = help.find("\nOptions:\n"); pos != std::string::npos;) {
    pos = help.find("\n  --", pos + 1);
    if (pos == std::string::npos) break;
    names.insert(help.substr(pos + 3, help.find_first_of(" \n", pos + 3) - pos - 3));
  }
  return names;
}

// Every option has a help entry and every help entry an option, but those a command
// takes only to refuse or ignore them.
TEST(OptionTableTest, HelpListsEveryOptionOfTheTable) {
  for (const cli::CommandSpec& command : cli::Commands()) {
    SCOPED_TRACE(std::string(command.name));
    std::set<std::string> names = {"--help"};
    for (const auto group : command.options) {
      for (const cli::OptionSpec& spec : group) {
        EXPECT_NE(spec.store, nullptr) << spec.name;
        const bool has_help = spec.kind == cli::OptionKind::kChoice
                                  ? std::none_of(spec.choices.begin(), spec.choices.end(),
                                                 [](const auto& c) { return c.help.empty(); })
                                  : !spec.help.empty();
        EXPECT_TRUE(has_help) << spec.name;
        EXPECT_EQ(spec.value_name.empty(),
                  spec.kind == cli::OptionKind::kFlag || spec.kind == cli::OptionKind::kChoice)
            << spec.name;
        EXPECT_TRUE(names.insert(std::string(spec.name)).second) << "twice: " << spec.name;
      }
    }
    for (const std::string_view unlisted : command.unlisted) {
      EXPECT_EQ(names.erase(std::string(unlisted)), 1u) << unlisted;
    }
    EXPECT_EQ(NamesInHelp(cli::CommandUsage(command.name)), names);
  }
  EXPECT_EQ(cli::Commands().size(), 8u);
}

// One grammar and one wording for all commands; the error names no command.
TEST(OptionTableTest, EveryCommandReadsTheArgumentsAlike) {
  struct Case {
    const char* command;
    cli::Args args;
    std::string error;  // empty: accepted
  };
  const Case cases[] = {
      {"id", {"-x"}, "unknown option '-x'"},
      {"list", {"-x"}, "unknown option '-x'"},
      {"compare", {"--nope=1", "a", "b"}, "unknown option '--nope'"},
      {"compare", {"--relative=yes", "a", "b"}, "option '--relative' takes no value"},
      {"verify", {"--format", "xml", "L"}, "option '--format' takes text or jsonl, not 'xml'"},
      {"verify", {"--path=", "L"}, "option '--path' needs a value"},
      {"verify", {"L", "M"}, "more than one LIST given: 'M'"},
      {"volume", {""}, "missing PATH"},
      {"names", {"/", "--separators"}, "option '--separators' needs a value"},
      {"list", {"--options", "+70", "--", "-x"}, ""},
      {"names", {"--separators", "--help", "/"}, ""},
      {"compare", {"--bogus", "--help"}, "unknown option '--bogus'"},
      {"scan", {"--help", "--bogus"}, ""},
      {"id", {"--", "--help", ""}, ""},
  };
  for (const Case& c : cases) {
    cli::CommandLine line;
    std::string error;
    const bool ok = cli::ParseCommandLine(*cli::FindCommand(c.command), c.args, &line, &error);
    EXPECT_EQ(ok, c.error.empty()) << c.command << " " << c.args.front();
    EXPECT_EQ(error, c.error) << c.command << " " << c.args.front();
  }
}

}  // namespace
