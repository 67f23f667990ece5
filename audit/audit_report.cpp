#include "audit/audit_report.h"

#include <fmt/format.h>

#include "platform/files.h"
#include "scan/progress_figures.h"
#include "support/text.h"

namespace audit {

namespace {

constexpr size_t kClassWidth = 15;  // "not comparable" and a blank
constexpr size_t kOutputChunk = 1 << 16;
constexpr char kFromMemoryRow[] = "from memory";

void AppendFileFields(std::string* out, std::string_view side, const lists::ListedFile* file) {
  const bool sized = file != nullptr && file->has_size;
  *out += fmt::format(",\"{}_size\":", side);
  *out += sized ? std::to_string(file->size) : "null";
  *out += fmt::format(",\"{}_time\":", side);
  if (sized && file->write_time != 0) {
    AppendJsonString(out, lists::WriteTimeText(file->write_time));
  } else {
    *out += "null";
  }
  *out += fmt::format(",\"{}_id\":", side);
  if (file != nullptr) {
    AppendJsonString(out, TrimmedIdText(*file));
  } else {
    *out += "null";
  }
}

std::string Grouped(uint64_t value) {
  std::string bytes = scan::BytesText(static_cast<int64_t>(value));
  return bytes.substr(0, bytes.size() - 6);  // without " bytes"
}

}  // namespace

std::string_view TrimmedIdText(const lists::ListedFile& file) {
  std::string_view id = file.id_text();
  while (!id.empty() && id.back() == ' ') id.remove_suffix(1);
  return id;
}

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

std::string ChangeLine(const ListComparison& comparison, const lists::IdList& old_list,
                       const lists::IdList& new_list, const FileComparison& entry) {
  std::string line(FileChangeName(entry.change));
  line.append(kClassWidth - line.size(), ' ');
  if (entry.old_file != nullptr) {
    line += ReportedPath(comparison, old_list, *entry.old_file, true);
    if (entry.new_file == nullptr || entry.change != FileChange::kMoved) return line;
    line += " -> ";
  }
  line += ReportedPath(comparison, new_list, *entry.new_file, false);
  return line;
}

std::string ChangeJson(const ListComparison& comparison, const lists::IdList& old_list,
                       const lists::IdList& new_list, const FileComparison& entry) {
  std::string out = "{\"class\":";
  AppendJsonString(&out, FileChangeName(entry.change));
  out += ",\"path\":";
  AppendJsonString(&out, entry.old_file != nullptr
                             ? ReportedPath(comparison, old_list, *entry.old_file, true)
                             : ReportedPath(comparison, new_list, *entry.new_file, false));
  if (entry.change == FileChange::kMoved) {
    out += ",\"new_path\":";
    AppendJsonString(&out, ReportedPath(comparison, new_list, *entry.new_file, false));
  }
  AppendFileFields(&out, "old", entry.old_file);
  AppendFileFields(&out, "new", entry.new_file);
  if (entry.from_memory) out += ",\"from_memory\":true";
  out.push_back('}');
  return out;
}

namespace {

bool NamesCopy(const FileComparison& entry) {
  return entry.old_file != nullptr &&
         (entry.change == FileChange::kCorrupted || entry.change == FileChange::kUnreadable ||
          entry.change == FileChange::kMissing);
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

// A folder left out by the parameters, as a line of the report.
std::string NoteLine(const fs::LeftOutDir& dir, bool jsonl) {
  if (!jsonl) {
    std::string line = "note";
    line.append(kClassWidth - line.size(), ' ');
    return line + dir.path + ": " + scan::LeftOutReason(dir) + "\n";
  }
  std::string out = "{\"note\":";
  AppendJsonString(&out, scan::LeftOutReason(dir));
  out += ",\"path\":";
  AppendJsonString(&out, dir.path);
  return out + "}\n";
}

}  // namespace

void WriteReportLines(const ListComparison& comparison, const lists::IdList& old_list,
                      const lists::IdList& new_list, const ReportOptions& options,
                      const std::function<void(std::string_view)>& sink) {
  std::string out;
  out.reserve(kOutputChunk * 2);
  for (const FileComparison& entry : comparison.files) {
    if (entry.change == FileChange::kUnchanged && !entry.from_memory && !options.all) continue;
    out += options.jsonl ? ChangeJson(comparison, old_list, new_list, entry)
                         : ChangeLine(comparison, old_list, new_list, entry);
    if (entry.from_memory && !options.jsonl) {
      out += "\n" + std::string(kClassWidth, ' ') + scan::kReadFromMemory;
    }
    if (options.probable_copy && NamesCopy(entry)) {
      AppendProbableCopy(options.probable_copy(old_list, *entry.old_file), options.jsonl, &out);
    }
    out.push_back('\n');
    if (out.size() >= kOutputChunk) {
      sink(out);
      out.clear();
    }
  }
  if (options.left_out != nullptr) {
    for (const fs::LeftOutDir& dir : *options.left_out) out += NoteLine(dir, options.jsonl);
  }
  sink(out);
}

std::string ReportTitle(const AuditResult& result) {
  if (result.verify) {
    return "Verify of " + result.old_name + " against " + result.new_list.search_path();
  }
  std::string title = "Compare " + result.old_name + " with " + result.new_name;
  if (!result.comparison.old_root.empty()) title += " (paths below each list's search path)";
  return title;
}

namespace {

void AppendJsonTotals(std::string* out, const ChangeTotals& totals) {
  *out += ",\"totals\":{";
  for (size_t k = 0; k < kFileChangeCount; ++k) {
    *out += k == 0 ? "" : ",";
    AppendJsonString(out, FileChangeName(static_cast<FileChange>(k)));
    *out += fmt::format(":{{\"files\":{},\"bytes\":{}}}", totals.files[k], totals.bytes[k]);
  }
  *out += "}";
}

}  // namespace

std::string ReportHeader(const AuditResult& result, bool jsonl) {
  if (!jsonl) {
    return ReportTitle(result) + "\nDate: " + result.date + "\n" +
           SummaryText(result.comparison.totals) + "\n";
  }
  std::string out = "{\"report\":";
  if (result.verify) {
    out += "\"verify\",\"list\":";
    AppendJsonString(&out, result.old_name);
    out += ",\"path\":";
    AppendJsonString(&out, result.new_list.search_path());
  } else {
    out += "\"compare\",\"old\":";
    AppendJsonString(&out, result.old_name);
    out += ",\"new\":";
    AppendJsonString(&out, result.new_name);
    out += result.comparison.old_root.empty() ? ",\"relative\":false" : ",\"relative\":true";
  }
  out += ",\"date\":";
  AppendJsonString(&out, result.date);
  AppendJsonTotals(&out, result.comparison.totals);
  return out + "}\n";
}

bool ReportFile::Open(const std::string& path, std::string* error) {
  path_ = path;
  if (file_.Open(path, platform::OpenMode::kCreateTruncate)) return true;
  *error = "cannot write " + path + ": " + file_.ErrorText();
  return false;
}

bool ReportFile::Write(const AuditResult& result, const ReportOptions& options,
                       std::string* error) {
  bool written = file_.Write(ReportHeader(result, options.jsonl));
  WriteReportLines(result.comparison, result.old_list, result.new_list, options,
                   [&](std::string_view text) {
                     if (written && !text.empty()) written = file_.Write(text);
                   });
  // A full disk may show only when the file is closed.
  if (!written || !file_.Close()) {
    *error = "cannot write " + path_ + ": " + file_.ErrorText();
    return false;
  }
  return true;
}

bool SaveReport(const std::string& path, const AuditResult& result, const ReportOptions& options,
                std::string* error) {
  ReportFile file;
  return file.Open(path, error) && file.Write(result, options, error);
}

std::string SummaryText(const ChangeTotals& totals) {
  std::string summary;
  for (size_t k = 0; k < kFileChangeCount; ++k) {
    const std::string_view name = FileChangeName(static_cast<FileChange>(k));
    summary += fmt::format("{:<{}}{:>11} files {:>25} bytes\n", name, kClassWidth,
                           Grouped(totals.files[k]), Grouped(totals.bytes[k]));
  }
  // Of the files above, those that could not be verified; a line only when there are any.
  if (totals.from_memory_files > 0) {
    summary += fmt::format("{:<{}}{:>11} files {:>25} bytes\n", kFromMemoryRow, kClassWidth,
                           Grouped(totals.from_memory_files), Grouped(totals.from_memory_bytes));
  }
  return summary;
}

AuditVerdict VerdictOf(const ChangeTotals& totals) {
  const auto count = [&](FileChange change) { return totals.files[static_cast<size_t>(change)]; };
  if (count(FileChange::kCorrupted) + count(FileChange::kUnreadable) > 0) {
    return AuditVerdict::kDamaged;
  }
  for (size_t k = 0; k < kFileChangeCount; ++k) {
    if (k != static_cast<size_t>(FileChange::kUnchanged) && totals.files[k] > 0) {
      return AuditVerdict::kDifferent;
    }
  }
  // Bytes read from memory verify nothing.
  return totals.from_memory_files > 0 ? AuditVerdict::kDifferent : AuditVerdict::kSame;
}

std::vector<std::string> ListWarnings(std::string_view name, const lists::IdList& list) {
  std::vector<std::string> warnings;
  if (!list.complete()) {
    warnings.push_back(std::string(name) + " is incomplete (" +
                       std::string(lists::ListStateText(list.state())) +
                       "): files it does not hold are \"not listed\"");
  }
  if (list.repeated() > 0) {
    warnings.push_back(std::string(name) + " lists " + std::to_string(list.repeated()) +
                       " paths more than once; the last line of each counts");
  }
  if (list.ambiguous() > 0) {
    warnings.push_back(std::string(name) + " lists " + std::to_string(list.ambiguous()) +
                       " paths more than once within one run (names that differ only in CR, "
                       "LF or \"?\"): they are \"not comparable\"");
  }
  return warnings;
}

std::string ListErrorText(std::string_view name, const lists::ListReadError& error) {
  if (error.in_use) return std::string(name) + " is in use by another run";
  if (error.symbolic_link) return std::string(name) + " " + error.message;
  if (error.line == 0) return "cannot read " + std::string(name) + ": " + error.message;
  return std::string(name) + ": line " + std::to_string(error.line) + ": " + error.message;
}

}  // namespace audit
