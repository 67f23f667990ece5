#include "catalogue/file_query.h"

#include <string_view>

#include "lists/list_names.h"
#include "lists/list_reader.h"
#include "support/text.h"

namespace catalogue {

bool BuildFileQuery(const FindFields& fields, FileQuery* query, BadField* field,
                    std::string* error) {
  static constexpr char kTimeForms[] = "takes yyyy-mm-dd or \"yyyy-mm-dd hh:nn:ss\", not '";
  query->name = fields.name;
  query->min_size = fields.min_size;
  query->max_size = fields.max_size;
  query->from_time.reset();
  query->to_time.reset();
  query->id.reset();
  if (!fields.from.empty() && !(query->from_time = ParseTimeBound(fields.from, false))) {
    *field = BadField::kFrom;
    *error = kTimeForms + fields.from + "'";
    return false;
  }
  if (!fields.to.empty() && !(query->to_time = ParseTimeBound(fields.to, true))) {
    *field = BadField::kTo;
    *error = kTimeForms + fields.to + "'";
    return false;
  }
  if (!fields.id.empty()) {
    std::string id = fields.id;
    if (id.size() < lists::kIdTextWidth) id.resize(lists::kIdTextWidth, ' ');
    if (!(query->id = ContentKey(id))) {
      *field = BadField::kId;
      *error = "takes an id as a list writes it (\"07012 18845\"), not '" + fields.id + "'";
      return false;
    }
  }
  *field = BadField::kNone;
  return true;
}

namespace {

bool ValidDateTime(int year, int month, int day, int hour, int minute, int second) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59) {
    return false;
  }
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day >= 1 && day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

}  // namespace

std::optional<uint64_t> ParseTimeBound(const std::string& text, bool upper) {
  static constexpr std::string_view kPicture = "0000-00-00 00:00:00";
  if (text.size() != 10 && text.size() != kPicture.size()) return std::nullopt;
  int parts[6] = {};  // year, month, day, hour, minute, second
  int part = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (kPicture[i] != '0') {
      if (text[i] != kPicture[i]) return std::nullopt;
      ++part;
      continue;
    }
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    parts[part] = parts[part] * 10 + (text[i] - '0');
  }
  if (text.size() == 10 && upper) {
    parts[3] = 23;
    parts[4] = 59;
    parts[5] = 59;
  }
  if (!ValidDateTime(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5])) {
    return std::nullopt;
  }
  uint64_t value = 0;
  for (const int each : parts) value = value * 100 + static_cast<uint64_t>(each);
  return value;
}

std::vector<int64_t> ListsOfVolume(const std::vector<CatalogueList>& lists,
                                   const std::string& volume) {
  std::vector<int64_t> ids;
  for (const CatalogueList& list : lists) {
    if (list.name == volume || support::SameText(list.label, volume) ||
        lists::SerialNumberText(list.serial) == volume) {
      ids.push_back(list.id);
    }
  }
  return ids;
}

const CatalogueList* ListById(const std::vector<CatalogueList>& lists, int64_t id) {
  for (const CatalogueList& list : lists) {
    if (list.id == id) return &list;
  }
  return nullptr;
}

std::string RunStateText(const CatalogueList& list) {
  std::string text(lists::ListStateText(list.state));
  if (list.errors) text += ", with errors";
  return text;
}

std::string MountedFilePath(const std::vector<MountedVolume>& mounted, const CatalogueList& list,
                            const std::string& path) {
  const std::string below = lists::PathBelowRoot(path, list.root_column);
  if (below.empty()) return {};
  return MountedPath(mounted, list.serial, below);
}

}  // namespace catalogue
