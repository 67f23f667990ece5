#include "cli/usage.h"

#include <iostream>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/terminal_text.h"

namespace cli {

namespace {

constexpr std::string_view kHelpLine = "  --help                show this help and exit\n";

}  // namespace

std::string ProgramUsage() {
  std::string text =
      "Usage: checker-cli COMMAND [OPTIONS] [ARGS]\n"
      "Catalogue a disk or a directory tree: a content id for every file, written to a\n"
      "tree list and an id list named after the volume.\n"
      "\n"
      "Commands:\n"
      "  scan [OPTIONS] PATH       create the lists for PATH afresh\n"
      "  continue [OPTIONS] PATH   finish a stopped run, skipping files already listed\n"
      "  id FILE...                print each file's id field as the id list writes it\n"
      "  volume PATH               print the volume record of PATH\n"
      "  names PATH [--separators ~^%]\n"
      "                            print the list name parts of PATH and the joined name\n"
      "  list PATH [--options N] [--params TEXT]\n"
      "                            print what a directory walk finds (total on stderr)\n"
      "  compare [--all] [--format jsonl] [--relative] OLD NEW\n"
      "                            what changed between two id lists\n"
      "  verify [OPTIONS] LIST     scan again what LIST catalogued and compare\n"
      "  volumes                   every catalogued volume and where it is mounted now\n"
      "  find [OPTIONS] [NAME]     find files on every catalogued volume\n"
      "  copies [--under K] LIST   the other volumes that hold each file of LIST\n"
      "  repair LIST [PATH...]     mend damaged files from copies on other volumes\n"
      "\n"
      "Scan options:\n";
  text += OptionLines(ScanOptionTable());
  text +=
      "\n"
      "  --help                show this help and exit (COMMAND --help: that command's)\n"
      "  --version             show the version and exit\n"
      "\n"
      "Exit status: 0 done, 1 done with file errors (or a file without an id),\n"
      "2 usage error or lists not written, 130 stopped.\n";
  return text;
}

std::string CommandUsage(std::string_view command) {
  const CommandSpec* spec = FindCommand(command);
  if (spec == nullptr) return {};
  std::string text(spec->head);
  if (!spec->about.empty()) {
    text += "\n";
    text += spec->about;
  }
  text += "\nOptions:\n";
  text += OptionLines(*spec);
  text += kHelpLine;
  text += "\n";
  text += spec->exit;
  text += spec->exit_tail;
  return text;
}

int UsageError(const std::string& message) {
  PrintMessage(message);
  return 2;
}

bool IsHelpOption(std::string_view arg) { return arg == "--help" || arg == "-h"; }

int PrintCommandUsage(std::string_view command) {
  std::cout << CommandUsage(command);
  std::cout.flush();
  return 0;
}

}  // namespace cli
