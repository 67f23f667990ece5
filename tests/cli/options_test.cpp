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
  EXPECT_EQ(cli::Commands().size(), 13u);
}

// The table holds the commands the program's help names, in its order, each found by
// its name.
TEST(OptionTableTest, CommandsAreThoseOfTheProgramHelpInItsOrder) {
  const std::string help = cli::ProgramUsage();
  std::vector<std::string> listed;
  size_t pos = help.find("\nCommands:\n") + 1;
  while ((pos = help.find('\n', pos) + 1) < help.size() && help[pos] != '\n') {
    if (help.compare(pos, 2, "  ") == 0 && help[pos + 2] != ' ') {
      listed.push_back(help.substr(pos + 2, help.find_first_of(" \n", pos + 2) - pos - 2));
    }
  }
  std::vector<std::string> names;
  for (const cli::CommandSpec& command : cli::Commands()) {
    names.emplace_back(command.name);
    EXPECT_EQ(cli::FindCommand(command.name), &command) << command.name;
  }
  EXPECT_EQ(names, listed);
  EXPECT_EQ(cli::FindCommand("help"), nullptr);
}

TEST(OptionTableTest, HelpSaysWhatTheHexOptionsWrite) {
  const std::string hex =
      "  --hex-file            the length and block count of name sections in hex\n"
      "  --hex-path            the length of path sections in hex\n";
  for (const std::string& help :
       {cli::ProgramUsage(), cli::CommandUsage("scan"), cli::CommandUsage("continue")}) {
    EXPECT_NE(help.find(hex), std::string::npos) << help;
  }
}

// The runs that read files leave placeholders (data not on this disk) unread unless told;
// the help says what the option costs and what a run does without it.
TEST(OptionTableTest, RunsReadPlaceholdersOnlyWhenTold) {
  const std::string help =
      "  --read-placeholders   read files whose data is not on this disk (cloud\n"
      "                        placeholders), which fetches it; without it each is an\n"
      "                        error: \"not on this disk: a placeholder\"\n";
  for (const char* command : {"scan", "continue", "verify", "scrub", "repair"}) {
    SCOPED_TRACE(command);
    EXPECT_NE(cli::CommandUsage(command).find(help), std::string::npos);
    for (const bool told : {false, true}) {
      cli::Args args = {"/x"};
      if (told) args.insert(args.begin(), "--read-placeholders");
      cli::CommandLine line;
      std::string error;
      ASSERT_TRUE(cli::ParseCommandLine(*cli::FindCommand(command), args, &line, &error)) << error;
      const std::string name = command;
      const bool read = name == "scrub"    ? line.scrub.read_placeholders
                        : name == "repair" ? line.repair.read_placeholders
                                           : line.scan.run.read_placeholders;
      EXPECT_EQ(read, told);
    }
  }
}

// One grammar and one wording for all commands; the error names no command. A row for
// each option's range and each command's operands; "--help" wherever it stands before
// "--" asks for the help and ends the parse.
TEST(OptionTableTest, EveryCommandReadsTheArgumentsAlike) {
  struct Case {
    const char* command;
    cli::Args args;
    std::string error;  // empty: accepted
    bool help = false;
  };
  const auto number = [](std::string option, std::string range, std::string value) {
    return "option '" + option + "' needs a number from " + range + ", not '" + value + "'";
  };
  const Case cases[] = {
      {"id", {"-x"}, "unknown option '-x'"},
      {"list", {"-x"}, "unknown option '-x'"},
      {"volume", {"--separators", "~^%", "/"}, "unknown option '--separators'"},
      {"names", {"/", "--label"}, "unknown option '--label'"},
      {"compare", {"--nope=1", "a", "b"}, "unknown option '--nope'"},
      {"compare", {"--relative=yes", "a", "b"}, "option '--relative' takes no value"},
      {"scan", {"--quiet=1", "p"}, "option '--quiet' takes no value"},
      {"verify", {"--format", "xml", "L"}, "option '--format' takes text or jsonl, not 'xml'"},
      {"verify", {"--path=", "L"}, "option '--path' needs a value"},
      {"names", {"/", "--separators"}, "option '--separators' needs a value"},
      {"list", {"/", "--params"}, "option '--params' needs a value"},
      {"scan", {"p", "--list"}, "option '--list' needs a value"},
      {"scan", {"--expand=abc", "p"}, number("--expand", "0 to 2147483647", "abc")},
      {"continue", {"--interval", "99999", "p"}, number("--interval", "-32768 to 32767", "99999")},
      {"scan", {"--min-blocks", " 4", "p"}, number("--min-blocks", "0 to 99", " 4")},
      {"scan", {"--serial", "-1", "p"}, number("--serial", "0 to 4294967295", "-1")},
      {"scan", {"--threads", "65", "p"}, number("--threads", "0 to 64", "65")},
      {"scan", {"--threads", "64", "--serial=4294967295", "--interval", "-32768", "p"}, ""},
      {"list", {"--options=4294967296", "/"}, number("--options", "0 to 4294967295", "4294967296")},
      {"list", {"--options=", "/"}, number("--options", "0 to 4294967295", "")},
      {"find", {"--min-size", "1.5G", "x"}, ""},
      {"find", {"--max-size=8E", "x"},
       "option '--max-size' needs bytes or a size such as 390k or 1.5G (powers of 1024), not "
       "'8E'"},
      {"scan", {}, "missing PATH"},
      {"volume", {""}, "missing PATH"},
      {"id", {"--"}, "missing FILE"},
      {"verify", {"L", "M"}, "more than one LIST given: 'M'"},
      {"volume", {"/a", "/b"}, "more than one PATH given: '/b'"},
      {"names", {"--", "/", "--separators"}, "more than one PATH given: '--separators'"},
      {"compare", {"a"}, "give two lists, OLD and NEW"},
      {"list", {"--options", "+70", "--", "-x"}, ""},
      {"names", {"--separators", "--help", "/"}, ""},
      {"compare", {"--bogus", "--help"}, "unknown option '--bogus'"},
      {"scan", {"--help", "--bogus"}, "", true},
      {"continue", {"--quiet", "--help"}, "", true},
      {"scan", {"/x", "--help"}, "", true},
      {"list", {"--options", "70", "--help"}, "", true},
      {"volume", {"-h"}, "", true},
      {"id", {"--", "--help", ""}, ""},
  };
  for (const Case& c : cases) {
    cli::CommandLine line;
    std::string error;
    const bool ok = cli::ParseCommandLine(*cli::FindCommand(c.command), c.args, &line, &error);
    const std::string row = std::string(c.command) + " " + (c.args.empty() ? "" : c.args[0]);
    EXPECT_EQ(ok, c.error.empty()) << row;
    EXPECT_EQ(error, c.error) << row;
    EXPECT_EQ(line.help, c.help) << row;
  }
}

}  // namespace
