#include "names/name_segment.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "support/case_fold.h"

namespace names {

namespace {

constexpr char kMagic[8] = {'C', 'H', 'K', 'N', 'A', 'M', 'E', 'S'};

enum Section {
  kSizes,
  kTimes,
  kKeys,
  kFileDirs,
  kNameAt,
  kNameFolded,
  kNameBytes,
  kDirAt,
  kDirFolded,
  kDirBytes,
  kBlockDirs,
  kByKey,
  kSignature,
  kSections
};

struct Header {
  char magic[8];
  uint32_t version, files, dirs, blocks, keyed, row_bits;
  uint64_t names_size, dirs_size;
  uint64_t offset[kSections];
  uint64_t total;
  uint64_t check;  // over the header with this field 0
};

uint64_t Fnv1a(const void* data, size_t size) {
  uint64_t hash = 1469598103934665603ull;
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 1099511628211ull;
  }
  return hash;
}

uint64_t HeaderCheck(Header header) {
  header.check = 0;
  return Fnv1a(&header, sizeof(header));
}

// Bytes each section takes for the counts of the header.
void SectionSizes(const Header& h, uint64_t row_words, uint64_t* sizes) {
  const uint64_t files = h.files;
  const uint64_t dirs = h.dirs;
  sizes[kSizes] = sizes[kTimes] = sizes[kKeys] = 8 * files;
  sizes[kFileDirs] = sizes[kNameFolded] = 4 * files;
  sizes[kNameAt] = 4 * (files + 1);
  sizes[kNameBytes] = h.names_size;
  sizes[kDirAt] = 4 * (dirs + 1);
  sizes[kDirFolded] = 4 * dirs;
  sizes[kDirBytes] = h.dirs_size;
  sizes[kBlockDirs] = 8 * uint64_t{h.blocks};
  sizes[kByKey] = 4 * uint64_t{h.keyed};
  sizes[kSignature] = 8 * (uint64_t{1} << h.row_bits) * row_words;
}

uint32_t BlocksOf(uint32_t files) { return (files + kBlockFiles - 1) / kBlockFiles; }
uint32_t WordsOf(uint32_t blocks) { return (blocks + 63) / 64; }

// Enough rows that a full block of names sets about a fifth of them; fewer for a small
// list, whose few blocks are read whole anyway.
uint32_t RowBitsFor(uint32_t files) {
  uint32_t bits = 8;
  while (bits < 12 && (uint64_t{1} << bits) < uint64_t{files} * 256) ++bits;
  return bits;
}

template <typename T>
void Append(std::string* out, const std::vector<T>& values) {
  out->append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

}  // namespace

void SegmentWriter::Texts::Add(std::string_view text, std::string* fold_buffer) {
  support::FoldNameInto(text, fold_buffer);
  bytes.append(*fold_buffer);
  folded.push_back(static_cast<uint32_t>(fold_buffer->size()));
  if (*fold_buffer != text) bytes.append(text);
  if (bytes.size() > UINT32_MAX) too_large = true;
  at.push_back(static_cast<uint32_t>(bytes.size()));
}

uint32_t SegmentWriter::AddDirectory(std::string_view path) {
  dirs_.Add(path, &fold_buffer_);
  return static_cast<uint32_t>(dirs_.folded.size() - 1);
}

void SegmentWriter::AddFile(uint32_t dir, std::string_view name, uint64_t size,
                            uint64_t write_time, int64_t key) {
  names_.Add(name, &fold_buffer_);
  sizes_.push_back(size);
  times_.push_back(write_time);
  keys_.push_back(key);
  file_dirs_.push_back(dir);
}

std::string SegmentWriter::Finish() {
  if (names_.too_large || dirs_.too_large) return {};
  Header h{};
  std::memcpy(h.magic, kMagic, sizeof(kMagic));
  h.version = kSegmentVersion;
  h.files = static_cast<uint32_t>(sizes_.size());
  h.dirs = static_cast<uint32_t>(dirs_.folded.size());
  h.blocks = BlocksOf(h.files);
  h.row_bits = RowBitsFor(h.files);
  h.names_size = names_.bytes.size();
  h.dirs_size = dirs_.bytes.size();

  const uint32_t words = WordsOf(h.blocks);
  std::vector<uint64_t> signature((size_t{1} << h.row_bits) * words);
  std::vector<uint32_t> block_dirs(2 * size_t{h.blocks});
  for (uint32_t file = 0; file < h.files; ++file) {
    const uint32_t block = file / kBlockFiles;
    const uint64_t bit = uint64_t{1} << (block % 64);
    const char* name = names_.bytes.data() + names_.at[file];
    const uint32_t length = names_.folded[file];
    const std::string_view text(name, length);
    const auto set = [&](uint32_t run) {
      for (int which = 0; which < RowsOf(run); ++which) {
        signature[size_t{SignatureRow(run, which, h.row_bits)} * words + block / 64] |= bit;
      }
    };
    for (uint32_t i = 1; i < length; ++i) {
      set(PairRun(text, i));
      if (i >= 2) set(TripleRun(text, i));
    }
    uint32_t* range = &block_dirs[2 * size_t{block}];
    if (file % kBlockFiles == 0) range[0] = range[1] = file_dirs_[file];
    range[0] = std::min(range[0], file_dirs_[file]);
    range[1] = std::max(range[1], file_dirs_[file]);
  }
  std::vector<uint32_t> by_key;
  for (uint32_t file = 0; file < h.files; ++file) {
    if (keys_[file] >= 0 && sizes_[file] > 0) by_key.push_back(file);
  }
  std::sort(by_key.begin(), by_key.end(), [&](uint32_t a, uint32_t b) {
    if (keys_[a] != keys_[b]) return keys_[a] < keys_[b];
    if (sizes_[a] != sizes_[b]) return sizes_[a] < sizes_[b];
    return a < b;
  });
  h.keyed = static_cast<uint32_t>(by_key.size());

  uint64_t sizes[kSections];
  SectionSizes(h, words, sizes);
  uint64_t at = sizeof(Header);
  for (int s = 0; s < kSections; ++s) {
    h.offset[s] = at;
    at = (at + sizes[s] + 7) / 8 * 8;
  }
  h.total = at;
  h.check = HeaderCheck(h);

  std::string out;
  out.reserve(h.total);
  out.append(reinterpret_cast<const char*>(&h), sizeof(h));
  const auto section = [&](int s, auto&& write) {
    out.resize(h.offset[s], '\0');
    write();
  };
  section(kSizes, [&] { Append(&out, sizes_); });
  section(kTimes, [&] { Append(&out, times_); });
  section(kKeys, [&] { Append(&out, keys_); });
  section(kFileDirs, [&] { Append(&out, file_dirs_); });
  section(kNameAt, [&] { Append(&out, names_.at); });
  section(kNameFolded, [&] { Append(&out, names_.folded); });
  section(kNameBytes, [&] { out += names_.bytes; });
  section(kDirAt, [&] { Append(&out, dirs_.at); });
  section(kDirFolded, [&] { Append(&out, dirs_.folded); });
  section(kDirBytes, [&] { out += dirs_.bytes; });
  section(kBlockDirs, [&] { Append(&out, block_dirs); });
  section(kByKey, [&] { Append(&out, by_key); });
  section(kSignature, [&] { Append(&out, signature); });
  out.resize(h.total, '\0');
  return out;
}

namespace {

// The header, if `bytes` begin with one of a whole segment of `size` bytes of this version.
bool ReadHeader(std::string_view bytes, uint64_t size, Header* h) {
  if (bytes.size() < sizeof(Header)) return false;
  std::memcpy(h, bytes.data(), sizeof(Header));
  if (std::memcmp(h->magic, kMagic, sizeof(kMagic)) != 0 || h->version != kSegmentVersion ||
      h->check != HeaderCheck(*h) || h->total != size || h->blocks != BlocksOf(h->files) ||
      h->row_bits < 8 || h->row_bits > 16 || h->keyed > h->files ||
      (h->files > 0 && h->dirs == 0)) {
    return false;
  }
  uint64_t sizes[kSections];
  SectionSizes(*h, WordsOf(h->blocks), sizes);
  for (int s = 0; s < kSections; ++s) {
    if (h->offset[s] % 8 != 0 || h->offset[s] < sizeof(Header) || h->offset[s] > size ||
        sizes[s] > size - h->offset[s]) {
      return false;
    }
  }
  return true;
}

}  // namespace

size_t Segment::HeaderBytes() { return sizeof(Header); }

bool Segment::HeaderFits(std::string_view header, uint64_t size) {
  Header h;
  return ReadHeader(header, size, &h);
}

bool Segment::Open(const char* data, uint64_t size) {
  Header h;
  if (data == nullptr || reinterpret_cast<uintptr_t>(data) % 8 != 0 ||
      !ReadHeader(std::string_view(data, std::min<uint64_t>(size, sizeof(h))), size, &h)) {
    return false;
  }
  Attach(data, &h);
  return true;
}

void Segment::Attach(const char* data, const void* header) {
  const Header& h = *static_cast<const Header*>(header);
  const auto at = [&](int s) { return data + h.offset[s]; };
  files_ = h.files;
  dirs_ = h.dirs;
  blocks_ = h.blocks;
  keyed_ = h.keyed;
  row_bits_ = h.row_bits;
  row_words_ = WordsOf(h.blocks);
  sizes_ = reinterpret_cast<const uint64_t*>(at(kSizes));
  times_ = reinterpret_cast<const uint64_t*>(at(kTimes));
  keys_ = reinterpret_cast<const int64_t*>(at(kKeys));
  file_dirs_ = reinterpret_cast<const uint32_t*>(at(kFileDirs));
  block_dirs_ = reinterpret_cast<const uint32_t*>(at(kBlockDirs));
  by_key_ = reinterpret_cast<const uint32_t*>(at(kByKey));
  signature_ = reinterpret_cast<const uint64_t*>(at(kSignature));
  names_ = {reinterpret_cast<const uint32_t*>(at(kNameAt)),
            reinterpret_cast<const uint32_t*>(at(kNameFolded)), at(kNameBytes), h.names_size,
            h.files};
  dir_texts_ = {reinterpret_cast<const uint32_t*>(at(kDirAt)),
                reinterpret_cast<const uint32_t*>(at(kDirFolded)), at(kDirBytes), h.dirs_size,
                h.dirs};
}

bool Segment::Open(const platform::MappedFile* file) {
  // The header read, not touched in the mapping: a first touch costs a fault.
  file_ = nullptr;
  Header h;
  char bytes[sizeof(Header)];
  if (file->data() == nullptr || !file->ReadAt(0, bytes, sizeof(bytes)) ||
      !ReadHeader(std::string_view(bytes, sizeof(bytes)), file->size(), &h)) {
    return false;
  }
  Attach(file->data(), &h);
  file_ = file;
  return true;
}

void Segment::Copy(const void* at, uint64_t length, void* out) const {
  if (length == 0) return;
  if (file_ != nullptr &&
      file_->ReadAt(static_cast<uint64_t>(static_cast<const char*>(at) - file_->data()), out,
                    length)) {
    return;
  }
  std::memcpy(out, at, length);
}

void Segment::ReadRow(uint32_t row, uint64_t* out) const {
  Copy(Row(row), 8 * uint64_t{row_words_}, out);
}

void Segment::ReadRecords(const Texts& texts, uint32_t first, uint32_t last, bool mapped,
                          Records* out) const {
  out->first = first;
  out->last = last;
  const uint32_t count = last - first;
  out->at.resize(count + 1);
  out->folded.resize(count);
  Copy(texts.at + first, 4 * (uint64_t{count} + 1), out->at.data());
  Copy(texts.folded + first, 4 * uint64_t{count}, out->folded.data());
  // Kept inside the texts whatever the offsets say.
  for (uint32_t& at : out->at) at = static_cast<uint32_t>(std::min<uint64_t>(at, texts.size));
  out->base = out->at.front();
  const uint64_t end = std::max<uint64_t>(out->base, out->at.back());
  if (mapped) {
    out->bytes = std::string_view(texts.bytes + out->base, end - out->base);
    return;
  }
  out->copy.resize(end - out->base);
  Copy(texts.bytes + out->base, end - out->base, out->copy.data());
  out->bytes = out->copy;
}

void Segment::ReadBlocks(uint32_t block, uint32_t count, bool mapped, bool with_dirs,
                         Block* out) const {
  const uint32_t first = std::min(block * kBlockFiles, files_);
  const auto last =
      static_cast<uint32_t>(std::min<uint64_t>(uint64_t{block + count} * kBlockFiles, files_));
  ReadRecords(names_, first, last, mapped, out);
  out->dirs.clear();
  if (!with_dirs) return;
  out->dirs.resize(last - first);
  Copy(file_dirs_ + first, 4 * uint64_t{last - first}, out->dirs.data());
  for (uint32_t& dir : out->dirs) dir = dir < dirs_ ? dir : 0;
}

void Segment::ReadDirs(Records* out, std::vector<uint32_t>* block_dirs) const {
  ReadRecords(dir_texts_, 0, dirs_, false, out);
  block_dirs->resize(2 * size_t{blocks_});
  Copy(block_dirs_, 8 * uint64_t{blocks_}, block_dirs->data());
}

bool Segment::Records::At(const char* hit, uint64_t length, uint32_t* record) const {
  const uint64_t offset = base + static_cast<uint64_t>(hit - bytes.data());
  const auto found = std::upper_bound(at.begin(), at.end() - 1, offset);
  if (found == at.begin()) return false;
  const size_t i = static_cast<size_t>(found - at.begin() - 1);
  *record = first + static_cast<uint32_t>(i);
  return offset >= at[i] && offset + length <= uint64_t{at[i]} + folded[i] &&
         offset + length <= base + bytes.size();
}

const char* Segment::Records::After(uint32_t record) const {
  const uint64_t next = at[record - first + 1];
  return bytes.data() + (next >= base ? std::min<uint64_t>(next - base, bytes.size()) : 0);
}

std::string_view Segment::Records::Folded(uint32_t record) const {
  const uint64_t start = std::min<uint64_t>(at[record - first] - base, bytes.size());
  return bytes.substr(start, std::min<uint64_t>(folded[record - first], bytes.size() - start));
}

std::string_view Segment::Records::Original(uint32_t record) const {
  const std::string_view text = Folded(record);
  const uint64_t start = static_cast<uint64_t>(text.data() - bytes.data()) + text.size();
  const uint64_t next = static_cast<uint64_t>(After(record) - bytes.data());
  if (next <= start) return text;
  return bytes.substr(start, next - start);
}

void Segment::ReadRecord(const Texts& texts, uint32_t record, std::string* out) const {
  uint32_t at[2];
  uint32_t folded = 0;
  Copy(texts.at + record, sizeof(at), at);
  Copy(texts.folded + record, sizeof(folded), &folded);
  const uint64_t start = std::min<uint64_t>(at[0], texts.size);
  const uint64_t end = std::max(start, std::min<uint64_t>(at[1], texts.size));
  std::string both(end - start, '\0');
  Copy(texts.bytes + start, end - start, both.data());
  // The record's original follows its folded form when the two differ.
  if (folded < both.size()) {
    out->append(both, folded, std::string::npos);
  } else {
    out->append(both);
  }
}

void Segment::ReadKeyed(std::vector<Keyed>* out) const {
  // Read over whole: no need to clear first.
  const auto keys = std::make_unique_for_overwrite<int64_t[]>(files_);
  const auto sizes = std::make_unique_for_overwrite<uint64_t[]>(files_);
  const auto order = std::make_unique_for_overwrite<uint32_t[]>(keyed_);
  Copy(keys_, 8 * uint64_t{files_}, keys.get());
  Copy(sizes_, 8 * uint64_t{files_}, sizes.get());
  Copy(by_key_, 4 * uint64_t{keyed_}, order.get());
  out->clear();
  out->reserve(keyed_);
  for (uint32_t i = 0; i < keyed_; ++i) {
    const uint32_t file = order[i];
    if (file < files_) out->push_back({keys[file], sizes[file], file});
  }
}

void Segment::ReadFacts(uint32_t file, Facts* out) const {
  Copy(sizes_ + file, 8, &out->size);
  Copy(times_ + file, 8, &out->write_time);
  Copy(keys_ + file, 8, &out->key);
  uint32_t dir = 0;
  Copy(file_dirs_ + file, 4, &dir);
  out->path.clear();
  ReadRecord(dir_texts_, dir < dirs_ ? dir : 0, &out->path);
  ReadRecord(names_, file, &out->path);
}

uint64_t Segment::Start(const Texts& texts, uint32_t record) {
  return std::min<uint64_t>(texts.at[record], texts.size);
}

std::string_view Segment::Folded(const Texts& texts, uint32_t record) {
  const uint64_t start = Start(texts, record);
  const uint64_t end = std::min<uint64_t>(start + texts.folded[record], texts.size);
  return {texts.bytes + start, end - start};
}

std::string_view Segment::Original(const Texts& texts, uint32_t record) {
  const std::string_view folded = Folded(texts, record);
  const uint64_t start = static_cast<uint64_t>(folded.data() - texts.bytes) + folded.size();
  const uint64_t next = Start(texts, record + 1);
  if (next <= start) return folded;
  return {texts.bytes + start, next - start};
}

bool Segment::RecordAt(const Texts& texts, uint32_t first, uint32_t last, uint64_t offset,
                       uint64_t length, uint32_t* record) {
  const uint32_t* found =
      std::upper_bound(texts.at + first, texts.at + last, static_cast<uint32_t>(offset));
  if (found == texts.at + first) return false;
  *record = static_cast<uint32_t>(found - texts.at - 1);
  const std::string_view folded = Folded(texts, *record);
  const uint64_t start = static_cast<uint64_t>(folded.data() - texts.bytes);
  return offset >= start && offset + length <= start + folded.size();
}

uint32_t Segment::DirOf(uint32_t file) const {
  return file_dirs_[file] < dirs_ ? file_dirs_[file] : 0;
}

uint32_t Segment::KeyedFile(uint32_t at) const {
  return by_key_[at] < files_ ? by_key_[at] : 0;
}

}  // namespace names
