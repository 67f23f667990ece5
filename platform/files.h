#pragma once
// Files and directories. The only door to the file system: no other folder includes
// system headers for files. Symbolic links are never followed, and FIFOs, sockets and
// devices are never opened.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// 100 ns units since 1601-01-01 UTC.
using FileTime = uint64_t;

// The system's handle of an open file or directory: a descriptor here, a HANDLE on
// Windows. Only platform/ looks inside.
#ifdef _WIN32
using NativeHandle = void*;
inline constexpr NativeHandle kNoHandle = nullptr;
#else
using NativeHandle = int;
inline constexpr NativeHandle kNoHandle = -1;
#endif

// Attribute bits as the lists write them.
constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrVolumeLabel = 0x08;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
// A file whose data is not on this disk (a cloud placeholder): reading it, or for the
// last one opening it, fetches the data. The lists' field shows the low 16 bits alone.
constexpr uint32_t kAttrOffline = 0x1000;
constexpr uint32_t kAttrRecallOnOpen = 0x40000;
constexpr uint32_t kAttrRecallOnDataAccess = 0x400000;

// Whether a file of these attributes is a placeholder, to be left unread unless asked.
constexpr bool IsPlaceholder(uint32_t attributes) {
  return (attributes & (kAttrOffline | kAttrRecallOnOpen | kAttrRecallOnDataAccess)) != 0;
}

enum class EntryKind { kFile, kDirectory, kOther };

// The device number of a file system as FileInfo::device holds it.
constexpr uint64_t DeviceNumber(uint32_t major, uint32_t minor) {
  return (static_cast<uint64_t>(major) << 32) | minor;
}

// What one lookup tells about a regular file or a real directory.
struct FileInfo {
  uint32_t attributes = 0;
  FileTime creation_time = 0;
  FileTime last_access_time = 0;
  FileTime last_write_time = 0;
  uint64_t size = 0;  // 0 for a directory
  EntryKind kind = EntryKind::kOther;
  // Which file it is: equal pairs name the same file. The device is that of the file
  // system (DeviceNumber).
  uint64_t device = 0;
  uint64_t inode = 0;
  // The last write, and the last change of contents or record (which no one can set
  // back), in ns since 1970; change_ns is 0 where the system keeps no such time.
  int64_t write_ns = 0;
  int64_t change_ns = 0;
};

// Looks the path up without following a final link. False when it does not exist or
// is a link, FIFO, socket or device (those are never catalogued). A trailing "/" is
// allowed for directories.
bool StatPath(const std::string& path, FileInfo* info);

// What a path names, for a message that says why it is not what was wanted.
enum class PathKind {
  kMissing,  // nothing there, or a leading part is no directory
  kUnknown,  // cannot be looked up (no access on the way, a loop of links)
  kFile,
  kDirectory,
  kLinkToDirectory,
  kLink,  // a symbolic link to anything else, or to nothing
  kFifo,
  kSocket,
  kDevice,
};

// Looks the path up without following a final link, trailing "/" or not, and for a
// link looks at what it leads to. `error` (optional) receives errno's text for
// kUnknown.
PathKind PathKindOf(const std::string& path, std::string* error = nullptr);

// First entry whose name matches the last component of path, which may hold the
// wildcards "*" and "?". Without wildcards this is StatPath. `name` receives the
// matched entry's name. Entries that are links or special files are passed over.
bool FindFirst(const std::string& path, FileInfo* info, std::string* name);

// The alternate 8.3 name the file system keeps for the path's last component: empty when
// that name is already 8.3, when the volume makes none, or where there are none (Linux).
std::string ShortNameOf(const std::string& path);

class DirReader;
class File;

// An open directory. What lies in it is reached relative to it, without following a
// link, so a directory swapped for a link while a run goes on is never left through.
class DirHandle {
 public:
  DirHandle() = default;
  ~DirHandle();
  DirHandle(const DirHandle&) = delete;
  DirHandle& operator=(const DirHandle&) = delete;
  DirHandle(DirHandle&& other) noexcept;
  DirHandle& operator=(DirHandle&& other) noexcept;

  // Opens the directory path; links in its leading part are followed, a final link is
  // refused.
  bool Open(const std::string& path);
  // Opens the subdirectory `name` of `parent`; refused when it is a link or not a
  // directory.
  bool OpenAt(const DirHandle& parent, std::string_view name);
  // Holds the directory `reader` reads, on a descriptor of its own.
  bool Duplicate(const DirReader& reader);
  void Close();
  bool IsOpen() const { return fd_ != kNoHandle; }

  // Looks up an entry of this directory without following a link.
  bool Stat(std::string_view name, FileInfo* info) const;
  // This directory itself.
  bool StatSelf(FileInfo* info) const;
  // Why the last Open or OpenAt failed: errno's text, or what the entry is instead.
  const std::string& ErrorText() const { return error_; }

 private:
  friend class DirReader;
  friend class File;
  NativeHandle fd_ = kNoHandle;
  std::string error_;
};

// Reads the entries of one directory in the order the file system returns them,
// without "." and "..". Not thread-safe per object; one object per walk level.
class DirReader {
 public:
  DirReader() = default;
  ~DirReader();
  DirReader(const DirReader&) = delete;
  DirReader& operator=(const DirReader&) = delete;

  // False when the directory cannot be opened (missing, not a directory, no access,
  // a link).
  bool Open(const std::string& path);
  // Reads the directory held by `dir` from its start (dir stays open and usable).
  bool Open(const DirHandle& dir);
  // Opens the subdirectory `name` of the directory this reader holds, without following
  // a link; `other` is the reader to open it in.
  bool OpenChild(std::string_view name, DirReader* other) const;
  void Close();
  bool IsOpen() const { return dir_ != nullptr; }

  // Why the last Open failed, or the read error that ended Next.
  const std::string& ErrorText() const { return error_; }
  // Next ended on a read error rather than at the end of the directory.
  bool Failed() const { return failed_; }

  // Next entry; false at the end or on a read error (then Failed()). `name` stays valid until the
  // next call. Kind comes from the entry type; an unknown type is resolved with one
  // lstat. Links and special files come back as kOther.
  bool Next(std::string_view* name, EntryKind* kind);

  // Looks up an entry of this directory (relative to its open descriptor). An entry that
  // is the mount point of an automounter is looked at, not mounted.
  bool Stat(std::string_view name, FileInfo* info) const;
  // This directory itself.
  bool StatSelf(FileInfo* info) const;
  // The alternate 8.3 name of the entry Next gave last, from the same listing (empty as
  // for ShortNameOf).
  std::string ShortName() const;

 private:
  friend class DirHandle;
  friend class File;
  bool Adopt(NativeHandle fd);
  void* dir_ = nullptr;  // DIR*
  NativeHandle fd_ = kNoHandle;
  bool failed_ = false;
  std::string error_;
};

// ErrorText of a file whose lock another process holds.
constexpr char kInUseText[] = "in use by another run";
// ErrorText of a read ended by its stop request.
constexpr char kStoppedText[] = "stopped";

enum class OpenMode {
  kRead,  // existing file, read only
  // A regular file a lookup has just found: read only, without asking the system again
  // what it is. Opening never blocks and never follows a link; something swapped in
  // since the lookup shows as a failed or short read (Stat then tells what it is).
  kReadListed,
  kReadWriteLocked,  // existing file, read-write, exclusive advisory lock
  // Existing regular file, read only, shared advisory lock: refused while a run holds
  // the file exclusively; a file system without locks reads it without one.
  kReadShared,
  kCreateTruncate,      // create or truncate, write only
  kOpenOrCreateLocked,  // read-write, created when missing, exclusive advisory lock
};

// What the page cache holds of a range of a file, in bytes of whole pages.
struct CacheUsage {
  uint64_t resident = 0;
  // Pages not yet on the disk (dirty, or on their way there). Only known where the
  // system tells (dirty_known); mincore sees residency alone.
  uint64_t dirty = 0;
  bool dirty_known = false;
};

// A plain descriptor. Reads and writes retry EINTR and short transfers, so callers
// never see them. Errors keep errno's text for messages.
class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;

  // False when it cannot be opened; kReadWriteLocked also fails when another process
  // holds the lock, kReadShared when one holds it exclusively ("in use by another run").
  // kRead and kReadShared refuse anything but a regular file, without blocking.
  bool Open(const std::string& path, OpenMode mode);
  // The same for the entry `name` of an open directory, without following a link.
  bool OpenAt(const DirHandle& dir, std::string_view name, OpenMode mode);
  bool OpenAt(const DirReader& dir, std::string_view name, OpenMode mode);
  bool Close();
  bool IsOpen() const { return fd_ != kNoHandle; }

  // Reads up to `size` bytes; returns the count (0 at end of file) or -1 on error.
  int64_t Read(void* buffer, size_t size);
  // Reads up to `size` bytes of what the page cache holds from the current position,
  // never waiting for the device: the count, which stops short at the first page not
  // cached (0 when that is the first). -1 when the system cannot read so; Read tells.
  int64_t ReadCached(void* buffer, size_t size);
  // Reads from the current position to the end into one new buffer of `*size` bytes,
  // however the file's recorded size compares (a file of /proc records 0 and holds
  // more). False on a read error; std::bad_alloc when the memory runs out. A `stop` set
  // from another thread ends the read between two requests of a few megabytes: false,
  // with kStoppedText.
  bool ReadToEnd(std::unique_ptr<char[]>* data, size_t* size,
                 const std::atomic<bool>* stop = nullptr);
  // The same at `offset`, leaving the file position alone; safe from many threads on
  // one file. Its errors leave ErrorText as it was.
  int64_t ReadAt(void* buffer, size_t size, int64_t offset);
  // Writes all bytes; false on any error (disk full, file size limit, I/O error).
  bool Write(const void* data, size_t size);
  bool Write(std::string_view text) { return Write(text.data(), text.size()); }
  // Absolute seek; returns the new position or -1.
  int64_t Seek(int64_t position);
  int64_t SeekEnd();
  int64_t Position() const;
  int64_t Size() const;
  // Sets the file's length (cuts or extends with zeros).
  bool SetSize(int64_t size);
  // Reserves space up to `size` bytes (posix_fallocate, ftruncate where unsupported).
  bool Reserve(int64_t size);
  // Metadata of the open file (false when it is no regular file or directory); for a
  // file opened with kRead, as it was when opened.
  bool Stat(FileInfo* info) const;
  // Flushes the file's data and size to the disk.
  bool Sync();
  // Writes the file's pages that are not on the disk yet there and waits for them (its
  // size too when that changed); its other times may wait. Works on a file opened read
  // only.
  bool FlushData();
  // From now on reads go past the page cache to the device: each read's buffer, position
  // and size must then be multiples of DirectAlignment(), and a read that meets the end
  // of the file stops there. False when the file system refuses; reads then go through
  // the cache as before.
  bool ReadPastCache();
  bool ReadsPastCache() const { return past_cache_; }
  // The file lies on a file system kept in memory alone (tmpfs, ramfs): its cached
  // pages are all it has.
  bool InMemoryFileSystem() const;
  // What the page cache holds of `length` bytes from `offset` (0: to the end of the
  // file): cachestat where the kernel has it, else mincore over a read-only mapping,
  // which never reads a page in. False (usage zero) when neither can tell. Any thread.
  bool CacheUsageOf(uint64_t offset, uint64_t length, CacheUsage* usage) const;
  // Drops the clean cached pages of the range (length 0: to the end); dirty ones are
  // sent on their way to the disk and stay. Nothing is lost. Any thread.
  bool DropCache(uint64_t offset, uint64_t length) const;

  // errno text of the last failure.
  const std::string& ErrorText() const { return error_; }
  // The last Open or OpenAt failed because nothing has that name (any more).
  bool NotFound() const { return not_found_; }

 private:
  friend bool CreateLockedFile(const std::string& path, File* file);
  void SetError();
  bool OpenInDirectory(NativeHandle dirfd, std::string_view name, OpenMode mode);
  bool OpenIn(NativeHandle dirfd, const char* path, std::string_view name, OpenMode mode);
  NativeHandle fd_ = kNoHandle;
  bool writable_ = false;
  bool hidden_ = false;  // the name it was opened by begins with "."
  bool not_found_ = false;
  bool past_cache_ = false;

  bool has_info_ = false;
  FileInfo info_;
  std::string error_;
};

// The most descriptors this process may hold open (its soft limit); SIZE_MAX when it has
// none.
size_t DescriptorLimit();

// Creates the directory and its missing parents; true when it exists afterwards.
bool MakeDirs(const std::string& path);
// Takes the rights of group and others away from a file or directory (links followed).
// `changed`: it had some, and reads back with none now. True when it has none now, is not
// there, or lies on a file system that keeps no such rights (nothing to take away).
bool KeepToOwner(const std::string& path, bool* changed);
// Makes `folder` and its missing parents for files only their owner may read. The folder
// is kept to its owner when this made it, or when its name is `own_name` (the program's
// own folder, which an older version may have left open); a folder others share, such
// as the temp folder or a home, is left as it was. `changed`: rights were taken away.
bool MakePrivateFolder(const std::string& folder, std::string_view own_name, bool* changed);
bool RemoveFile(const std::string& path);
// Creates `path`, which must not exist, and takes an exclusive advisory lock on it
// before anyone can find it there: a file under that name is either locked or left by
// a holder that is gone. False with ErrorText in `file` when it cannot.
bool CreateLockedFile(const std::string& path, File* file);
// Removes an empty directory.
bool RemoveDir(const std::string& path);
bool WriteWholeFile(const std::string& path, std::string_view data);
// Writes `data` to a new file beside `path`, holding the lock of `lock` (kOpenOrCreateLocked
// on path) over the change: the new file is locked, written, synced and renamed over path,
// then takes lock's place, so no reader ever sees a half-written file and the lock is
// never let go. False with lock unchanged and path untouched on any failure.
bool ReplaceFileLocked(const std::string& path, std::string_view data, File* lock,
                       std::string* error);
// Copies a regular file to the new file `to`, durably: the copy is written under a
// temporary name in the same folder, synced, and only then takes the name `to`, which it
// never takes from an existing file. So `to` is either absent or a whole copy, also
// after a crash (a temporary ".checker-copy-*" may be left beside it then).
enum class CopyResult { kCopied, kExists, kFailed };
// kExists when `to` is there already (nothing written); kFailed with *error set.
CopyResult CopyToNewFile(const std::string& from, const std::string& to, std::string* error);
// Reads a whole regular file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* data);

// Test seam: when set, File::Read calls it instead of read(2) (to simulate I/O errors).
using ReadHook = int64_t (*)(NativeHandle fd, void* buffer, size_t size);
void SetReadHookForTesting(ReadHook hook);
// The system's own read of an open handle: what a read hook passes a read on to. The
// count, 0 at the end, or -1 with the system's error set.
int64_t ReadHandle(NativeHandle fd, void* buffer, size_t size);
// Test seam: when set, DirReader::Next asks it about every entry; a non-zero errno it
// returns ends the listing as a failing readdir(3) would.
using DirEntryHook = int (*)(std::string_view name);
void SetDirEntryHookForTesting(DirEntryHook hook);
// Test seam: every lookup or listing of an entry called `name` (in any directory) marks it
// as a placeholder (kAttrRecallOnDataAccess), as no test can make a real one; empty: none.
// Set while no lookup runs.
void SetPlaceholderNameForTesting(const std::string& name);
// Test seam: true makes CacheUsageOf answer by mincore as on a kernel without cachestat.
void SetNoCachestatForTesting(bool no_cachestat);
// Test seam: true makes ReadPastCache refuse, as a file system without direct reads does.
void SetNoReadPastCacheForTesting(bool refuse);

// What the buffer, position and size of a read past the cache are multiples of.
uint64_t DirectAlignment();

}  // namespace platform
