#include "catalogue/segment_search.h"

#include <algorithm>
#include <cstring>

namespace catalogue {

namespace {

const char* Find(const char* from, const char* end, std::string_view text) {
  if (from >= end) return nullptr;
  return static_cast<const char*>(
      memmem(from, static_cast<size_t>(end - from), text.data(), text.size()));
}

bool Contains(std::string_view hay, std::string_view text) {
  return Find(hay.data(), hay.data() + hay.size(), text) != nullptr;
}

uint32_t RunAt(std::string_view text, size_t end) {
  return static_cast<uint32_t>(static_cast<unsigned char>(text[end - 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(text[end - 1])) << 8 |
         static_cast<unsigned char>(text[end]);
}

}  // namespace

SegmentSearch::SegmentSearch(std::string_view query, bool whole_path)
    : matcher_(query), whole_path_(whole_path), plain_(!matcher_.mask()) {
  for (const std::string& text : matcher_.pieces()) {
    Piece piece;
    piece.text = text;
    piece.slash = text.find('/') != std::string::npos;
    for (size_t i = 2; i < text.size(); ++i) piece.runs.push_back(RunAt(text, i));
    std::sort(piece.runs.begin(), piece.runs.end());
    piece.runs.erase(std::unique(piece.runs.begin(), piece.runs.end()), piece.runs.end());
    pieces_.push_back(std::move(piece));
  }
}

void SegmentSearch::FindInDirs(const Segment& segment, DirState* dirs) const {
  const std::string_view records = segment.DirRecords();
  const char* end = records.data() + records.size();
  dirs->holds.assign(pieces_.size(), std::vector<bool>(segment.dirs(), false));
  for (size_t p = 0; p < pieces_.size(); ++p) {
    const std::string& text = pieces_[p].text;
    for (const char* at = records.data(); const char* hit = Find(at, end, text);) {
      uint32_t dir = 0;
      at = hit + 1;
      if (!segment.DirAt(hit, text.size(), &dir)) continue;
      dirs->holds[p][dir] = true;
      if (dir + 1 < segment.dirs()) at = std::max(at, segment.FoldedDir(dir + 1).data());
    }
  }
}

void SegmentSearch::CandidateBlocks(const Segment& segment, const DirState& dirs,
                                    std::vector<uint64_t>* blocks) const {
  const uint32_t words = segment.row_words();
  blocks->assign(words, ~uint64_t{0});
  if (segment.blocks() % 64 != 0) blocks->back() = (uint64_t{1} << (segment.blocks() % 64)) - 1;
  std::vector<uint64_t> allowed;
  std::vector<uint32_t> before;  // directories holding the piece before each one
  for (size_t p = 0; p < pieces_.size(); ++p) {
    const Piece& piece = pieces_[p];
    // A text with "/" may span a directory and a name; a short one sets no row.
    if (piece.runs.empty() || (whole_path_ && piece.slash)) continue;
    allowed.assign(words, ~uint64_t{0});
    for (const uint32_t run : piece.runs) {
      const uint64_t* row = segment.Row(SignatureRow(run, segment.row_bits()));
      for (uint32_t w = 0; w < words; ++w) allowed[w] &= row[w];
    }
    if (whole_path_) {
      before.assign(1, 0);
      for (uint32_t d = 0; d < segment.dirs(); ++d) {
        before.push_back(before.back() + (dirs.holds[p][d] ? 1 : 0));
      }
      for (uint32_t b = 0; b < segment.blocks() && before.back() > 0; ++b) {
        if (before[segment.BlockLastDir(b) + 1] > before[segment.BlockFirstDir(b)]) {
          allowed[b / 64] |= uint64_t{1} << (b % 64);
        }
      }
    }
    for (uint32_t w = 0; w < words; ++w) (*blocks)[w] &= allowed[w];
  }
}

bool SegmentSearch::Check(const Segment& segment, const DirState* dirs, uint32_t file) const {
  const std::string_view name = segment.FoldedName(file);
  if (!whole_path_) {
    for (const Piece& piece : pieces_) {
      if (!Contains(name, piece.text)) return false;
    }
    return plain_ || matcher_.Matches(segment.Name(file));
  }
  const uint32_t dir = segment.DirOf(file);
  bool built = false;
  for (size_t p = 0; p < pieces_.size(); ++p) {
    if (dirs->holds[p][dir] || Contains(name, pieces_[p].text)) continue;
    if (!pieces_[p].slash) return false;
    if (!built) path_.assign(segment.FoldedDir(dir)).append(name);
    built = true;
    if (!Contains(path_, pieces_[p].text)) return false;
  }
  if (plain_) return true;
  path_.assign(segment.Dir(dir)).append(segment.Name(file));
  return matcher_.Matches(path_);
}

bool SegmentSearch::ScanBlock(const Segment& segment, uint32_t block,
                              const std::function<bool(uint32_t file)>& each) const {
  const uint32_t first = block * kBlockFiles;
  const uint32_t last = std::min(first + kBlockFiles, segment.files());
  const std::string_view records = segment.NameRecords(first, last);
  const std::string& text = pieces_.front().text;
  const char* end = records.data() + records.size();
  for (const char* at = records.data(); const char* hit = Find(at, end, text);) {
    uint32_t file = 0;
    at = hit + 1;
    if (!segment.FileAt(first, last, hit, text.size(), &file)) continue;
    if (!each(file)) return false;
    // On to the next file's record: one match a file.
    at = std::max(at, segment.NameRecords(file + 1, file + 1).data());
  }
  return true;
}

bool SegmentSearch::Run(const Segment& segment, const std::function<bool(uint32_t file)>& each,
                        const std::atomic<bool>* stop) const {
  if (segment.files() == 0) return true;
  DirState dirs;
  if (whole_path_) FindInDirs(segment, &dirs);
  std::vector<uint64_t> blocks;
  CandidateBlocks(segment, dirs, &blocks);
  const bool scan = !whole_path_ && plain_ && !pieces_.empty();
  for (uint32_t w = 0; w < blocks.size(); ++w) {
    for (uint64_t bits = blocks[w]; bits != 0; bits &= bits - 1) {
      if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
      const uint32_t block = w * 64 + static_cast<uint32_t>(__builtin_ctzll(bits));
      if (scan) {
        if (!ScanBlock(segment, block, each)) return false;
        continue;
      }
      const uint32_t last = std::min((block + 1) * kBlockFiles, segment.files());
      for (uint32_t file = block * kBlockFiles; file < last; ++file) {
        if (Check(segment, &dirs, file) && !each(file)) return false;
      }
    }
  }
  return true;
}

bool SegmentSearch::Matches(const Segment& segment, uint32_t file) const {
  if (!whole_path_) return matcher_.Matches(segment.Name(file));
  path_.assign(segment.Dir(segment.DirOf(file))).append(segment.Name(file));
  return matcher_.Matches(path_);
}

}  // namespace catalogue
