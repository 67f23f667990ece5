#include "fs/dir_iter.h"

#include <algorithm>
#include <utility>

#include "platform/files.h"
#include "platform/paths.h"
#include "support/pattern.h"
#include "support/text.h"

namespace fs {

namespace {

constexpr size_t kListCount = 6;

size_t ListIndex(MaskListKind kind) { return static_cast<size_t>(kind); }

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

char UpperAscii(uint32_t code) {
  if (code >= 'a' && code <= 'z') return static_cast<char>(code - 32);
  return code < 128 ? static_cast<char>(code) : '\0';
}

bool IsDirectory(const std::string& path) {
  platform::FileInfo info;
  return platform::StatPath(path, &info) && info.kind == platform::EntryKind::kDirectory;
}

void AddSlash(std::string* dir) {
  if (dir->empty() || !platform::IsSeparator(dir->back())) dir->push_back(platform::kSeparator);
}

}  // namespace

uint8_t MaskFlags(std::string_view mask) {
  uint8_t flags = 0;
  const bool star = mask.find('*') != std::string_view::npos;
  const bool question = mask.find('?') != std::string_view::npos;
  if (!star && !question) flags |= kMaskNoWildcard;
  if (mask.empty() || mask.front() != '*') flags |= kMaskAnchorStart;
  if (mask.empty() || mask.back() != '*') flags |= kMaskAnchorEnd;
  if (star) flags |= kMaskHasStar;
  if (question) flags |= kMaskHasQuestion;
  return flags;
}

// Each mask is compiled once, when it is added, and matched against many names.
struct THddRun::CompiledList {
  std::vector<MaskEntry> masks;
  std::vector<support::PatternMatcher> matchers;
};

THddRun::THddRun() : lists_(new CompiledList[kListCount]) {}

THddRun::~THddRun() = default;

const std::vector<MaskEntry>& THddRun::masks(MaskListKind kind) const {
  return lists_[ListIndex(kind)].masks;
}

bool THddRun::AppendMask(MaskListKind kind, std::string_view text, uint8_t flags) {
  CompiledList& list = lists_[ListIndex(kind)];
  if (text.empty() || list.masks.size() >= kMaxMasks) return false;
  list.masks.push_back(MaskEntry{std::string(text), flags, {}});
  list.matchers.emplace_back(text, nullptr, folding_);
  return true;
}

size_t THddRun::AddMasks(MaskListKind kind, std::string_view value, std::string_view parameter) {
  value = support::TrimView(value);
  size_t added = 0;
  while (!value.empty()) {
    const size_t bar = value.find('|');
    const std::string_view piece = support::TrimView(value.substr(0, bar));
    value = bar == std::string_view::npos ? std::string_view() : value.substr(bar + 1);
    if (piece.empty()) continue;
    bool present = false;
    for (const MaskEntry& mask : masks(kind)) {
      if (support::SameText(mask.text, piece)) {
        present = true;
        break;
      }
    }
    if (!present && AppendMask(kind, piece, MaskFlags(piece))) {
      lists_[ListIndex(kind)].masks.back().parameter = parameter;
      ++added;
    }
  }
  return added;
}

bool THddRun::Matches(MaskListKind kind, std::string_view name, bool if_empty) const {
  if (lists_[ListIndex(kind)].masks.empty()) return if_empty;
  return MatchIndex(kind, name) >= 0;
}

int THddRun::MatchIndex(MaskListKind kind, std::string_view name) const {
  const CompiledList& list = lists_[ListIndex(kind)];
  // Match ends are character positions; count the name's characters only when a mask
  // needs it.
  size_t name_chars = 0;
  bool counted = false;
  for (size_t i = 0; i < list.masks.size(); ++i) {
    const uint8_t flags = list.masks[i].flags;
    int match_end = 0;
    const int start = list.matchers[i].Find(name, &match_end);
    if (start == 0) continue;
    if ((flags & kMaskAnchorStart) && start != 1) continue;
    if (flags & kMaskAnchorEnd) {
      if (!counted) {
        name_chars = support::CharCount(name);
        counted = true;
      }
      if (static_cast<size_t>(match_end) != name_chars) continue;
    }
    return static_cast<int>(i);
  }
  return -1;
}

bool THddRun::Matches(MaskListKind kind, std::string_view name) const {
  const bool include = kind == MaskListKind::kIncludeFiles || kind == MaskListKind::kIncludeDirs ||
                       kind == MaskListKind::kIncludeSubdirs;
  return Matches(kind, name, include);
}

std::string THddRun::LeftOutBy(std::string_view name, bool listing, bool entering) const {
  const auto named = [this](MaskListKind kind, int index) {
    const MaskEntry& mask = masks(kind)[static_cast<size_t>(index)];
    return mask.parameter.empty() ? mask.text : mask.parameter + " " + mask.text;
  };
  // Include masks leave out what none of them matches: all of them are the reason.
  const auto none_of = [this](MaskListKind kind) {
    const std::vector<MaskEntry>& list = masks(kind);
    std::string text = list.front().parameter.empty() ? "" : list.front().parameter + " ";
    for (size_t i = 0; i < list.size(); ++i) text += (i > 0 ? "|" : "") + list[i].text;
    return text;
  };
  const std::pair<MaskListKind, MaskListKind> checked[] = {
      {MaskListKind::kExcludeSubdirs, MaskListKind::kIncludeSubdirs},
      {MaskListKind::kExcludeDirs, MaskListKind::kIncludeDirs}};
  for (const auto& [exclude, include] : checked) {
    if (!(exclude == MaskListKind::kExcludeSubdirs ? entering : listing)) continue;
    const int index = MatchIndex(exclude, name);
    if (index >= 0) return named(exclude, index);
    if (!masks(include).empty() && MatchIndex(include, name) < 0) return none_of(include);
  }
  return {};
}

void SplitTextItems(std::string_view text, char separator, support::StringList* items) {
  while (!text.empty()) {
    const size_t end = text.find(separator);
    const std::string_view item = support::TrimView(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!item.empty() && items->IndexOf(item) < 0) items->Add(std::string(item));
  }
}

uint32_t THddRun::ApplyParams(std::string_view params, uint32_t options) {
  support::StringList items;
  SplitTextItems(params, '/', &items);
  for (const std::string& item : items.items()) {
    const char first = UpperAscii(static_cast<unsigned char>(item[0]));
    const bool keyed = first == 'E' || first == 'I' || first == 'N' || first == 'S';
    // A two-letter key takes the next character whatever it is: "/I*.txt" has the key
    // "I*" and the value ".txt".
    char second = ' ';
    size_t value_start = 1;
    if (keyed && item.size() >= 2) {
      size_t pos = 1;
      second = UpperAscii(support::NextChar(item, &pos));
      value_start = pos;
    }
    const std::string_view value = support::TrimView(std::string_view(item).substr(value_start));
    // The item's key as the notes of a walk name it: "/EP".
    const std::string key = std::string("/") + first + second;
    switch (first) {
      case 'I':
      case 'E': {
        const bool include = first == 'I';
        const MaskListKind files =
            include ? MaskListKind::kIncludeFiles : MaskListKind::kExcludeFiles;
        const MaskListKind dirs = include ? MaskListKind::kIncludeDirs : MaskListKind::kExcludeDirs;
        const MaskListKind subdirs =
            include ? MaskListKind::kIncludeSubdirs : MaskListKind::kExcludeSubdirs;
        if (second == 'D') {
          AddMasks(dirs, value, key);
        } else if (second == 'S') {
          AddMasks(subdirs, value, key);
        } else if (second == 'P') {
          AddMasks(subdirs, value, key);
          AddMasks(dirs, value, key);
        } else {
          AddMasks(files, value);
        }
        break;
      }
      case 'N':
        options |= second == 'F' ? walk_option::NoFiles : walk_option::NoDirs;
        break;
      case 'S':
        options |= walk_option::Recurse;
        break;
      default:
        break;
    }
  }
  return options;
}

size_t HeldDirectories() {
  constexpr size_t kShare = 16;
  constexpr size_t kFewest = 2;
  return std::clamp(platform::DescriptorLimit() / kShare, kFewest, kHeldDirectories);
}

bool IsPseudoFileSystem(std::string_view fs_type) {
  static constexpr std::string_view kPseudo[] = {
      "proc",      "sysfs",      "devtmpfs",    "devpts",   "cgroup",    "cgroup2",    "debugfs",
      "tracefs",   "securityfs", "pstore",      "bpf",      "configfs",  "fusectl",    "mqueue",
      "hugetlbfs", "autofs",     "binfmt_misc", "efivarfs", "selinuxfs", "rpc_pipefs", "nsfs"};
  for (std::string_view pseudo : kPseudo) {
    if (fs_type == pseudo) return true;
  }
  return false;
}

bool VolumeBorder::Enters(uint64_t parent_device, uint64_t device) {
  if (device == parent_device) return true;
  return cross_mounts_ && !IsPseudoFileSystem(TypeOf(device));
}

std::string VolumeBorder::TypeOf(uint64_t device) {
  std::string type = platform::FileSystemTypeOf(mounts_, device);
  if (type.empty()) {
    // Not read yet, or mounted since it was.
    mounts_ = platform::MountedFileSystems();
    type = platform::FileSystemTypeOf(mounts_, device);
  }
  return type;
}

namespace {

// Walks one tree. Keeps one level (a reader) per depth and one path buffer for the whole
// walk, so nothing is allocated per entry but the listed lines. At most HeldDirectories()
// levels below the start are open at once: past that the shallowest open one reads the
// rest of its entries ahead and lets its descriptor go, and is reopened by name from the
// nearest open ancestor when one of those entries needs it.
class Walker {
 public:
  Walker(const THddRun& run, uint32_t options, support::StringList* list)
      : run_(run), options_(options), list_(list), border_(run.cross_mounts()) {}

  // Notes a directory that could not be read (when the run collects them).
  void Report(const std::string& dir, const std::string& reason) const {
    if (run_.errors() != nullptr) run_.errors()->push_back({dir, reason});
  }

  // The reader of the start directory, to be opened before WalkOpen(dir, 0).
  platform::DirReader& Start() { return At(0).reader; }

  // Walks the directory held open by the level of `depth`; `dir` ends with "/" and is
  // restored before returning.
  uint64_t WalkOpen(std::string* dir, size_t depth);

 private:
  struct Entry {
    std::string name;
    platform::EntryKind kind;
  };
  struct Level {
    platform::DirReader reader;  // open while the level is held
    size_t name_at = 0;          // where its name begins in the path
    uint64_t device = 0;
    uint64_t inode = 0;
    bool known = false;       // device and inode are known
    bool read_ahead = false;  // its remaining entries are in `rest`, not in the reader
    std::vector<Entry> rest;
    size_t next = 0;
    bool failed = false;  // not read whole, for `error`
    bool lost = false;    // cannot be reopened: its remaining entries go unread
    std::string error;
  };

  Level& At(size_t depth) {
    while (levels_.size() <= depth) levels_.push_back(std::make_unique<Level>());
    return *levels_[depth];
  }
  bool NextEntry(Level& level, std::string_view* name, platform::EntryKind* kind);
  // The subdirectory `name` of the level of `depth`, whose path `dir` now is.
  uint64_t Descend(std::string* dir, size_t depth, std::string_view name, size_t name_at);
  // Makes sure the level of `depth` is open; false (the level lost) when it cannot be
  // reopened, or is another directory now.
  bool Hold(const std::string& dir, size_t depth);
  // Lets the shallowest open levels go while more than held_most_ are open.
  void LetGo();
  void AddLine(const std::string& dir, std::string_view name, bool is_dir);

  const THddRun& run_;
  const uint32_t options_;
  support::StringList* list_;
  VolumeBorder border_;
  std::vector<std::unique_ptr<Level>> levels_;
  size_t held_ = 0;  // open levels below the start
  const size_t held_most_ = HeldDirectories();
};

void Walker::AddLine(const std::string& dir, std::string_view name, bool is_dir) {
  std::string_view prefix;
  if (!(options_ & walk_option::BareNames)) {
    prefix = dir;
    if (options_ & walk_option::RelativeNames) {
      const size_t cut = run_.name_offset() - 1;
      prefix = cut < prefix.size() ? prefix.substr(cut) : std::string_view();
    }
  }
  const bool slash = is_dir && !(options_ & walk_option::NoDirSlash);
  std::string line;
  line.reserve(prefix.size() + name.size() + (slash ? 1 : 0));
  line.append(prefix);
  line.append(name);
  if (slash) line.push_back(platform::kSeparator);
  list_->Add(std::move(line));
}

bool Walker::NextEntry(Level& level, std::string_view* name, platform::EntryKind* kind) {
  if (!level.read_ahead) return level.reader.Next(name, kind);
  if (level.next >= level.rest.size()) return false;
  const Entry& entry = level.rest[level.next++];
  *name = entry.name;
  *kind = entry.kind;
  return true;
}

void Walker::LetGo() {
  for (size_t depth = 1; held_ > held_most_ && depth < levels_.size(); ++depth) {
    Level& level = *levels_[depth];
    if (!level.reader.IsOpen()) continue;
    if (!level.read_ahead) {
      std::string_view name;
      platform::EntryKind kind;
      while (level.reader.Next(&name, &kind)) level.rest.push_back({std::string(name), kind});
      if (level.reader.Failed()) {
        level.failed = true;
        level.error = level.reader.ErrorText();
      }
      level.read_ahead = true;
    }
    level.reader.Close();
    --held_;
  }
}

bool Walker::Hold(const std::string& dir, size_t depth) {
  Level& level = *levels_[depth];
  if (level.reader.IsOpen()) return true;
  if (level.lost) return false;
  // The start never lets go, so an open ancestor is always found.
  size_t from = depth;
  while (!levels_[from - 1]->reader.IsOpen()) --from;
  for (size_t i = from; i <= depth; ++i) {
    Level& each = *levels_[i];
    const size_t end = dir.find_first_of(platform::kSeparators, each.name_at);
    const std::string_view name = std::string_view(dir).substr(each.name_at, end - each.name_at);
    platform::FileInfo self;
    bool same = levels_[i - 1]->reader.OpenChild(name, &each.reader);
    std::string why = each.reader.ErrorText();
    if (same) {
      ++held_;
      // Swapped for another directory meanwhile: that one's entries are not these.
      if (each.known && (!each.reader.StatSelf(&self) || self.device != each.device ||
                         self.inode != each.inode)) {
        same = false;
        why = "replaced while it was read";
        each.reader.Close();
        --held_;
      }
    }
    if (!same) {
      level.lost = true;
      level.failed = true;
      level.error = why;
      return false;
    }
    LetGo();
  }
  return true;
}

uint64_t Walker::Descend(std::string* dir, size_t depth, std::string_view name, size_t name_at) {
  if (!Hold(*dir, depth)) return 0;
  Level& parent = *levels_[depth];
  platform::FileInfo info;
  if (!parent.known && parent.reader.StatSelf(&info)) {
    parent.known = true;
    parent.device = info.device;
    parent.inode = info.inode;
  }
  Level& child = At(depth + 1);
  child.name_at = name_at;
  child.read_ahead = false;
  child.rest.clear();
  child.next = 0;
  child.failed = false;
  child.lost = false;
  child.error.clear();
  // Looked at before it is opened: opening the mount point of an automounter mounts it.
  child.known = parent.reader.Stat(name, &info);
  child.device = child.known ? info.device : parent.device;
  child.inode = child.known ? info.inode : 0;
  if (parent.known && !border_.Enters(parent.device, child.device)) {
    if (run_.other_volumes() != nullptr) run_.other_volumes()->push_back(*dir);
    return 0;
  }
  // Opened relative to its parent: no link is followed, and no path is too long. One
  // that cannot be opened (no access, removed meanwhile) counts 0.
  if (!parent.reader.OpenChild(name, &child.reader)) {
    Report(*dir, child.reader.ErrorText());
    return 0;
  }
  ++held_;
  LetGo();
  const uint64_t total = WalkOpen(dir, depth + 1);
  if (child.reader.IsOpen()) {
    child.reader.Close();
    --held_;
  }
  child.rest.clear();
  return total;
}

uint64_t Walker::WalkOpen(std::string* dir, size_t depth) {
  Level& level = *levels_[depth];
  const size_t dir_size = dir->size();
  uint64_t total = 0;
  std::string_view name;
  platform::EntryKind kind;
  const bool sum_sizes = (options_ & walk_option::SumSizes) != 0;
  WalkRecorder* recorder = sum_sizes ? run_.recorder() : nullptr;
  const bool deferred = recorder != nullptr && recorder->BeginDirectory(*dir, level.reader);
  while (NextEntry(level, &name, &kind)) {
    if (run_.StopRequested()) {
      if (recorder != nullptr) recorder->EndDirectory(false);
      return total;
    }
    if (kind == platform::EntryKind::kDirectory) {
      const bool listing = !(options_ & walk_option::NoDirs);
      const bool entering = (options_ & walk_option::Recurse) != 0;
      const bool listed = listing && run_.Matches(MaskListKind::kIncludeDirs, name) &&
                          !run_.Matches(MaskListKind::kExcludeDirs, name);
      const bool entered = entering && run_.Matches(MaskListKind::kIncludeSubdirs, name) &&
                           !run_.Matches(MaskListKind::kExcludeSubdirs, name);
      if (listed) AddLine(*dir, name, true);
      if (run_.left_out() != nullptr && ((listing && !listed) || (entering && !entered))) {
        run_.left_out()->push_back({*dir + std::string(name) + platform::kSeparator,
                                    run_.LeftOutBy(name, listing, entering)});
      }
      if (entered) {
        dir->append(name);
        dir->push_back(platform::kSeparator);
        total += Descend(dir, depth, name, dir_size);
        dir->resize(dir_size);
      }
    } else if (kind == platform::EntryKind::kFile) {
      if (deferred) {
        recorder->FileToLookUp(name);
      } else if (sum_sizes) {
        platform::FileInfo info;
        const bool found = Hold(*dir, depth) && level.reader.Stat(name, &info);
        if (found) total += info.size;
        if (recorder != nullptr) recorder->File(name, found ? &info : nullptr);
      }
      if (!(options_ & walk_option::NoFiles) && run_.ListsFile(name)) AddLine(*dir, name, false);
    }
    // Links, FIFOs, sockets and devices are neither listed nor counted.
  }
  if (!level.read_ahead && level.reader.Failed()) {
    level.failed = true;
    level.error = level.reader.ErrorText();
  }
  if (level.failed) Report(*dir, level.error);
  if (recorder != nullptr) recorder->EndDirectory(!level.failed);
  return total;
}

}  // namespace

int64_t FilesToStringsSx(support::StringList* list, std::string_view path, uint32_t options,
                         THddRun* run, std::string_view base, std::string_view params) {
  std::unique_ptr<THddRun> temporary;
  if (run == nullptr) {
    temporary = std::make_unique<THddRun>();
    run = temporary.get();
  }
  run->set_output(list);

  // A path that names a directory as a whole is never split: "/" is also the path
  // separator here, so parameters begin only at a "/" that follows a blank.
  std::string start(path);
  std::string all_params(params);
  if (!IsDirectory(start)) {
    start = support::Trim(start);
    if (!IsDirectory(start)) {
      for (size_t i = 1; i < start.size(); ++i) {
        if (start[i] == '/' && IsBlank(start[i - 1])) {
          all_params += support::TrimView(std::string_view(start).substr(i));
          start = support::Trim(std::string_view(start).substr(0, i));
          break;
        }
      }
    }
  }

  std::string mask;
  if (start.empty()) {
    start = platform::CurrentDir();
  } else if (IsDirectory(start)) {
    AddSlash(&start);
  } else {
    const size_t slash = start.find_last_of(platform::kSeparators);
    if (slash == std::string::npos) {
      // A bare mask applies to the current directory.
      mask = start;
      start = platform::CurrentDir();
    } else {
      mask = start.substr(slash + 1);
      start.resize(slash + 1);
    }
  }
  AddSlash(&start);

  if (!all_params.empty()) options = run->ApplyParams(all_params, options);

  // Masks from the path are taken as written and not anchored.
  std::string_view masks = mask;
  while (!masks.empty()) {
    const size_t bar = masks.find('|');
    const std::string_view piece = masks.substr(0, bar);
    masks = bar == std::string_view::npos ? std::string_view() : masks.substr(bar + 1);
    if (!piece.empty()) run->AppendMask(MaskListKind::kIncludeFiles, piece, kMaskNoWildcard);
  }

  Walker walker(*run, options, list);
  if (!walker.Start().Open(start)) {
    walker.Report(start, walker.Start().ErrorText());
    return -1;
  }
  run->set_name_offset(1 + (base.empty() ? start.size() : base.size()));
  const uint64_t total = walker.WalkOpen(&start, 0);
  return (options & walk_option::SumSizes) ? static_cast<int64_t>(total) : 0;
}

int64_t FilesToStringsAt(support::StringList* list, const platform::DirHandle& dir,
                         const std::string& path, uint32_t options, THddRun* run,
                         std::string_view params) {
  std::unique_ptr<THddRun> temporary;
  if (run == nullptr) {
    temporary = std::make_unique<THddRun>();
    run = temporary.get();
  }
  run->set_output(list);
  if (!params.empty()) options = run->ApplyParams(params, options);
  std::string start = path;
  AddSlash(&start);
  Walker walker(*run, options, list);
  if (!walker.Start().Open(dir)) {
    walker.Report(start, walker.Start().ErrorText());
    return -1;
  }
  run->set_name_offset(1 + start.size());
  const uint64_t total = walker.WalkOpen(&start, 0);
  return (options & walk_option::SumSizes) ? static_cast<int64_t>(total) : 0;
}

}  // namespace fs
