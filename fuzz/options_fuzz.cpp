// The option parser of every checker-cli command: input = the command word, then its
// arguments, NUL-separated (a word that is no command picks one by its bytes).
// Checks: a refusal always says why, and a parse that failed fails again the same way; a
// success has the operands the command takes; the options parsed, written back as
// arguments (each as "--opt=VALUE" or "--opt VALUE", numbers in plain digits, the
// operands after "--"), parse to the same options and operands.

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "fuzz/fuzz_util.h"

namespace {

bool SameGiven(const cli::GivenOption& a, const cli::GivenOption& b) {
  if (a.spec != b.spec) return false;
  switch (a.spec->kind) {
    case cli::OptionKind::kFlag:
      return true;
    case cli::OptionKind::kText:
      return a.text == b.text;
    case cli::OptionKind::kNumber:
    case cli::OptionKind::kSize:
    case cli::OptionKind::kChoice:
      return a.number == b.number;
  }
  return false;
}

// What the tables store, field by field.
bool SameLine(const cli::CommandLine& a, const cli::CommandLine& b) {
  const cli::ScanOptions& s = a.scan;
  const cli::ScanOptions& t = b.scan;
  const scan::RunSettings& x = s.run;
  const scan::RunSettings& y = t.run;
  return s.path == t.path && s.list_file == t.list_file && s.tree_file == t.tree_file &&
         s.name == t.name && x.dir_params == y.dir_params && x.file_params == y.file_params &&
         x.min_blocks == y.min_blocks && x.options == y.options && x.expand == y.expand &&
         x.buffer_percent == y.buffer_percent && x.buffer_max == y.buffer_max &&
         s.label == t.label && s.serial == t.serial && x.interval == y.interval &&
         x.threads == y.threads && s.progress == t.progress && s.quiet == t.quiet &&
         s.verbose == t.verbose && x.cross_mounts == y.cross_mounts &&
         a.report.all == b.report.all && a.report.jsonl == b.report.jsonl &&
         a.relative == b.relative && a.search_path == b.search_path && a.write == b.write &&
         a.walk_options == b.walk_options && a.params == b.params && a.separators == b.separators &&
         a.operands == b.operands && a.help == b.help;
}

cli::Args Written(const cli::ParsedArgs& parsed, uint32_t mix) {
  cli::Args args;
  for (const cli::GivenOption& given : parsed.options) {
    const std::string name(given.spec->name);
    std::string value = given.text;
    switch (given.spec->kind) {
      case cli::OptionKind::kFlag:
        args.push_back(name);
        continue;
      case cli::OptionKind::kText:
        break;
      case cli::OptionKind::kNumber:
      case cli::OptionKind::kSize:
        value = std::to_string(given.number);
        break;
      case cli::OptionKind::kChoice:
        value = given.spec->choices[static_cast<size_t>(given.number)].word;
        break;
    }
    // Either form, chosen by the input; the value may hold "=" or begin with "-".
    mix = mix * 1103515245u + 12345u;
    if ((mix >> 16) & 1) {
      args.push_back(name + "=" + value);
    } else {
      args.push_back(name);
      args.push_back(value);
    }
  }
  args.push_back("--");
  args.insert(args.end(), parsed.operands.begin(), parsed.operands.end());
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string_view input = fuzz::AsText(bytes, size);
  const std::vector<std::string_view> fields = fuzz::Fields(input, 64);
  const std::span<const cli::CommandSpec> commands = cli::Commands();
  const cli::CommandSpec* command = cli::FindCommand(fields.front());
  if (command == nullptr) command = &commands[fuzz::Mix(fields.front()) % commands.size()];
  cli::Args args;
  for (size_t i = 1; i < fields.size(); ++i) args.emplace_back(fields[i]);

  cli::CommandLine line;
  cli::ParsedArgs parsed;
  std::string error;
  if (!cli::ParseCommandLine(*command, args, &line, &error, &parsed)) {
    FUZZ_CHECK(!error.empty());
    cli::CommandLine again;
    std::string again_error;
    FUZZ_CHECK(!cli::ParseCommandLine(*command, args, &again, &again_error));
    FUZZ_CHECK(again_error == error);
    return 0;
  }
  FUZZ_CHECK(error.empty());
  // A request for help needs no operands and runs nothing.
  if (line.help) return 0;
  const cli::OperandSpec& operands = command->operands;
  FUZZ_CHECK(line.operands.size() >= operands.min && line.operands.size() <= operands.max);
  for (const std::string& operand : line.operands) {
    FUZZ_CHECK(operands.may_be_empty || !operand.empty());
  }
  for (const cli::GivenOption& given : parsed.options) {
    FUZZ_CHECK(cli::FindOption(*command, given.spec->name) == given.spec);
    if (given.spec->kind == cli::OptionKind::kNumber) {
      FUZZ_CHECK(given.spec->range.Holds(given.number));
    }
    if (given.spec->kind == cli::OptionKind::kSize) FUZZ_CHECK(given.number >= 0);
  }

  const cli::Args written = Written(parsed, fuzz::Mix(input));
  cli::CommandLine reread;
  cli::ParsedArgs reparsed;
  std::string reread_error;
  const bool reread_ok =
      cli::ParseCommandLine(*command, written, &reread, &reread_error, &reparsed);
  if (!reread_ok) std::fprintf(stderr, "written back: %s\n", reread_error.c_str());
  FUZZ_CHECK(reread_ok && !reread.help);
  FUZZ_CHECK(reparsed.options.size() == parsed.options.size());
  for (size_t i = 0; i < parsed.options.size(); ++i) {
    FUZZ_CHECK(SameGiven(reparsed.options[i], parsed.options[i]));
  }
  FUZZ_CHECK(SameLine(reread, line));
  return 0;
}
