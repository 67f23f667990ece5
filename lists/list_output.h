#pragma once
// The two lists of a run on disk, each held locked for the whole run. The id list is
// recovered from what a crash left (NULs after its lines, a broken last line), gets its
// lines in large pieces, and is cut and stamped at the end. Either list says what went
// wrong as a ListFault; the caller words it with the list's name.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/files.h"
#include "support/string_list.h"

namespace lists {

enum class ListFault : uint8_t {
  kNone,
  kOpen,      // cannot open (and lock) it
  kRead,      // cannot read it
  kEmpty,     // cannot empty it
  kPosition,  // cannot position in it
  kWrite,     // cannot write it: the run did not finish
  kCut,       // cannot cut it after its last line
  kStamp,     // cannot stamp its header
  kClose,     // cannot close it
  kForeign,   // it belongs to another search path (or to nobody)
  kBlank,     // it holds no line
};

// The id list while a run writes it: lines are gathered and written in large pieces;
// position() counts what was handed over, what reached the file is kept whole lines.
class ListOutput {
 public:
  explicit ListOutput(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  // The system's text of the last fault.
  const std::string& error() const { return error_; }

  // Opens it locked, creating it when missing.
  ListFault Hold();
  bool held() const { return file_.IsOpen(); }
  // A continued list must begin with a header whose search path, with "/", is
  // `root_listed`. A first line cut by a crash, or nothing but NULs, holds no run yet.
  ListFault CheckHeader(std::string_view root_listed);
  // Readies it for this run's lines: a new run empties it first; a continued one goes
  // on after its last whole line and gives the paths it lists in *done. A continued list
  // with no run in it yet is begun as a new one is (fresh()).
  ListFault Prepare(bool continued, support::StringList* done);
  bool fresh() const { return fresh_; }

  // The run's header: `stamp_offset` is where its end stamp goes.
  void AppendHeader(std::string_view line, size_t stamp_offset);
  void Append(std::string_view text);
  // Grows the file by `expand` bytes when the lines have reached its end, so that the
  // file system gets it in few pieces. A refused growth only turns growing off.
  void Grow(int32_t expand);
  bool failed() const { return write_failed_; }

  // A continued run that wrote no line may leave the list as it was.
  bool CanLeaveAsItWas() const { return continued_ && header_at_ >= 0; }
  // Cuts only a crash tail: a cut of nothing would still date the list to now.
  ListFault LeaveAsItWas();
  // Writes what is pending, cuts the file after it and stamps the header that reached
  // the file: finished, or stopped when the run did not finish or a write failed
  // (*finished is then false). The first fault.
  ListFault Finish(const platform::DateTime& end, bool* finished, bool had_errors);
  // Lets it go; a list made only to hold its lock, never written, goes with it.
  ListFault Release();

 private:
  bool Flush();
  ListFault Note(ListFault fault, ListFault first);

  std::string path_;
  platform::File file_;
  std::string pending_;
  int64_t written_ = 0;
  int64_t size_ = 0;
  int64_t content_end_ = 0;  // where the old content of a continued list ends
  int64_t header_at_ = -1;
  int64_t header_end_ = -1;  // after a failed write, kept lines must reach this
  size_t stamp_offset_ = 0;
  bool created_ = false;
  bool prepared_ = false;
  bool started_ = false;  // a list that could not be read is never cut
  bool continued_ = false;
  bool fresh_ = false;
  bool write_failed_ = false;
  bool no_growth_ = false;
  std::string write_error_;
  std::string error_;
};

// The tree list, held for the run; read when a Continue reuses it, replaced whole when a
// run gathers the directories again.
class TreeListFile {
 public:
  explicit TreeListFile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }

  ListFault Hold();
  int64_t size() const { return file_.Size(); }
  // The lines of a tree list of `root_listed`: the first is the root, every other a
  // directory below it with no "." or ".." component. kForeign names the 1-based line.
  ListFault Load(std::string_view root_listed, support::StringList* lines, size_t* bad_line);
  ListFault Replace(std::string_view text);
  // Lets it go; a list made only to hold its lock, never written, goes with it.
  void Release();

 private:
  std::string path_;
  platform::File file_;
  bool created_ = false;
  bool written_ = false;
  std::string error_;
};

}  // namespace lists
