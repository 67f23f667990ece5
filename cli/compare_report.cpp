#include "cli/compare_report.h"

#include <fmt/format.h>

#include <cstdio>
#include <vector>

#include "cli/progress_line.h"
#include "cli/terminal_text.h"
#include "support/text.h"

namespace cli {

namespace {

constexpr size_t kClassWidth = 15;  // "not comparable" and a blank
constexpr size_t kOutputChunk = 1 << 16;

std::string_view TrimmedId(const scan::ListedFile& file) {
  std::string_view id = file.id_text();
  while (!id.empty() && id.back() == ' ') id.remove_suffix(1);
  return id;
}

// yyyymmddhhnnss back to "yyyy-mm-dd hh:nn:ss".
std::string TimeText(uint64_t time) {
  const std::string digits = fmt::format("{:014}", time);
  return fmt::format("{}-{}-{} {}:{}:{}", digits.substr(0, 4), digits.substr(4, 2),
                     digits.substr(6, 2), digits.substr(8, 2), digits.substr(10, 2),
                     digits.substr(12, 2));
}

void AppendFileFields(std::string* out, std::string_view side, const scan::ListedFile* file) {
  const bool sized = file != nullptr && file->has_size;
  *out += fmt::format(",\"{}_size\":", side);
  *out += sized ? std::to_string(file->size) : "null";
  *out += fmt::format(",\"{}_time\":", side);
  if (sized && file->write_time != 0) {
    AppendJsonString(out, TimeText(file->write_time));
  } else {
    *out += "null";
  }
  *out += fmt::format(",\"{}_id\":", side);
  if (file != nullptr) {
    AppendJsonString(out, TrimmedId(*file));
  } else {
    *out += "null";
  }
}

std::string Grouped(uint64_t value) {
  std::string bytes = scan::BytesText(static_cast<int64_t>(value));
  return bytes.substr(0, bytes.size() - 6);  // without " bytes"
}

}  // namespace

void AppendJsonString(std::string* out, std::string_view text) {
  out->push_back('"');
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t start = pos;
    const unsigned char byte = static_cast<unsigned char>(text[pos]);
    if (byte >= 0x20 && byte < 0x80 && byte != '"' && byte != '\\') {
      out->push_back(static_cast<char>(byte));
      ++pos;
      continue;
    }
    if (byte == '"' || byte == '\\') {
      out->push_back('\\');
      out->push_back(static_cast<char>(byte));
      ++pos;
      continue;
    }
    support::NextChar(text, &pos);
    if (byte >= 0x80 && pos - start > 1) {
      out->append(text.substr(start, pos - start));  // a valid multi-byte character
    } else {
      *out += fmt::format("\\u{:04x}", byte);
    }
  }
  out->push_back('"');
}

std::string ChangeLine(const scan::ListComparison& comparison, const scan::IdList& old_list,
                       const scan::IdList& new_list, const scan::FileComparison& entry) {
  std::string line(scan::FileChangeName(entry.change));
  line.append(kClassWidth - line.size(), ' ');
  if (entry.old_file != nullptr) {
    line += scan::ReportedPath(comparison, old_list, *entry.old_file, true);
    if (entry.new_file == nullptr || entry.change != scan::FileChange::kMoved) return line;
    line += " -> ";
  }
  line += scan::ReportedPath(comparison, new_list, *entry.new_file, false);
  return line;
}

std::string ChangeJson(const scan::ListComparison& comparison, const scan::IdList& old_list,
                       const scan::IdList& new_list, const scan::FileComparison& entry) {
  std::string out = "{\"class\":";
  AppendJsonString(&out, scan::FileChangeName(entry.change));
  out += ",\"path\":";
  AppendJsonString(&out, entry.old_file != nullptr
                             ? scan::ReportedPath(comparison, old_list, *entry.old_file, true)
                             : scan::ReportedPath(comparison, new_list, *entry.new_file, false));
  if (entry.change == scan::FileChange::kMoved) {
    out += ",\"new_path\":";
    AppendJsonString(&out, scan::ReportedPath(comparison, new_list, *entry.new_file, false));
  }
  AppendFileFields(&out, "old", entry.old_file);
  AppendFileFields(&out, "new", entry.new_file);
  out.push_back('}');
  return out;
}

void WarnAboutList(std::string_view name, const scan::IdList& list) {
  if (!list.complete()) {
    PrintMessage("warning: " + std::string(name) + " is incomplete (" +
                 std::string(scan::ListStateText(list.state())) +
                 "): files it does not hold are \"not listed\"");
  }
  if (list.repeated() > 0) {
    PrintMessage("warning: " + std::string(name) + " lists " + std::to_string(list.repeated()) +
                 " paths more than once; the last line of each counts");
  }
  if (list.ambiguous() > 0) {
    PrintMessage("warning: " + std::string(name) + " lists " + std::to_string(list.ambiguous()) +
                 " paths more than once within one run (names that differ only in CR, LF or "
                 "\"?\"): they are \"not comparable\"");
  }
}

namespace {

bool NamesCopy(const scan::FileComparison& entry) {
  return entry.old_file != nullptr && (entry.change == scan::FileChange::kCorrupted ||
                                       entry.change == scan::FileChange::kUnreadable ||
                                       entry.change == scan::FileChange::kMissing);
}

// A line of its own below the file's, or a field of its JSON object.
void AppendProbableCopy(const std::optional<ProbableCopy>& copy, bool jsonl, std::string* out) {
  if (!copy) return;
  if (!jsonl) {
    *out += "\n" + std::string(kClassWidth, ' ') + "probable copy on " + copy->volume + ": " +
            copy->path;
    return;
  }
  out->pop_back();
  *out += ",\"probable_copy\":{\"volume\":";
  AppendJsonString(out, copy->volume);
  *out += ",\"path\":";
  AppendJsonString(out, copy->path);
  *out += "}}";
}

}  // namespace

int ReportComparison(const scan::IdList& old_list, const scan::IdList& new_list,
                     const scan::ListComparison& comparison, const ReportOptions& options) {
  std::string out;
  out.reserve(kOutputChunk * 2);
  for (const scan::FileComparison& entry : comparison.files) {
    if (entry.change == scan::FileChange::kUnchanged && !options.all) continue;
    out += options.jsonl ? ChangeJson(comparison, old_list, new_list, entry)
                         : ChangeLine(comparison, old_list, new_list, entry);
    if (NamesCopy(entry) && options.probable_copy) {
      AppendProbableCopy(options.probable_copy(*entry.old_file), options.jsonl, &out);
    }
    out.push_back('\n');
    if (out.size() >= kOutputChunk) {
      WriteOut(out);
      out.clear();
    }
  }
  WriteOut(out);
  std::fflush(stdout);

  std::string summary;
  uint64_t differences = 0;
  for (size_t k = 0; k < scan::kFileChangeCount; ++k) {
    const std::string_view name = scan::FileChangeName(static_cast<scan::FileChange>(k));
    summary += fmt::format("{:<{}}{:>11} files {:>25} bytes\n", name, kClassWidth,
                           Grouped(comparison.totals.files[k]), Grouped(comparison.totals.bytes[k]));
    if (k != static_cast<size_t>(scan::FileChange::kUnchanged)) {
      differences += comparison.totals.files[k];
    }
  }
  std::fwrite(summary.data(), 1, summary.size(), stderr);
  std::fflush(stderr);

  const auto count = [&](scan::FileChange change) {
    return comparison.totals.files[static_cast<size_t>(change)];
  };
  if (count(scan::FileChange::kCorrupted) + count(scan::FileChange::kUnreadable) > 0) {
    return kExitDamaged;
  }
  return differences > 0 ? kExitDifferent : kExitSame;
}

std::string ListErrorText(std::string_view name, const scan::ListReadError& error) {
  if (error.in_use) return std::string(name) + " is in use by another run";
  if (error.symbolic_link) return std::string(name) + " " + error.message;
  if (error.line == 0) return "cannot read " + std::string(name) + ": " + error.message;
  return std::string(name) + ": line " + std::to_string(error.line) + ": " + error.message;
}

}  // namespace cli
