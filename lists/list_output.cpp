#include "lists/list_output.h"

#include <algorithm>

#include "lists/list_format.h"
#include "lists/list_system.h"
#include "platform/paths.h"
#include "support/text.h"

namespace lists {

namespace {

// Lines are gathered and written in pieces of this size: one write per many files.
constexpr size_t kFlushSize = 64 * 1024;
// The growth step is used only above this.
constexpr int32_t kMinExpand = 512;

// A directory line below `root`: it ends with "/", and none of its components below the
// root is empty, "." or "..".
bool IsDirectoryBelow(std::string_view line, std::string_view root) {
  if (line.size() <= root.size() || line.compare(0, root.size(), root) != 0 ||
      !platform::IsSeparator(line.back()))
    return false;
  size_t pos = root.size();
  while (pos < line.size()) {
    const size_t slash = line.find_first_of(platform::kSeparators, pos);
    const std::string_view part = line.substr(pos, slash - pos);
    if (part.empty() || part == "." || part == "..") return false;
    pos = slash + 1;
  }
  return true;
}

// Where the lines of a continued list end: NULs a crash left while the list grew go,
// and so does part of a line a run killed in the middle of a write left.
size_t EndOfLines(std::string_view text) {
  size_t end = text.find_last_not_of('\0');
  end = end == std::string_view::npos ? 0 : end + 1;
  if (end > 0 && text.substr(0, end).substr(end >= 2 ? end - 2 : 0) != "\r\n") {
    const size_t last = text.substr(0, end).rfind("\r\n");
    end = last == std::string_view::npos ? 0 : last + 2;
  }
  return end;
}

// Opens a list locked, creating it when missing; *created tells which.
ListFault HoldList(const std::string& path, platform::File* file, bool* created,
                   std::string* error) {
  platform::FileInfo info;
  *created = !platform::StatPath(path, &info);
  if (!file->Open(path, platform::OpenMode::kOpenOrCreateLocked)) {
    *created = false;
    *error = file->ErrorText();
    return ListFault::kOpen;
  }
  return ListFault::kNone;
}

}  // namespace

ListFault ListOutput::Hold() { return HoldList(path_, &file_, &created_, &error_); }

ListFault ListOutput::CheckHeader(std::string_view root_listed) {
  const int64_t size = file_.Size();
  std::string first;
  constexpr size_t kPiece = 65536;
  char piece[kPiece];
  int64_t got = 0;
  if (size < 0 || file_.Seek(0) != 0) got = -1;
  // Only the first line is needed; it ends at the first line break.
  while (got >= 0 && first.find_first_of("\r\n") == std::string::npos &&
         static_cast<int64_t>(first.size()) < size) {
    got = file_.Read(piece, kPiece);
    if (got <= 0) break;
    first.append(piece, static_cast<size_t>(got));
  }
  if (got < 0) {
    error_ = file_.ErrorText();
    return ListFault::kRead;
  }
  const size_t line_end = first.find_first_of("\r\n");
  if (line_end == std::string::npos) {
    const std::string_view cut = std::string_view(first).substr(0, first.find_first_of('\0'));
    if (cut.empty() ||
        (cut[0] == lists::kRecordHeader && (cut.size() <= lists::kHeaderModeOffset ||
                                            lists::IsRunMode(cut[lists::kHeaderModeOffset])))) {
      return ListFault::kNone;
    }
  }
  first.resize(std::min(first.size(), line_end));
  lists::RunHeader header;
  // The header's path ends in the separator of the system that wrote the list.
  const bool ours =
      lists::ReadRunHeader(first, &header) && !header.search_path.empty() &&
      platform::WithSeparator(header.search_path, lists::PathStyleOfList(header.search_path)) ==
          root_listed;
  return ours ? ListFault::kNone : ListFault::kForeign;
}

ListFault ListOutput::Prepare(bool continued, support::StringList* done) {
  prepared_ = true;
  int64_t size = file_.Size();
  if (size < 0) {
    error_ = file_.ErrorText();
    return ListFault::kRead;
  }
  int64_t start = 0;
  if (continued && size > 0) {
    std::string text(static_cast<size_t>(size), '\0');
    if (file_.Seek(0) != 0 || file_.Read(text.data(), text.size()) != size) {
      error_ = file_.ErrorText();
      return ListFault::kRead;
    }
    text.resize(EndOfLines(text));
    start = static_cast<int64_t>(text.size());
    lists::ReadDoneList(text, done);
    done->Sort();
  }
  // A new run empties the list before it writes, so that a run killed midway leaves no
  // tail of the old list behind its lines. A list with no run in it yet is begun the
  // same way: a header first, no line end before it.
  fresh_ = continued && start == 0;
  continued_ = continued && !fresh_;
  if (start == 0 && size > 0) {
    if (!file_.SetSize(0)) {
      error_ = file_.ErrorText();
      return ListFault::kEmpty;
    }
    size = 0;
  }
  if (file_.Seek(start) != start) {
    error_ = file_.ErrorText();
    return ListFault::kPosition;
  }
  content_end_ = start;
  written_ = start;
  size_ = size;
  started_ = true;
  return ListFault::kNone;
}

void ListOutput::AppendHeader(std::string_view line, size_t stamp_offset) {
  header_at_ = written_ + static_cast<int64_t>(pending_.size());
  stamp_offset_ = stamp_offset;
  header_end_ = header_at_ + static_cast<int64_t>(line.size());
  Append(line);
}

void ListOutput::Append(std::string_view text) {
  if (write_failed_) return;
  pending_.append(text);
  if (pending_.size() >= kFlushSize) Flush();
}

void ListOutput::Grow(int32_t expand) {
  if (expand <= kMinExpand || write_failed_ || no_growth_) return;
  const int64_t at = written_ + static_cast<int64_t>(pending_.size());
  if (at < size_) return;
  if (file_.Reserve(at + expand)) {
    size_ = at + expand;
  } else {
    no_growth_ = true;
  }
}

bool ListOutput::Flush() {
  if (write_failed_) return false;
  if (pending_.empty()) return true;
  if (!file_.Write(pending_)) {
    write_failed_ = true;
    write_error_ = file_.ErrorText();
    // Part of the piece may have reached the file (a size limit stops a write midway);
    // whole lines of it are kept, so that the list stays readable and can be continued.
    // A line end that only separates what follows goes with it or not at all.
    const int64_t reached = file_.Position() - written_;
    if (reached > 0 && reached <= static_cast<int64_t>(pending_.size())) {
      const size_t line_end =
          std::string_view(pending_).substr(0, static_cast<size_t>(reached)).rfind("\r\n");
      const int64_t kept = written_ + static_cast<int64_t>(line_end + 2);
      if (line_end != std::string::npos && kept >= header_end_) written_ = kept;
    }
    pending_.clear();
    return false;
  }
  written_ += static_cast<int64_t>(pending_.size());
  size_ = std::max(size_, written_);
  pending_.clear();
  return true;
}

ListFault ListOutput::Note(ListFault fault, ListFault first) {
  if (first != ListFault::kNone) return first;
  error_ = fault == ListFault::kWrite ? write_error_ : file_.ErrorText();
  return fault;
}

ListFault ListOutput::LeaveAsItWas() {
  if (file_.Size() == content_end_ || file_.SetSize(content_end_)) return ListFault::kNone;
  error_ = file_.ErrorText();
  return ListFault::kCut;
}

ListFault ListOutput::Finish(const platform::DateTime& end, bool* finished, bool had_errors) {
  ListFault first = ListFault::kNone;
  if (!Flush()) {
    *finished = false;
    first = Note(ListFault::kWrite, first);
  }
  if (started_ && !file_.SetSize(written_)) first = Note(ListFault::kCut, first);
  // The stamp goes only over a header that reached the file; after a failed write the
  // state says the run stopped early, so that Continue can finish it.
  if (header_at_ >= 0 && written_ >= header_end_) {
    const int64_t at = header_at_ + static_cast<int64_t>(stamp_offset_);
    const std::string stamp = lists::EndStamp(
        end, *finished ? lists::RunState::kFinished : lists::RunState::kStopped, had_errors);
    if (file_.Seek(at) != at || !file_.Write(stamp)) first = Note(ListFault::kStamp, first);
  }
  return first;
}

ListFault ListOutput::Release() {
  if (!file_.IsOpen()) return ListFault::kNone;
  if (created_ && !prepared_) platform::RemoveFile(path_);
  if (file_.Close()) return ListFault::kNone;
  error_ = file_.ErrorText();
  return ListFault::kClose;
}

ListFault TreeListFile::Hold() { return HoldList(path_, &file_, &created_, &error_); }

ListFault TreeListFile::Load(std::string_view root_listed, support::StringList* lines,
                             size_t* bad_line) {
  std::string text;
  const int64_t size = file_.Size();
  text.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
  if (size < 0 || file_.Seek(0) != 0 || file_.Read(text.data(), text.size()) != size) {
    error_ = file_.ErrorText();
    return ListFault::kRead;
  }
  lines->SetText(text);
  // A list cut short by a crash is never seen: it is replaced whole.
  for (size_t i = 0; i < lines->size(); ++i) {
    const std::string& line = (*lines)[i];
    if (i == 0 ? line != root_listed : !IsDirectoryBelow(line, root_listed)) {
      *bad_line = i + 1;
      return ListFault::kForeign;
    }
  }
  return lines->empty() ? ListFault::kBlank : ListFault::kNone;
}

ListFault TreeListFile::Replace(std::string_view text) {
  if (!platform::ReplaceFileLocked(path_, text, &file_, &error_)) return ListFault::kWrite;
  written_ = true;
  return ListFault::kNone;
}

void TreeListFile::Release() {
  if (!file_.IsOpen()) return;
  if (created_ && !written_ && file_.Size() == 0) platform::RemoveFile(path_);
  file_.Close();
}

}  // namespace lists
