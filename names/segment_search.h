#pragma once
// A name query run over segments: the blocks its texts may be in are read from the
// signature, only those are scanned, and a mask is tried only on names that hold every
// text it is certain of. The answer is exactly NameMatcher's over the same names (or
// paths: a directory's path followed by the name).

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "names/name_match.h"
#include "names/name_segment.h"

namespace names {

class SegmentSearch {
 public:
  // `whole_path`: match the file's path, not its name alone.
  SegmentSearch(std::string_view query, bool whole_path);

  // Calls `each` for each matching file of the segment in order, while it returns true;
  // false when `each` (or `stop`, looked at between blocks) ended it.
  bool Run(const Segment& segment, const std::function<bool(uint32_t file)>& each,
           const std::atomic<bool>* stop = nullptr) const;

  // Whether the file matches, without the segment's signature (for files found another
  // way).
  bool Matches(const Segment& segment, uint32_t file) const;

 private:
  struct Piece {
    std::string text;
    std::vector<uint32_t> runs;  // its distinct three-byte runs
    bool slash = false;          // holds a separator: may span a directory and the name
  };
  // Per segment: its directories and which hold each piece, for a path search.
  struct DirState {
    Segment::Records texts;
    std::vector<uint32_t> block_dirs;      // each block's lowest and highest directory
    std::vector<std::vector<bool>> holds;  // [piece][dir]
    std::vector<bool> fits;                // may begin a path the mask's prefix begins
  };
  // Adds to `allowed` the blocks with a file in a chosen directory.
  void AllowDirs(const DirState& dirs, const std::vector<bool>& chosen,
                 std::vector<uint64_t>* allowed) const;
  void CandidateBlocks(const Segment& segment, const DirState& dirs,
                       std::vector<uint64_t>* blocks) const;
  void FindInDirs(const Segment& segment, DirState* dirs) const;
  // Whether a file of block_ matches.
  bool Check(const DirState& dirs, uint32_t file) const;
  // Reads `count` blocks into block_ and calls `each` for their matching files.
  bool Blocks(const Segment& segment, const DirState& dirs, uint32_t block, uint32_t count,
              bool mapped, const std::function<bool(uint32_t file)>& each) const;

  NameMatcher matcher_;
  bool whole_path_;
  bool plain_;  // no mask: holding the text is matching
  std::vector<Piece> pieces_;
  mutable std::string path_;
  mutable Segment::Block block_;
};

}  // namespace names
