#pragma once
// The one option parser of checker-cli. Each command declares a table of its options and
// what operands it takes; the parser reads the arguments after the command word by that
// table, and the command's help lists its options from the same table.
//
// Grammar: "--opt VALUE" and "--opt=VALUE" (the value may begin with "-"); "--help" or
// "-h" before "--" asks for the help; "--" ends the options; any other argument that
// begins with "-" and is longer than "-" is an option; the rest are operands.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "scan/run_settings.h"

namespace cli {

struct CommandLine;  // where the values go: cli/command_line.h
struct OptionSpec;

enum class OptionKind {
  kFlag,    // no value
  kText,    // any text, the empty one too unless `needs_text`
  kNumber,  // a whole decimal number within `range`
  kChoice,  // one of the words of `choices`
  kSize,    // bytes, or a size with a unit of powers of 1024 ("390k", "1.5G")
};

struct OptionChoice {
  std::string_view word;
  std::string_view help;  // the help line of "--opt WORD"
};

// One option as the arguments gave it.
struct GivenOption {
  const OptionSpec* spec = nullptr;
  std::string text;    // the value as given; empty for a flag
  int64_t number = 0;  // kNumber, kSize: the value; kChoice: the index of the word
};

struct OptionSpec {
  std::string_view name;  // "--list"
  OptionKind kind = OptionKind::kFlag;
  std::string_view value_name;  // "FILE" in "--list FILE"; a choice shows its words
  std::string_view help;        // shown right of the option; "\n" between lines
  void (*store)(CommandLine* line, const GivenOption& given) = nullptr;
  scan::SettingRange range{0, 0};         // kNumber
  std::span<const OptionChoice> choices;  // kChoice
  bool needs_text = false;                // kText: an empty value is no value
};

using OptionStore = void (*)(CommandLine* line, const GivenOption& given);

// The kinds of entry of a table.
constexpr OptionSpec Flag(std::string_view name, std::string_view help, OptionStore store) {
  OptionSpec spec;
  spec.name = name;
  spec.help = help;
  spec.store = store;
  return spec;
}
constexpr OptionSpec Text(std::string_view name, std::string_view value_name, std::string_view help,
                          OptionStore store, bool needs_text = false) {
  OptionSpec spec = Flag(name, help, store);
  spec.kind = OptionKind::kText;
  spec.value_name = value_name;
  spec.needs_text = needs_text;
  return spec;
}
constexpr OptionSpec Number(std::string_view name, std::string_view value_name,
                            std::string_view help, scan::SettingRange range, OptionStore store) {
  OptionSpec spec = Flag(name, help, store);
  spec.kind = OptionKind::kNumber;
  spec.value_name = value_name;
  spec.range = range;
  return spec;
}
constexpr OptionSpec Size(std::string_view name, std::string_view value_name,
                          std::string_view help, OptionStore store) {
  OptionSpec spec = Flag(name, help, store);
  spec.kind = OptionKind::kSize;
  spec.value_name = value_name;
  return spec;
}
// Its help is the choices'.
constexpr OptionSpec Choice(std::string_view name, std::span<const OptionChoice> choices,
                            OptionStore store) {
  OptionSpec spec = Flag(name, "", store);
  spec.kind = OptionKind::kChoice;
  spec.choices = choices;
  return spec;
}

inline constexpr size_t kAnyCount = std::numeric_limits<size_t>::max();

struct OperandSpec {
  std::string_view name;  // "PATH": "missing PATH", "more than one PATH given: 'x'"
  size_t min = 1;
  size_t max = 1;
  bool may_be_empty = false;     // else an empty operand is a missing one
  std::string_view count_error;  // for any count outside [min, max] instead
};

struct CommandSpec {
  std::string_view name;
  // The option groups, in the order the help lists them.
  std::span<const std::span<const OptionSpec>> options;
  // Accepted but left out of the help (the command refuses or ignores them).
  std::span<const std::string_view> unlisted;
  OperandSpec operands;
  std::string_view head;       // "Usage: ..." and what the command does
  std::string_view about;      // a second paragraph, or empty
  std::string_view exit;       // the exit statuses
  std::string_view exit_tail;  // a line added to a shared `exit`, or empty
};

struct ParsedArgs {
  std::vector<GivenOption> options;  // in the order given, repeats included
  Args operands;
  bool help = false;  // the parse stopped at "--help"; nothing else is checked
};

// Reads `args` by the command's table. False with a one-line `error` that does not name
// the command: "unknown option '--x'", "option '--x' needs a value", "option '--x' needs
// a number from A to B, not 'V'", "option '--x' takes a or b, not 'V'", "option '--x'
// takes no value", "missing PATH", "more than one PATH given: 'p'" or the operands' own
// count error. The first fault or help in argument order ends the parse.
bool ParseArgs(const CommandSpec& command, const Args& args, ParsedArgs* parsed,
               std::string* error);

// The option with that name among the command's, or null.
const OptionSpec* FindOption(const CommandSpec& command, std::string_view name);

// The help lines of the options of one group, or of all the command lists, each
// "  --opt VALUE" padded to one column with its help beside it.
std::string OptionLines(std::span<const OptionSpec> group,
                        std::span<const std::string_view> unlisted = {});
std::string OptionLines(const CommandSpec& command);

}  // namespace cli
