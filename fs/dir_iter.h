#pragma once
// Directory iteration with include and exclude name masks: FilesToStringsSx lists the
// files and/or directories under a start directory and sums the sizes of the files it
// sees. Symbolic links are never followed or listed; FIFOs, sockets and devices are
// never opened or listed. Entries come in the order the file system returns them, a
// directory's own line before its contents; callers sort.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/volume.h"
#include "support/pattern.h"
#include "support/string_list.h"

namespace platform {
class DirHandle;
class DirReader;
struct FileInfo;
}  // namespace platform

namespace fs {

// The most directories below its start a walk holds open at once; deeper ones are
// reopened from the nearest one held, name by name. Trees seldom nest this deep, so the
// usual walk never reopens anything. A run holds about as many again for the directories
// of the file pass and the lookups of the tree walk, and its lists, planned directories
// and open files besides.
inline constexpr size_t kHeldDirectories = 32;

// The most directories below its start a walk holds open: kHeldDirectories, or a
// sixteenth of the descriptors the process may hold when that is less (at least 2). A
// run's other holders of directories follow it, so that under a limit of 64 a run needs
// about 16 descriptors beyond its readers'.
size_t HeldDirectories();

// Kernel interfaces mounted as file systems (proc, sysfs, devtmpfs, cgroup2, autofs...):
// a walk never enters them.
bool IsPseudoFileSystem(std::string_view fs_type);

// Decides whether a walk goes on into a subdirectory that lies on another file system
// than its parent: never by default; with cross_mounts, unless it is a pseudo file
// system. Reads the mount table only when it meets another file system. One object per
// walk; one thread.
class VolumeBorder {
 public:
  explicit VolumeBorder(bool cross_mounts) : cross_mounts_(cross_mounts) {}
  // Devices as platform::FileInfo::device holds them.
  bool Enters(uint64_t parent_device, uint64_t device);

 private:
  // The file-system type of a device; empty when no mount shows it.
  std::string TypeOf(uint64_t device);

  bool cross_mounts_;
  std::vector<platform::Mount> mounts_;
};

// Option bits of FilesToStringsSx. Parameters may add NoDirs, NoFiles and Recurse,
// never remove any.
namespace walk_option {
inline constexpr uint32_t NoDirs = 1;          // directories are not listed (still walked)
inline constexpr uint32_t NoFiles = 2;         // files are not listed (sizes still count)
inline constexpr uint32_t Recurse = 4;         // descend into subdirectories
inline constexpr uint32_t NoDirSlash = 8;      // directory lines without the trailing "/"
inline constexpr uint32_t RelativeNames = 16;  // names relative to the base path
inline constexpr uint32_t BareNames = 32;      // bare names; wins over RelativeNames
inline constexpr uint32_t SumSizes = 64;       // the result is the total size of the files seen
}  // namespace walk_option

// Mask flags, kept with every mask.
inline constexpr uint8_t kMaskNoWildcard = 1;  // neither "*" nor "?"
inline constexpr uint8_t kMaskAnchorStart =
    2;  // does not begin with "*": match at the first character
inline constexpr uint8_t kMaskAnchorEnd = 4;  // does not end with "*": match to the last character
inline constexpr uint8_t kMaskHasStar = 8;
inline constexpr uint8_t kMaskHasQuestion = 16;

// A mask list holds at most this many masks; further ones are dropped.
inline constexpr size_t kMaxMasks = 255;

// The flags of a (trimmed) mask text.
uint8_t MaskFlags(std::string_view mask);

enum class MaskListKind {
  kIncludeFiles,
  kExcludeFiles,
  kIncludeDirs,
  kExcludeDirs,
  kIncludeSubdirs,
  kExcludeSubdirs,
};

struct MaskEntry {
  std::string text;
  uint8_t flags = 0;
  std::string parameter;  // the key of the item that added it ("/EP"); empty for others
};

// A directory a walk could not read, or not read to its end, and why.
struct WalkError {
  std::string path;  // ends with "/"
  std::string reason;
};

// A directory a walk left out of its list or did not enter for its masks, and the
// parameter that did: the item's key and the mask ("/EP temp"), or for include masks
// that no name matched, the key and all of them ("/IS a*|b*"). Not an error of the walk.
struct LeftOutDir {
  std::string path;  // ends with "/"
  std::string parameter;
};

// Told what a walk learns about the files of each directory it reads, so that a caller
// need not list and look them up again. Calls nest as the walk descends: Begin for a
// directory, its files and the Begin ... End of each subdirectory in between, then its
// End. Only walks that sum sizes look files up; other walks tell nothing.
class WalkRecorder {
 public:
  virtual ~WalkRecorder() = default;
  // `path` ends with "/"; `dir` reads it (valid during the call). Returns true when the
  // recorder looks this directory's files up itself: the walk then tells them by
  // FileToLookUp and leaves their sizes out of its total.
  virtual bool BeginDirectory(const std::string& path, const platform::DirReader& dir) = 0;
  // A regular file (before any name mask); `info` null when its lookup failed.
  virtual void File(std::string_view name, const platform::FileInfo* info) = 0;
  // A regular file of a directory the recorder looks up itself.
  virtual void FileToLookUp(std::string_view name) = 0;
  // complete: the directory was read to its end (no read error, no stop).
  virtual void EndDirectory(bool complete) = 0;
};

// The iteration object: six mask lists that only grow, the output list and the name
// offset of the current call. One object may serve many calls on one thread (masks of
// earlier calls stay in force); it must not be shared between threads.
class THddRun {
 public:
  THddRun();
  ~THddRun();
  THddRun(const THddRun&) = delete;
  THddRun& operator=(const THddRun&) = delete;

  const std::vector<MaskEntry>& masks(MaskListKind kind) const;

  // Adds the "|"-separated masks of `value`: each piece trimmed, empty pieces skipped,
  // a mask already in the list (compared without regard to case) not added again.
  // `parameter` is kept with each (MaskEntry). Returns how many were added.
  size_t AddMasks(MaskListKind kind, std::string_view value, std::string_view parameter = {});
  // Appends one mask as given (not trimmed, duplicates kept) with the given flags.
  // False when it is empty or the list is full.
  bool AppendMask(MaskListKind kind, std::string_view text, uint8_t flags);

  // Whether a walk lists the file `name`: it matches the include masks and no exclude
  // mask.
  bool ListsFile(std::string_view name) const {
    return Matches(MaskListKind::kIncludeFiles, name) &&
           !Matches(MaskListKind::kExcludeFiles, name);
  }

  // Whether the bare name matches the list; an empty list answers `if_empty`.
  bool Matches(MaskListKind kind, std::string_view name, bool if_empty) const;
  // With the defaults of the walk: true for empty include lists, false for exclude.
  bool Matches(MaskListKind kind, std::string_view name) const;
  // The parameter that leaves the subdirectory `name` out of a walk that enters
  // subdirectories (`entering`) and lists directories (`listing`), as LeftOutDir names
  // it; empty when the masks keep it.
  std::string LeftOutBy(std::string_view name, bool listing, bool entering) const;

  // Reads the parameter text ("/"-separated items with one- or two-letter keys), adds
  // its masks and returns `options` with the option bits its keys set. Unknown keys,
  // empty items and empty mask pieces are ignored.
  uint32_t ApplyParams(std::string_view params, uint32_t options);

  // Set by FilesToStringsSx for the current call; not owned.
  support::StringList* output() const { return output_; }
  void set_output(support::StringList* list) { output_ = list; }
  // 1 + length of the base path of the current call.
  size_t name_offset() const { return name_offset_; }
  void set_name_offset(size_t offset) { name_offset_ = offset; }

  // Where walks report the directories they could not read; none (the default): such
  // directories are passed over in silence. Not owned.
  std::vector<WalkError>* errors() const { return errors_; }
  void set_errors(std::vector<WalkError>* errors) { errors_ = errors; }
  // A flag the walk tests before each directory it enters; once it is set the walk ends
  // early and stopped() tells so. Not owned; may be set from any thread.
  void set_stop_flag(const std::atomic<bool>* flag) { stop_flag_ = flag; }
  bool StopRequested() const {
    return stop_flag_ != nullptr && stop_flag_->load(std::memory_order_relaxed);
  }
  // Who learns each directory's files; none by default. Not owned.
  WalkRecorder* recorder() const { return recorder_; }
  void set_recorder(WalkRecorder* recorder) { recorder_ = recorder; }
  // Whether walks enter subdirectories on other file systems (pseudo file systems never);
  // false by default: a walk stays on the file system of its start, as "find -xdev" does.
  bool cross_mounts() const { return cross_mounts_; }
  void set_cross_mounts(bool cross) { cross_mounts_ = cross; }
  // Where walks name the subdirectories they did not enter for lying on another file
  // system (path ending with "/"; its own line is still listed); none by default. Not
  // owned. Not an error of the walk.
  std::vector<std::string>* other_volumes() const { return other_volumes_; }
  void set_other_volumes(std::vector<std::string>* paths) { other_volumes_ = paths; }
  // How masks added from now on fold case; walks keep the default.
  void set_case_folding(support::CaseFolding folding) { folding_ = folding; }
  // Where walks name the subdirectories their masks leave out; none by default. Not owned.
  std::vector<LeftOutDir>* left_out() const { return left_out_; }
  void set_left_out(std::vector<LeftOutDir>* dirs) { left_out_ = dirs; }

 private:
  struct CompiledList;
  std::unique_ptr<CompiledList[]> lists_;
  support::StringList* output_ = nullptr;
  size_t name_offset_ = 1;
  std::vector<WalkError>* errors_ = nullptr;
  const std::atomic<bool>* stop_flag_ = nullptr;
  WalkRecorder* recorder_ = nullptr;
  bool cross_mounts_ = false;
  support::CaseFolding folding_ = support::CaseFolding::kFixed;
  std::vector<std::string>* other_volumes_ = nullptr;
  std::vector<LeftOutDir>* left_out_ = nullptr;
  // The index of the first mask of the list that matches, or -1.
  int MatchIndex(MaskListKind kind, std::string_view name) const;
};

// Appends to `list` the entries found under the start `path` and returns the total
// size of the files seen under SumSizes (else 0), or -1 when the start directory cannot
// be enumerated (the list is then unchanged).
// path: a directory; or a directory followed by a "|"-separated mask list
// ("/data/*.jpg|*.png"); optionally followed by parameter items, which begin at the
// first "/" that follows a blank ("/data /S /EF *.bak"). A path that is an existing
// directory as a whole is never split. An empty path is the current directory.
// run: the iteration object to use, or null for a temporary one.
// base: its length sets the name offset; empty means the start directory.
// params: the parameter text, may be empty.
// The list is never cleared. Subdirectories that cannot be read are skipped, and reported
// in run->errors() when it is set; so is a read error that ends a directory early. Any
// depth is walked, with at most HeldDirectories() directories held open below the start.
int64_t FilesToStringsSx(support::StringList* list, std::string_view path, uint32_t options,
                         THddRun* run, std::string_view base, std::string_view params);

// The same walk from an open directory whose path is `path` (ending with "/"); nothing is
// split off the path and no link is followed anywhere below `dir`. -1 when it cannot be
// read (reported in run->errors() when set).
int64_t FilesToStringsAt(support::StringList* list, const platform::DirHandle& dir,
                         const std::string& path, uint32_t options, THddRun* run,
                         std::string_view params);

// Splits `text` at `separator`: each item trimmed, empty items and items already in
// `items` (compared without regard to case) skipped.
void SplitTextItems(std::string_view text, char separator, support::StringList* items);

}  // namespace fs
