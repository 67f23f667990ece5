// checker-cli volumes, find and copies: the catalogue of every id list.

#include <cstdio>

#include <memory>
#include <optional>
#include <string>

#include "catalogue/catalogue_index.h"
#include "catalogue/file_query.h"
#include "catalogue/mounted.h"
#include "catalogue/volumes.h"
#include "cli/catalogue_access.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/compare_report.h"
#include "cli/terminal_text.h"
#include "lists/list_names.h"
#include "lists/list_reader.h"
#include "support/text.h"

namespace cli {

namespace {

using catalogue::CatalogueFile;
using catalogue::CatalogueList;

constexpr int kExitNothingFound = 1;

void AppendJsonField(std::string* out, std::string_view name, std::string_view text) {
  *out += out->empty() ? "{" : ",";
  AppendJsonString(out, name);
  *out += ':';
  AppendJsonString(out, text);
}

void AppendJsonNumber(std::string* out, std::string_view name, std::string_view number) {
  *out += out->empty() ? "{" : ",";
  AppendJsonString(out, name);
  *out += ':';
  *out += number;
}

// Where the volume of `list` shows its search path now, as verify would find it: the
// mount of the whole volume, or of a folder of it that holds the path; with `text` saying
// so, or "not mounted", or naming the volumes a clone leaves to choose from.
const catalogue::MountedVolume* ListMount(const std::vector<catalogue::MountedVolume>& mounted,
                                          const CatalogueList& list, std::string* text) {
  const catalogue::VolumeChoice choice = catalogue::ChooseVolume(mounted, list.serial, list.label);
  if (!choice.candidates.empty()) {
    *text = std::to_string(choice.candidates.size()) + " volumes with its serial:";
    for (const catalogue::MountedVolume& volume : choice.candidates) {
      *text += (text->back() == ':' ? " \"" : ", \"") + volume.label + "\" at " +
               volume.mount_point;
    }
    return nullptr;
  }
  const catalogue::VolumeMount mount = catalogue::MountShowing(
      mounted, choice.device, lists::PathBelowRoot(list.search_path, list.root_column));
  if (mount.mount == nullptr) {
    *text = "not mounted";
  } else if (catalogue::IsWholeVolume(*mount.mount)) {
    *text = "mounted at " + mount.mount->mount_point;
  } else {
    *text = "its " + mount.mount->root.substr(1) + " at " + mount.mount->mount_point;
  }
  return mount.mount;
}

// A list's line of volumes (or its JSON object), with where its volume is now.
std::string VolumeLine(const CatalogueList& list,
                       const std::vector<catalogue::MountedVolume>& mounted, bool jsonl) {
  const std::string serial = lists::SerialNumberText(list.serial);
  std::string mount_text;
  const catalogue::MountedVolume* mount = ListMount(mounted, list, &mount_text);
  if (!jsonl) {
    return list.name + "  label " + list.label + "  serial " + serial + "  " + list.search_path +
           "  " + std::to_string(list.files) + " files  " + std::to_string(list.bytes) +
           " bytes  last run " + list.run_start + " " + catalogue::RunStateText(list) + "  " +
           mount_text + "\n";
  }
  std::string json;
  AppendJsonField(&json, "list", list.name);
  AppendJsonField(&json, "list_path", list.path);
  AppendJsonField(&json, "label", list.label);
  AppendJsonField(&json, "serial", serial);
  AppendJsonField(&json, "search_path", list.search_path);
  AppendJsonNumber(&json, "files", std::to_string(list.files));
  AppendJsonNumber(&json, "bytes", std::to_string(list.bytes));
  AppendJsonField(&json, "last_run", list.run_start);
  AppendJsonField(&json, "state", catalogue::RunStateText(list));
  if (mount == nullptr) {
    AppendJsonNumber(&json, "mounted_at", "null");
  } else {
    AppendJsonField(&json, "mounted_at", mount->mount_point);
    // Only a folder of the volume is mounted there.
    if (!catalogue::IsWholeVolume(*mount))
      AppendJsonField(&json, "mounted_folder", mount->root.substr(1));
  }
  return json + "}\n";
}

constexpr char kNotACopy[] = "not a copy";

// A copy as copies shows it: the list that holds it and what --confirm found.
struct HeldCopy {
  const CatalogueList* list;  // null for a list gone from the index meanwhile
  const CatalogueFile* file;
  std::string state;
};

// "probable copy"; with `own_mounted` (the file where its volume is mounted now) "copy"
// or "not a copy" when the other file is mounted too and both read to their ends.
std::string CopyState(const std::vector<catalogue::MountedVolume>& mounted,
                      const std::string& own_mounted, const CatalogueList* list,
                      const CatalogueFile& copy) {
  if (own_mounted.empty() || list == nullptr) return "probable copy";
  const std::string other = catalogue::MountedFilePath(mounted, *list, copy.path);
  const catalogue::SameBytes same = other.empty() ? catalogue::SameBytes::kCannotRead
                                                  : catalogue::CompareFiles(own_mounted, other);
  if (same == catalogue::SameBytes::kSame) return "copy";
  if (same == catalogue::SameBytes::kDifferent) return kNotACopy;
  return "probable copy";
}

// A file's lines of copies (or its JSON object).
std::string CopiesText(const CatalogueFile& file, size_t volumes, const std::vector<HeldCopy>& held,
                       bool jsonl) {
  std::string out;
  if (!jsonl) {
    out = std::to_string(volumes) + "  " + file.path + "\n";
    for (const HeldCopy& copy : held) {
      out += "   " + copy.state + "  " + (copy.list != nullptr ? copy.list->name : "") + "  " +
             copy.file->path + "\n";
    }
    return out;
  }
  AppendJsonField(&out, "path", file.path);
  AppendJsonNumber(&out, "volumes", std::to_string(volumes));
  out += ",\"copies\":[";
  for (size_t i = 0; i < held.size(); ++i) {
    const CatalogueList* list = held[i].list;
    std::string entry;
    AppendJsonField(&entry, "volume", list != nullptr ? list->name : "");
    AppendJsonField(&entry, "path", held[i].file->path);
    AppendJsonField(&entry, "state", held[i].state);
    AppendJsonField(&entry, "label", list != nullptr ? list->label : "");
    AppendJsonField(&entry, "serial", list != nullptr ? lists::SerialNumberText(list->serial) : "");
    out += (i == 0 ? "" : ",") + entry + "}";
  }
  return out + "]}\n";
}

}  // namespace

int RunVolumesCommand(const Args& args) {
  CommandLine line;
  if (const std::optional<int> status = TakeCommandLine("volumes", args, &line)) return *status;
  std::unique_ptr<catalogue::CatalogueIndex> index;
  if (const std::optional<int> status = OpenCatalogue(line.catalogue, &index)) return *status;
  const std::vector<catalogue::MountedVolume> mounted = catalogue::MountedVolumes();
  const std::vector<CatalogueList> lists = index->Lists();
  const auto volumes = catalogue::ListsByVolume(lists);
  for (const catalogue::SharedSerial& shared : catalogue::SharedSerials(volumes)) {
    std::string labels;
    for (size_t i = 0; i < shared.labels.size(); ++i) {
      labels += i == 0 ? "" : i + 1 == shared.labels.size() ? " and " : ", ";
      labels += "\"" + shared.labels[i] + "\"";
    }
    PrintMessage("the volumes " + labels + " share the serial " +
                 lists::SerialNumberText(shared.serial) + ": a clone or a relabelled disk");
  }
  std::string out;
  for (const std::vector<const CatalogueList*>& volume : volumes) {
    for (const CatalogueList* of_volume : volume) {
      out += VolumeLine(*of_volume, mounted, line.catalogue.jsonl);
    }
  }
  WriteOut(out);
  return 0;
}

int RunFindCommand(const Args& args) {
  CommandLine line;
  if (const std::optional<int> status = TakeCommandLine("find", args, &line)) return *status;
  const CatalogueOptions& options = line.catalogue;
  catalogue::FindFields fields;
  if (!line.operands.empty()) fields.name = line.operands.front();
  fields.min_size = options.min_size;
  fields.max_size = options.max_size;
  fields.from = options.from;
  fields.to = options.to;
  fields.id = options.id;
  catalogue::FileQuery query;
  query.whole_path = options.whole_path;
  catalogue::BadField bad = catalogue::BadField::kNone;
  std::string error;
  if (!catalogue::BuildFileQuery(fields, &query, &bad, &error)) {
    const char* option = bad == catalogue::BadField::kFrom ? "--from"
                         : bad == catalogue::BadField::kTo ? "--to"
                                                           : "--id";
    return UsageError("find: " + std::string(option) + " " + error);
  }
  std::unique_ptr<catalogue::CatalogueIndex> index;
  if (const std::optional<int> status = OpenCatalogue(options, &index)) return *status;
  const std::vector<CatalogueList> lists = index->Lists();
  if (!options.volume.empty()) {
    query.lists = catalogue::ListsOfVolume(lists, options.volume);
    if (query.lists.empty()) {
      return UsageError("find: no volume of the catalogue is named '" + options.volume + "'");
    }
  }

  std::string out;
  const int64_t count =
      index->Find(query, static_cast<size_t>(options.limit), [&](const CatalogueFile& file) {
        const CatalogueList* list = catalogue::ListById(lists, file.list);
        const std::string volume = list != nullptr ? list->name : "";
        const std::string time = lists::WriteTimeText(file.write_time);
        if (options.jsonl) {
          std::string json;
          AppendJsonField(&json, "volume", volume);
          AppendJsonField(&json, "path", file.path);
          AppendJsonNumber(&json, "size", std::to_string(file.size));
          if (file.write_time == 0) {
            AppendJsonNumber(&json, "write_time", "null");
          } else {
            AppendJsonField(&json, "write_time", time);
          }
          if (file.id) {
            AppendJsonField(&json, "id", support::TrimRight(catalogue::ContentKeyText(*file.id)));
          } else {
            AppendJsonNumber(&json, "id", "null");
          }
          out += json + "}\n";
        } else {
          out += volume + "  " + std::to_string(file.size) + "  " + time + "  " + file.path + "\n";
        }
        // Results stream out in blocks, so the first ones show before all are counted.
        if (out.size() > 1 << 16) {
          WriteOut(out);
          out.clear();
        }
      },
      [&] {
        // The first ones out before the rest are counted.
        WriteOut(out);
        out.clear();
        std::fflush(stdout);
      });
  WriteOut(out);
  if (count < 0) {
    PrintMessage("cannot search the catalogue index: " + index->error());
    return 2;
  }
  if (count > options.limit) {
    PrintMessage(std::to_string(count - options.limit) + " more matched (" + std::to_string(count) +
                 " in all; --limit N shows more)");
  }
  return count == 0 ? kExitNothingFound : 0;
}

int RunCopiesCommand(const Args& args) {
  CommandLine line;
  if (const std::optional<int> status = TakeCommandLine("copies", args, &line)) return *status;
  const CatalogueOptions& options = line.catalogue;
  std::unique_ptr<catalogue::CatalogueIndex> index;
  if (const std::optional<int> status = OpenCatalogue(options, &index)) return *status;
  const std::vector<CatalogueList> lists = index->Lists();
  std::string error;
  const CatalogueList* own = PickList(lists, line.operands.front(), &error);
  if (own == nullptr) return UsageError("copies: " + error);
  std::vector<catalogue::MountedVolume> mounted;
  if (options.confirm) mounted = catalogue::MountedVolumes();

  std::string out;
  const bool ok = index->Copies(
      own->id, [&](const CatalogueFile& file, const std::vector<CatalogueFile>& copies) {
        std::string own_mounted;
        if (options.confirm) own_mounted = catalogue::MountedFilePath(mounted, *own, file.path);
        std::vector<HeldCopy> held;
        // Volumes, not lists: a disk listed twice holds its file once.
        std::vector<const CatalogueList*> holders = {own};
        for (const CatalogueFile& copy : copies) {
          const CatalogueList* list = catalogue::ListById(lists, copy.list);
          held.push_back({list, &copy, CopyState(mounted, own_mounted, list, copy)});
          if (held.back().state != kNotACopy) holders.push_back(list);
        }
        const size_t volumes = catalogue::VolumeCount(holders);
        if (options.under > 0 && volumes >= static_cast<size_t>(options.under)) return;
        out += CopiesText(file, volumes, held, options.jsonl);
        if (out.size() > 1 << 16) {
          WriteOut(out);
          out.clear();
        }
      },
      [&](const std::vector<int64_t>& copy_lists) {
        // Without --confirm every probable copy counts: a file held widely enough is
        // passed over before its copies are read.
        if (options.under == 0 || options.confirm) return true;
        std::vector<const CatalogueList*> holders = {own};
        for (const int64_t id : copy_lists) holders.push_back(catalogue::ListById(lists, id));
        return catalogue::VolumeCount(holders) < static_cast<size_t>(options.under);
      });
  WriteOut(out);
  if (!ok) {
    PrintMessage("cannot search the catalogue index: " + index->error());
    return 2;
  }
  const int64_t passed = index->FilesWithoutCopyKey(own->id);
  if (passed > 0) {
    PrintMessage(std::to_string(passed) +
                 " files of the list are empty or have no id; they are never counted as copies");
  }
  return 0;
}

}  // namespace cli
