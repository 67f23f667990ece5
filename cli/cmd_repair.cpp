// "repair": the damaged files of an id list mended from proven copies on other volumes.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue_index.h"
#include "catalogue/mounted.h"
#include "catalogue/volumes.h"
#include "cli/catalogue_access.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/compare_report.h"
#include "cli/now.h"
#include "cli/terminal_msg.h"
#include "cli/terminal_text.h"
#include "lists/list_reader.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "repair/copy_finder.h"
#include "repair/mend_history.h"
#include "repair/repair_file.h"
#include "scan/scan_problem.h"
#include "scrub/history.h"
#include "scrub/volume_run.h"
#include "support/text.h"

namespace cli {

namespace {

using repair::Outcome;

constexpr int kExitStopped = 130;

// The class column of verify's lines: the class, blanks to column 16.
std::string Row(const std::string& word, const std::string& text) {
  std::string row = word;
  row.resize(15, ' ');
  return row + text + "\n";
}

// Verify's words for where the list's volume is, said of a repair.
std::string OfRepair(std::string message) {
  for (const auto& [from, to] :
       {std::pair<std::string, std::string>{"cannot verify ", "cannot repair "},
        {"; verifying ", "; repairing "}}) {
    const size_t at = message.find(from);
    if (at != std::string::npos) message.replace(at, from.size(), to);
  }
  return message;
}

std::string DamageText(repair::Damage damage) {
  switch (damage) {
    case repair::Damage::kCorrupted:
      return "corrupted";
    case repair::Damage::kUnreadable:
    case repair::Damage::kPlaceholder:
      return "unreadable";
    case repair::Damage::kMissing:
      return "missing";
    case repair::Damage::kChanged:
      return "changed";
    case repair::Damage::kChanging:
      return "being written";
    case repair::Damage::kNone:
      break;
  }
  return "unchanged";
}

std::string UnprovenText(const repair::NotProven& copy) {
  switch (copy.why) {
    case repair::Unproven::kUnreadable:
      return copy.path + " cannot be read";
    case repair::Unproven::kMissing:
      return copy.path + " is gone";
    case repair::Unproven::kSize:
      return copy.path + " has another size";
    case repair::Unproven::kWriteTime:
      return copy.path + " has another write time (--any-time lets it serve)";
    case repair::Unproven::kPlaceholder:
      return copy.path + " is not on this disk: a placeholder (--read-placeholders lets it serve)";
    case repair::Unproven::kId:
      break;
  }
  return copy.path + " has another id on its disk";
}

// Why the file is left as it is.
std::string Reason(const repair::FileRepair& done) {
  switch (done.outcome) {
    case Outcome::kChanged:
      return "changed since the list was written (another size or write time); scan it again";
    case Outcome::kChanging:
      return "it changed while it was read; try again when it is written";
    case Outcome::kMissingKept:
      return "it may have been deleted on purpose; --missing mends it";
    case Outcome::kPlaceholder:
      return std::string(scan::kPlaceholder) + "; --read-placeholders fetches it to check it";
    case Outcome::kNoCopy: {
      if (done.not_proven.empty()) return "no copy on another volume mounted now";
      std::string text = "no proven copy: ";
      for (size_t i = 0; i < done.not_proven.size(); ++i) {
        text += (i == 0 ? "" : ", ") + UnprovenText(done.not_proven[i]);
      }
      return text;
    }
    case Outcome::kCopiesDiffer:
      return "the proven copies " + done.copy + " and " + done.other_copy + " differ";
    case Outcome::kReadOnly:
      return "its volume is mounted read-only";
    case Outcome::kFailed:
      return done.error + "; the damaged file is left as it was";
    case Outcome::kSound:
    case Outcome::kMended:
    case Outcome::kWouldMend:
    case Outcome::kStopped:
      break;
  }
  return {};
}

std::string OutcomeLine(const std::string& path, const repair::FileRepair& done) {
  const std::string what = path + " (" + DamageText(done.damage) + ")";
  if (done.outcome == Outcome::kWouldMend) return Row("would mend", what + " from " + done.copy);
  if (done.outcome != Outcome::kMended) return Row("not mended", what + ": " + Reason(done));
  std::string text = what + " from " + done.copy;
  if (!done.kept.empty()) text += "; the damaged file kept as " + done.kept;
  return Row("mended", text);
}

// The event's word in --format jsonl.
std::string_view ActionWord(Outcome outcome) {
  switch (outcome) {
    case Outcome::kMended:
      return "mended";
    case Outcome::kWouldMend:
      return "would mend";
    case Outcome::kChanged:
    case Outcome::kChanging:
    case Outcome::kMissingKept:
    case Outcome::kPlaceholder:
      return "skipped";
    case Outcome::kFailed:
      return "failed";
    case Outcome::kNoCopy:
    case Outcome::kCopiesDiffer:
    case Outcome::kReadOnly:
    case Outcome::kSound:
    case Outcome::kStopped:
      break;
  }
  return "refused";
}

// One JSON object a line; "class", "volume", "path" and "note" as scrub's lines have them.
std::string OutcomeJson(const std::string& volume, const std::string& path,
                        const repair::FileRepair& done) {
  std::string json = "{\"class\":";
  AppendJsonString(&json, DamageText(done.damage));
  json += ",\"volume\":";
  AppendJsonString(&json, volume);
  json += ",\"path\":";
  AppendJsonString(&json, path);
  json += ",\"action\":";
  AppendJsonString(&json, ActionWord(done.outcome));
  for (const auto& [name, text] : {std::pair<const char*, const std::string&>{"copy", done.copy},
                                   {"other_copy", done.other_copy},
                                   {"kept", done.kept}}) {
    if (text.empty()) continue;
    json += std::string(",\"") + name + "\":";
    AppendJsonString(&json, text);
  }
  const std::string note = Reason(done);
  if (!note.empty()) {
    json += ",\"note\":";
    AppendJsonString(&json, note);
  }
  return json + "}\n";
}

// Whether the file is one of the PATHs (or below one): where it is now or as listed.
// Each PATH that names it is marked in `matched`.
bool Named(const std::vector<std::string>& paths, const std::string& now, const std::string& listed,
           std::vector<bool>* matched) {
  bool named = false;
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string folder = support::WithTrailingSlash(paths[i]);
    for (const std::string* file : {&now, &listed}) {
      if (*file == paths[i] || file->rfind(folder, 0) == 0) {
        named = true;
        (*matched)[i] = true;
      }
    }
  }
  return named;
}

struct Setting {
  std::vector<std::string> paths;  // absolute; empty with --all
  std::string base;                // where the list's search path is now
  catalogue::CatalogueList own;
  std::vector<catalogue::CatalogueList> lists;
  std::vector<catalogue::MountedVolume> mounted;
  repair::RepairOptions options;
  bool jsonl = false;
};

// The scrub history seen as repair asks it: repair names a file by its list's volume
// and the path as listed, the history by the volume's key and the path on the volume.
static_assert(static_cast<int>(repair::LastVerdict::kMissing) ==
              static_cast<int>(scrub::Verdict::kMissing));

class ScrubMendHistory : public repair::MendHistory {
 public:
  ScrubMendHistory(scrub::History* history, const std::vector<catalogue::CatalogueList>* lists,
                   const catalogue::CatalogueList* own)
      : history_(history), lists_(lists), own_(own) {}

  std::optional<repair::LastVerdict> LastVerdictOf(const repair::FileKey& key) override {
    std::optional<scrub::FileKey> known = KeyOf(key);
    if (!known) return std::nullopt;
    const std::optional<scrub::LastCheck> last = history_->Last(*known);
    if (!last || last->verdict == scrub::Verdict::kMended) return std::nullopt;
    return static_cast<repair::LastVerdict>(static_cast<int>(last->verdict));
  }

  void RecordMend(const repair::FileKey& key, platform::FileTime time,
                  const std::string& copy_path) override {
    std::optional<scrub::FileKey> known = KeyOf(key);
    if (!known) return;
    if (!history_->RecordMend(*known, platform::UnixSecondsOf(time), copy_path)) {
      PrintMessage("repair: the history kept no record of the mend: " + history_->error());
    }
  }

 private:
  std::optional<scrub::FileKey> KeyOf(const repair::FileKey& key) const {
    const std::optional<int64_t> id = catalogue::ContentKey(key.id);
    if (!id) return std::nullopt;
    const catalogue::CatalogueList* list = nullptr;
    if (repair::VolumeKey(*own_) == key.volume) list = own_;
    for (size_t i = 0; list == nullptr && i < lists_->size(); ++i) {
      if (repair::VolumeKey((*lists_)[i]) == key.volume) list = &(*lists_)[i];
    }
    if (list == nullptr) return std::nullopt;
    return scrub::FileKey{scrub::VolumeKey(*list), catalogue::PathOnVolume(*list, key.path),
                          key.size, key.write_time, *id};
  }

  scrub::History* history_;
  const std::vector<catalogue::CatalogueList>* lists_;
  const catalogue::CatalogueList* own_;
};

// Where the file of `listed` is now: below the list's volume as it is mounted now.
std::string NowPath(const std::string& listed, const std::string& search_path,
                    const Setting& setting) {
  return listed.rfind(search_path, 0) == 0 ? setting.base + listed.substr(search_path.size())
                                           : listed;
}

// A line that may stand for two files (names that differ in a CR or LF) proves nothing.
bool Mendable(const lists::ListedFile& file) {
  return file.has_id && file.has_size && file.size != 0 && !file.ambiguous;
}

// The device of the folder that holds `path`, or 0 when it cannot be looked up.
uint64_t FolderDevice(const std::string& path) {
  platform::FileInfo folder;
  return platform::StatPath(path.substr(0, path.find_last_of(platform::kSeparators) + 1), &folder)
             ? folder.device
             : 0;
}

// The first file the run may mend that lies on the file system `device`, or empty. The
// files of a list may lie on several volumes: each folder is looked up once.
std::string FileOnDevice(const lists::IdList& list, const Setting& setting, uint64_t device) {
  std::vector<bool> matched(setting.paths.size(), false);
  std::string last_folder;
  for (const lists::ListedFile& file : list.files()) {
    if (!Mendable(file)) continue;
    const std::string listed = list.FullPath(file);
    const std::string now = NowPath(listed, list.search_path(), setting);
    if (!setting.paths.empty() && !Named(setting.paths, now, listed, &matched)) continue;
    const std::string folder = now.substr(0, now.find_last_of(platform::kSeparators) + 1);
    if (folder == last_folder) continue;
    last_folder = folder;
    if (FolderDevice(now) == device) return now;
  }
  return {};
}

// Mends what needs it among the files of `list`; the exit status.
int RepairList(const lists::IdList& list, Setting* setting, catalogue::CatalogueIndex* index,
               repair::MendHistory* history) {
  const std::string& search_path = list.search_path();
  bool left_damaged = false;
  std::vector<bool> matched(setting->paths.size(), false);
  for (const lists::ListedFile& file : list.files()) {
    if (platform::StopSignalReceived()) break;
    if (!Mendable(file)) continue;
    const std::string listed = list.FullPath(file);
    const std::string now = NowPath(listed, search_path, *setting);
    const bool named = !setting->paths.empty();
    if (named && !Named(setting->paths, now, listed, &matched)) continue;
    const repair::FileKey key{repair::VolumeKey(setting->own), listed, file.size, file.write_time,
                              std::string(file.id_text())};
    repair::FileNow found;
    const repair::Damage damage = repair::FindDamage(now, key, &found, setting->options);
    if (platform::StopSignalReceived()) break;
    if (damage == repair::Damage::kNone) continue;
    if (!named && (damage == repair::Damage::kChanged || damage == repair::Damage::kChanging))
      continue;
    const uint64_t device = FolderDevice(now);
    const bool damaged = damage == repair::Damage::kCorrupted ||
                         damage == repair::Damage::kUnreadable ||
                         damage == repair::Damage::kMissing;
    std::vector<repair::Candidate> candidates;
    if (damaged) {
      candidates =
          FindCandidates(index, setting->lists, setting->own, setting->mounted, key, device);
    }
    const repair::FileRepair done =
        repair::RepairFile(now, key, damage, found, candidates, setting->options, history);
    if (done.outcome == Outcome::kStopped) break;
    WriteOut(setting->jsonl ? OutcomeJson(setting->own.name, now, done) : OutcomeLine(now, done));
    if (done.outcome == Outcome::kMended && !done.error.empty()) PrintMessage(done.error);
    // A placeholder left unread may be damaged: it is not known to be sound.
    const bool left =
        (damaged && (damage != repair::Damage::kMissing || setting->options.missing)) ||
        damage == repair::Damage::kPlaceholder;
    if (left && done.outcome != Outcome::kMended) left_damaged = true;
  }
  // Every mend done so far is whole and in the history; the rest waits for the next run.
  if (platform::StopSignalReceived()) return kExitStopped;
  bool unknown = false;
  for (size_t i = 0; i < matched.size(); ++i) {
    if (matched[i]) continue;
    PrintMessage(setting->paths[i] + ": no file of the list is there");
    unknown = true;
  }
  if (left_damaged) return kExitDamaged;
  return unknown ? kExitListError : kExitSame;
}

int Repair(const Args& args) {
  CommandLine line;
  if (const std::optional<int> status = TakeCommandLine("repair", args, &line)) return *status;
  const RepairLine& given = line.repair;
  Setting setting;
  setting.jsonl = line.catalogue.jsonl;
  for (size_t i = 1; i < line.operands.size(); ++i) {
    setting.paths.push_back(platform::AbsolutePath(line.operands[i]));
  }
  if (given.all == !setting.paths.empty()) {
    return UsageError(given.all ? "repair: give --all or PATHs, not both"
                                : "repair: give the PATHs to mend, or --all");
  }
  setting.options = {.missing = given.missing,
                     .any_time = given.any_time,
                     .dry_run = given.dry_run,
                     .keep_dir = {},
                     .read_placeholders = given.read_placeholders,
                     .now = NowFileTime(),
                     .stop = platform::StopSignalFlag()};
  if (!given.keep.empty()) {
    setting.options.keep_dir = support::WithTrailingSlash(platform::AbsolutePath(given.keep));
    if (platform::PathKindOf(setting.options.keep_dir) != platform::PathKind::kDirectory)
      return UsageError("repair: --keep " + given.keep + ": no such folder");
  }
  const std::string list_path = platform::ResolveExisting(platform::AbsolutePath(line.scan.path));
  lists::IdList list;
  lists::ListReadError error;
  if (!lists::ReadIdList(list_path, &list, &error)) {
    PrintMessage(ListErrorText(line.scan.path, error));
    return kExitListError;
  }
  const catalogue::VerifyPlace place =
      catalogue::FindVolumeOfList(list_path, list.last_header(), list.search_path());
  if (!place.message.empty()) PrintMessage(OfRepair(place.message));
  if (place.place == catalogue::VolumePlace::kMountedElsewhere) {
    setting.base = place.path;
  } else if (place.place == catalogue::VolumePlace::kAtSearchPath ||
             place.place == catalogue::VolumePlace::kUnknown) {
    setting.base = list.search_path();
  } else {
    return kExitListError;
  }
  // There a link keeps the damaged file: a copy into the folder would only double it.
  platform::FileInfo keep;
  if (!given.keep.empty() && platform::StatPath(setting.options.keep_dir, &keep)) {
    const std::string beside = FileOnDevice(list, setting, keep.device);
    if (!beside.empty()) {
      return UsageError("repair: --keep " + given.keep + ": on the same file system as " + beside +
                        ", where the damaged file is kept by a link without --keep");
    }
  }
  std::unique_ptr<catalogue::CatalogueIndex> index;
  if (const std::optional<int> status = OpenCatalogue(line.catalogue, &index)) return *status;
  setting.lists = index->Lists();
  setting.own = catalogue::ListOutsideCatalogue(list_path, list);
  for (const catalogue::CatalogueList& known : setting.lists) {
    if (known.path == list_path) setting.own = known;
  }
  setting.mounted = catalogue::MountedVolumes();
  // A mend the history does not hold would be missed by the next scrub: none without it.
  scrub::History history;
  const std::string history_path = scrub::HistoryPath();
  if (history_path.empty() || !history.Open(history_path)) {
    PrintMessage("repair: no history of checks: " +
                 (history_path.empty() ? std::string("neither XDG_DATA_HOME nor HOME is set")
                                       : history.error()));
    return kExitListError;
  }
  ScrubMendHistory kept(&history, &setting.lists, &setting.own);
  return RepairList(list, &setting, index.get(), &kept);
}

}  // namespace

int RunRepairCommand(const Args& args) {
  InstallTerminalMsgHandler();
  return Repair(args);
}

}  // namespace cli
