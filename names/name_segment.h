#pragma once
// One list's files as the catalogue searches them: a file of fixed arrays, written once
// when the list is read and mapped by every query, so that a query touches only the
// blocks of names that can match and never parses anything.
//
// Each name is kept folded (support::FoldedName) for the search, and as listed when it
// differs. Every 16 files make a block; a signature of bit rows, one bit per block in
// each row, says which blocks may hold a folded run of three bytes (or of two): a query
// reads only the rows of its runs and scans only the blocks all of them allow. The files' content keys
// are also kept sorted, so that the copies of a file are found by a search, not a scan.
//
// A segment read from disk is checked whole in its frame (size, version, section table)
// when opened; every value read from it is then kept inside the file, so that a damaged
// segment gives wrong answers at worst, never a crash.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/memory.h"

namespace names {

constexpr uint32_t kSegmentVersion = 7;  // 7: "\\" folds to "/"
constexpr uint32_t kBlockFiles = 16;

// The runs of bytes a signature holds: the three bytes ending at `end` of a folded text,
// and the two, told apart.
inline uint32_t TripleRun(std::string_view text, size_t end) {
  return static_cast<uint32_t>(static_cast<unsigned char>(text[end - 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(text[end - 1])) << 8 |
         static_cast<unsigned char>(text[end]);
}
inline uint32_t PairRun(std::string_view text, size_t end) {
  return 1u << 24 | static_cast<uint32_t>(static_cast<unsigned char>(text[end - 1])) << 8 |
         static_cast<unsigned char>(text[end]);
}

// The rows of the signature a run sets, so that a run met in a row another common run
// also sets still narrows through the others: two for three bytes, three for two (a
// query of two bytes has that one run alone). For a signature of 2^row_bits rows.
inline int RowsOf(uint32_t run) { return run >> 24 != 0 ? 3 : 2; }
inline uint32_t SignatureRow(uint32_t run, int which, uint32_t row_bits) {
  static constexpr uint32_t kMultipliers[] = {2654435761u, 2246822519u, 3266489917u};
  const uint32_t hash = run * kMultipliers[which] + static_cast<uint32_t>(which);
  return hash >> (32 - row_bits);
}

class SegmentWriter {
 public:
  // Directories are numbered in the order they are added, from 0.
  uint32_t AddDirectory(std::string_view path);
  // `key`: the content key, or -1 when the file has none.
  void AddFile(uint32_t dir, std::string_view name, uint64_t size, uint64_t write_time,
               int64_t key);
  // The segment's bytes; empty when its names do not fit one (more than 4 GB of text).
  std::string Finish();

 private:
  struct Texts {
    std::vector<uint32_t> at{0};  // where each record starts, and the end
    std::vector<uint32_t> folded;  // the folded part's length of each record
    std::string bytes;
    bool too_large = false;
    void Add(std::string_view text, std::string* fold_buffer);
  };
  Texts names_, dirs_;
  std::vector<uint64_t> sizes_, times_;
  std::vector<int64_t> keys_;
  std::vector<uint32_t> file_dirs_;
  std::string fold_buffer_;
};

class Segment {
 public:
  // False when the bytes are no whole segment of this version. The bytes must outlive
  // the object.
  bool Open(const char* data, uint64_t size);
  // Whether a file of `size` bytes that begins with `header` (its first HeaderBytes())
  // is a whole segment of this version, as far as its header tells.
  static size_t HeaderBytes();
  static bool HeaderFits(std::string_view header, uint64_t size);
  // The segment of a mapped file: the few scattered bytes a selective query reads are
  // copied from the file (Read...), where a first touch of each mapped page would fault.
  bool Open(const platform::MappedFile* file);

  // Text records (names or directories) [first, last), read in one go.
  struct Records {
    uint32_t first = 0, last = 0;
    std::vector<uint32_t> at, folded;
    std::string_view bytes;  // in `copy`, or in the mapping
    std::string copy;
    uint64_t base = 0;  // where bytes start in the segment's texts
    // The record whose folded text holds `length` bytes at `hit` of `bytes`.
    bool At(const char* hit, uint64_t length, uint32_t* record) const;
    // The start of the record after `record` in `bytes`.
    const char* After(uint32_t record) const;
    std::string_view Folded(uint32_t record) const;
    std::string_view Original(uint32_t record) const;
  };
  // The names of blocks, with their files' directories when asked.
  struct Block : Records {
    std::vector<uint32_t> dirs;
    uint32_t DirOf(uint32_t file) const { return dirs[file - first]; }
  };
  // The names of `count` blocks from `block` on: copied from the file (a few scattered
  // blocks), or seen in the mapping (most blocks, read in order).
  void ReadBlocks(uint32_t block, uint32_t count, bool mapped, bool with_dirs, Block* out) const;
  // Every directory, and each block's lowest and highest directory, copied.
  void ReadDirs(Records* out, std::vector<uint32_t>* block_dirs) const;
  // One row of the signature (row_words() words).
  void ReadRow(uint32_t row, uint64_t* out) const;
  // The keyed files with their keys and sizes, ordered by (key, size, file), read whole.
  struct Keyed {
    int64_t key;
    uint64_t size;
    uint32_t file;
  };
  void ReadKeyed(std::vector<Keyed>* out) const;
  // A file's facts and path, read in a few calls.
  struct Facts {
    uint64_t size = 0, write_time = 0;
    int64_t key = -1;
    std::string path;
  };
  void ReadFacts(uint32_t file, Facts* out) const;

  uint32_t files() const { return files_; }
  uint32_t dirs() const { return dirs_; }
  uint32_t blocks() const { return blocks_; }
  // Files with a content key and a size above 0.
  uint32_t keyed() const { return keyed_; }

  std::string_view Name(uint32_t file) const { return Original(names_, file); }
  std::string_view Dir(uint32_t dir) const { return Original(dir_texts_, dir); }
  uint32_t DirOf(uint32_t file) const;
  uint64_t Size(uint32_t file) const { return sizes_[file]; }
  uint64_t WriteTime(uint32_t file) const { return times_[file]; }
  int64_t Key(uint32_t file) const { return keys_[file]; }
  // The keyed files ordered by (key, size, file).
  uint32_t KeyedFile(uint32_t at) const;


  uint32_t row_bits() const { return row_bits_; }
  // Words of one signature row (a bit per block).
  uint32_t row_words() const { return row_words_; }
  const uint64_t* Row(uint32_t row) const { return signature_ + uint64_t{row} * row_words_; }

 private:
  struct Texts {
    const uint32_t* at = nullptr;      // records + 1 entries
    const uint32_t* folded = nullptr;  // records entries
    const char* bytes = nullptr;
    uint64_t size = 0;
    uint32_t records = 0;
  };
  static std::string_view Folded(const Texts& texts, uint32_t record);
  static std::string_view Original(const Texts& texts, uint32_t record);
  static uint64_t Start(const Texts& texts, uint32_t record);
  void Attach(const char* data, const void* header);
  void ReadRecords(const Texts& texts, uint32_t first, uint32_t last, bool mapped,
                   Records* out) const;
  void Copy(const void* at, uint64_t length, void* out) const;
  // The original text of one record, read in a few calls.
  void ReadRecord(const Texts& texts, uint32_t record, std::string* out) const;
  static bool RecordAt(const Texts& texts, uint32_t first, uint32_t last, uint64_t offset,
                       uint64_t length, uint32_t* record);

  uint32_t files_ = 0, dirs_ = 0, blocks_ = 0, keyed_ = 0;
  uint32_t row_bits_ = 0, row_words_ = 0;
  const platform::MappedFile* file_ = nullptr;
  const uint64_t* sizes_ = nullptr;
  const uint64_t* times_ = nullptr;
  const int64_t* keys_ = nullptr;
  const uint32_t* file_dirs_ = nullptr;
  const uint32_t* block_dirs_ = nullptr;
  const uint32_t* by_key_ = nullptr;
  const uint64_t* signature_ = nullptr;
  Texts names_, dir_texts_;
};

}  // namespace names
