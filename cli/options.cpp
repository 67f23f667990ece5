#include "cli/options.h"

#include <algorithm>
#include <charconv>

#include "cli/usage.h"
#include "support/byte_size.h"

namespace cli {

namespace {

constexpr size_t kHelpColumn = 24;  // where the help of an option begins

// A whole decimal number within [low, high]; no blanks, no trailing characters.
bool ParseNumber(std::string_view text, const scan::SettingRange& range, int64_t* value) {
  if (text.empty()) return false;
  if (text.front() == '+') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, *value);
  return result.ec == std::errc() && result.ptr == end && range.Holds(*value);
}

std::string Quoted(std::string_view name) { return "'" + std::string(name) + "'"; }

// "a", "a or b", "a, b or c".
std::string Alternatives(std::span<const OptionChoice> choices) {
  std::string text;
  for (size_t i = 0; i < choices.size(); ++i) {
    if (i > 0) text += i + 1 == choices.size() ? " or " : ", ";
    text += choices[i].word;
  }
  return text;
}

// Checks and converts the value of one option; false with `error`.
bool TakeValue(GivenOption* given, std::string* error) {
  const OptionSpec& spec = *given->spec;
  const std::string option = "option " + Quoted(spec.name);
  switch (spec.kind) {
    case OptionKind::kFlag:
      return true;
    case OptionKind::kText:
      if (spec.needs_text && given->text.empty()) {
        *error = option + " needs a value";
        return false;
      }
      return true;
    case OptionKind::kNumber:
      if (ParseNumber(given->text, spec.range, &given->number)) return true;
      *error = option + " needs a number from " + std::to_string(spec.range.low) + " to " +
               std::to_string(spec.range.high) + ", not " + Quoted(given->text);
      return false;
    case OptionKind::kSize: {
      uint64_t bytes = 0;
      if (support::ParseByteSize(given->text, &bytes) &&
          bytes <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        given->number = static_cast<int64_t>(bytes);
        return true;
      }
      *error = option + " needs bytes or a size such as 390k or 1.5G (powers of 1024), not " +
               Quoted(given->text);
      return false;
    }
    case OptionKind::kChoice:
      for (size_t i = 0; i < spec.choices.size(); ++i) {
        if (spec.choices[i].word != given->text) continue;
        given->number = static_cast<int64_t>(i);
        return true;
      }
      *error = option + " takes " + Alternatives(spec.choices) + ", not " + Quoted(given->text);
      return false;
  }
  return false;
}

// One entry of the help: "  --opt VALUE" padded to the column, then the help lines.
void AppendHelpEntry(std::string* out, std::string_view shown, std::string_view help) {
  std::string line = "  " + std::string(shown);
  line.resize(std::max(kHelpColumn, line.size() + 1), ' ');
  *out += line;
  for (size_t pos = 0;;) {
    const size_t end = help.find('\n', pos);
    out->append(help.substr(pos, end - pos));
    out->push_back('\n');
    if (end == std::string_view::npos) break;
    out->append(kHelpColumn, ' ');
    pos = end + 1;
  }
}

}  // namespace

const OptionSpec* FindOption(const CommandSpec& command, std::string_view name) {
  for (const std::span<const OptionSpec> group : command.options) {
    for (const OptionSpec& spec : group) {
      if (spec.name == name) return &spec;
    }
  }
  return nullptr;
}

bool ParseArgs(const CommandSpec& command, const Args& args, ParsedArgs* parsed,
               std::string* error) {
  const OperandSpec& operands = command.operands;
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg.size() < 2 || arg[0] != '-') {
      if (parsed->operands.size() == operands.max) {
        *error = !operands.count_error.empty()
                     ? std::string(operands.count_error)
                     : "more than one " + std::string(operands.name) + " given: " + Quoted(arg);
        return false;
      }
      parsed->operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    if (IsHelpOption(arg)) {
      parsed->help = true;
      return true;
    }
    const size_t equal = arg.find('=');
    const std::string_view name = std::string_view(arg).substr(0, equal);
    GivenOption given;
    given.spec = FindOption(command, name);
    if (given.spec == nullptr) {
      *error = "unknown option " + Quoted(name);
      return false;
    }
    if (given.spec->kind == OptionKind::kFlag) {
      if (equal != std::string::npos) {
        *error = "option " + Quoted(name) + " takes no value";
        return false;
      }
    } else if (equal != std::string::npos) {
      given.text = arg.substr(equal + 1);
    } else if (i + 1 < args.size()) {
      given.text = args[++i];
    } else {
      *error = "option " + Quoted(name) + " needs a value";
      return false;
    }
    if (!TakeValue(&given, error)) return false;
    parsed->options.push_back(std::move(given));
  }
  const size_t count = parsed->operands.size();
  const bool any_empty =
      !operands.may_be_empty && std::any_of(parsed->operands.begin(), parsed->operands.end(),
                                            [](const std::string& p) { return p.empty(); });
  if (count < operands.min || any_empty) {
    *error = !operands.count_error.empty() && count < operands.min
                 ? std::string(operands.count_error)
                 : "missing " + std::string(operands.name);
    return false;
  }
  return true;
}

std::string OptionLines(std::span<const OptionSpec> group,
                        std::span<const std::string_view> unlisted) {
  std::string out;
  for (const OptionSpec& spec : group) {
    if (std::find(unlisted.begin(), unlisted.end(), spec.name) != unlisted.end()) continue;
    if (spec.kind == OptionKind::kChoice) {
      for (const OptionChoice& choice : spec.choices) {
        AppendHelpEntry(&out, std::string(spec.name) + " " + std::string(choice.word), choice.help);
      }
    } else if (spec.value_name.empty()) {
      AppendHelpEntry(&out, spec.name, spec.help);
    } else {
      AppendHelpEntry(&out, std::string(spec.name) + " " + std::string(spec.value_name), spec.help);
    }
  }
  return out;
}

std::string OptionLines(const CommandSpec& command) {
  std::string out;
  for (const std::span<const OptionSpec> group : command.options) {
    out += OptionLines(group, command.unlisted);
  }
  return out;
}

}  // namespace cli
