#include "names/segment_search.h"

#include <algorithm>
#include <cstring>

#include "platform/paths.h"

namespace names {

namespace {

// A few runs from across the text narrow the blocks about as well as all of them, and
// each is a row of every segment to read.
constexpr size_t kMaxRuns = 8;
// Blocks read in one go at most.
constexpr uint32_t kScanBlocks = 256;

const char* Find(const char* from, const char* end, std::string_view text) {
  if (from >= end) return nullptr;
#ifdef _WIN32
  // No memmem there.
  const std::string_view hay(from, static_cast<size_t>(end - from));
  const size_t at = hay.find(text);
  return at == std::string_view::npos ? nullptr : from + at;
#else
  return static_cast<const char*>(
      memmem(from, static_cast<size_t>(end - from), text.data(), text.size()));
#endif
}

bool Contains(std::string_view hay, std::string_view text) {
  return Find(hay.data(), hay.data() + hay.size(), text) != nullptr;
}


}  // namespace

SegmentSearch::SegmentSearch(std::string_view query, bool whole_path)
    : matcher_(query), whole_path_(whole_path), plain_(!matcher_.mask()) {
  for (const std::string& text : matcher_.pieces()) {
    Piece piece;
    piece.text = text;
    piece.slash = text.find_first_of(platform::kSeparators) != std::string::npos;
    // Three-byte runs, or the two-byte one of a text of two bytes.
    for (size_t i = text.size() == 2 ? 1 : 2; i < text.size(); ++i) {
      const uint32_t run = text.size() == 2 ? PairRun(text, i) : TripleRun(text, i);
      if (std::find(piece.runs.begin(), piece.runs.end(), run) == piece.runs.end()) {
        piece.runs.push_back(run);
      }
    }
    if (piece.runs.size() > kMaxRuns) {
      std::vector<uint32_t> spread;
      for (size_t i = 0; i < kMaxRuns; ++i) {
        spread.push_back(piece.runs[i * (piece.runs.size() - 1) / (kMaxRuns - 1)]);
      }
      piece.runs = std::move(spread);
    }
    pieces_.push_back(std::move(piece));
  }
}

void SegmentSearch::FindInDirs(const Segment& segment, DirState* dirs) const {
  segment.ReadDirs(&dirs->texts, &dirs->block_dirs);
  const Segment::Records& texts = dirs->texts;
  const std::string& prefix = matcher_.prefix();
  dirs->fits.assign(segment.dirs(), false);
  for (uint32_t dir = 0; dir < segment.dirs(); ++dir) {
    const std::string_view text = texts.Folded(dir);
    dirs->fits[dir] = text.starts_with(prefix) || prefix.starts_with(text);
  }
  const char* end = texts.bytes.data() + texts.bytes.size();
  dirs->holds.assign(pieces_.size(), std::vector<bool>(segment.dirs(), false));
  for (size_t p = 0; p < pieces_.size(); ++p) {
    const std::string& text = pieces_[p].text;
    for (const char* at = texts.bytes.data(); const char* hit = Find(at, end, text);) {
      uint32_t dir = 0;
      at = hit + 1;
      if (!texts.At(hit, text.size(), &dir)) continue;
      dirs->holds[p][dir] = true;
      at = std::max(at, texts.After(dir));
    }
  }
}

void SegmentSearch::AllowDirs(const DirState& dirs, const std::vector<bool>& chosen,
                              std::vector<uint64_t>* allowed) const {
  // Directories chosen before each one, so that a block's range of them is asked at once.
  std::vector<uint32_t> before(1, 0);
  for (const bool one : chosen) before.push_back(before.back() + (one ? 1 : 0));
  if (before.back() == 0) return;
  const uint32_t last = static_cast<uint32_t>(chosen.size()) - 1;
  for (size_t b = 0; 2 * b + 1 < dirs.block_dirs.size(); ++b) {
    const uint32_t low = std::min(dirs.block_dirs[2 * b], last);
    const uint32_t high = std::min(dirs.block_dirs[2 * b + 1], last);
    if (before[high + 1] > before[low]) (*allowed)[b / 64] |= uint64_t{1} << (b % 64);
  }
}

void SegmentSearch::CandidateBlocks(const Segment& segment, const DirState& dirs,
                                    std::vector<uint64_t>* blocks) const {
  const uint32_t words = segment.row_words();
  blocks->assign(words, ~uint64_t{0});
  if (segment.blocks() % 64 != 0) blocks->back() = (uint64_t{1} << (segment.blocks() % 64)) - 1;
  std::vector<uint64_t> allowed;
  std::vector<uint64_t> row(words);
  if (whole_path_ && !matcher_.prefix().empty()) {
    // A mask that begins with a text: only the blocks of directories that can begin so.
    allowed.assign(words, 0);
    AllowDirs(dirs, dirs.fits, &allowed);
    for (uint32_t w = 0; w < words; ++w) (*blocks)[w] &= allowed[w];
  }
  for (size_t p = 0; p < pieces_.size(); ++p) {
    const Piece& piece = pieces_[p];
    // A text with "/" may span a directory and a name; a short one sets no row.
    if (piece.runs.empty() || (whole_path_ && piece.slash)) continue;
    allowed.assign(words, ~uint64_t{0});
    for (const uint32_t run : piece.runs) {
      for (int which = 0; which < RowsOf(run); ++which) {
        segment.ReadRow(SignatureRow(run, which, segment.row_bits()), row.data());
        for (uint32_t w = 0; w < words; ++w) allowed[w] &= row[w];
      }
    }
    if (whole_path_) AllowDirs(dirs, dirs.holds[p], &allowed);
    for (uint32_t w = 0; w < words; ++w) (*blocks)[w] &= allowed[w];
  }
}

bool SegmentSearch::Check(const DirState& dirs, uint32_t file) const {
  const std::string_view name = block_.Folded(file);
  const std::string& prefix = matcher_.prefix();
  if (!whole_path_) {
    if (!name.starts_with(prefix)) return false;
    for (const Piece& piece : pieces_) {
      if (!Contains(name, piece.text)) return false;
    }
    return plain_ || matcher_.Matches(block_.Original(file));
  }
  const uint32_t dir = block_.DirOf(file);
  const std::string_view dir_text = dirs.texts.Folded(dir);
  if (!(prefix.size() <= dir_text.size()
            ? dir_text.starts_with(prefix)
            : prefix.starts_with(dir_text) && name.starts_with(prefix.substr(dir_text.size())))) {
    return false;
  }
  bool built = false;
  for (size_t p = 0; p < pieces_.size(); ++p) {
    if (dirs.holds[p][dir] || Contains(name, pieces_[p].text)) continue;
    if (!pieces_[p].slash) return false;
    if (!built) path_.assign(dir_text).append(name);
    built = true;
    if (!Contains(path_, pieces_[p].text)) return false;
  }
  if (plain_) return true;
  path_.assign(dirs.texts.Original(dir)).append(block_.Original(file));
  return matcher_.Matches(path_);
}

bool SegmentSearch::Blocks(const Segment& segment, const DirState& dirs, uint32_t block,
                           uint32_t count, bool mapped,
                           const std::function<bool(uint32_t file)>& each) const {
  segment.ReadBlocks(block, count, mapped, whole_path_, &block_);
  if (whole_path_ || !plain_ || pieces_.empty()) {
    for (uint32_t file = block_.first; file < block_.last; ++file) {
      if (Check(dirs, file) && !each(file)) return false;
    }
    return true;
  }
  // A plain name: one scan of the blocks' names for the text, whose hits are the answer.
  const std::string& text = pieces_.front().text;
  const char* end = block_.bytes.data() + block_.bytes.size();
  for (const char* at = block_.bytes.data(); const char* hit = Find(at, end, text);) {
    uint32_t file = 0;
    at = hit + 1;
    if (!block_.At(hit, text.size(), &file)) continue;
    if (!each(file)) return false;
    // On to the next file's record: one match a file.
    at = std::max(at, block_.After(file));
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
  size_t candidates = 0;
  for (const uint64_t word : blocks) candidates += static_cast<size_t>(__builtin_popcountll(word));
  // Many blocks: their names are seen in the mapping, where copying each would cost more;
  // most: all are read, many at a time.
  const bool mapped = candidates * 8 > segment.blocks();
  const bool all = candidates * 2 > segment.blocks();
  const auto candidate = [&](uint32_t block) {
    return block < segment.blocks() && (all || ((blocks[block / 64] >> (block % 64)) & 1) != 0);
  };
  for (uint32_t block = 0; block < segment.blocks();) {
    if (!candidate(block)) {
      ++block;
      continue;
    }
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
    // Neighbouring blocks in one read.
    uint32_t count = 1;
    while (count < kScanBlocks && candidate(block + count)) ++count;
    if (!Blocks(segment, dirs, block, count, mapped, each)) return false;
    block += count;
  }
  return true;
}

bool SegmentSearch::Matches(const Segment& segment, uint32_t file) const {
  if (!whole_path_) return matcher_.Matches(segment.Name(file));
  path_.assign(segment.Dir(segment.DirOf(file))).append(segment.Name(file));
  return matcher_.Matches(path_);
}

}  // namespace names
