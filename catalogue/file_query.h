#pragma once
// A search of the catalogue as a user words it, made into a FileQuery, and the texts
// both front ends show for what it finds.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue_index.h"
#include "catalogue/mounted.h"

namespace catalogue {

// The parts of a search as given; empty texts ask for nothing.
struct FindFields {
  std::string name;
  std::optional<uint64_t> min_size, max_size;
  std::string from, to;  // "yyyy-mm-dd" or "yyyy-mm-dd hh:nn:ss"
  std::string id;        // as a list writes it, "07012 18845"
};

// Which field a search could not take.
enum class BadField { kNone, kFrom, kTo, kId };

// Fills `query` from `fields` (its lists left as they are). False with the field and what
// is wrong with it ("takes ..., not '...'") for a time or an id that does not parse.
bool BuildFileQuery(const FindFields& fields, FileQuery* query, BadField* field,
                    std::string* error);

// "yyyy-mm-dd" or "yyyy-mm-dd hh:nn:ss" as yyyymmddhhnnss; a date alone takes the start
// of the day, or its end for the upper bound.
std::optional<uint64_t> ParseTimeBound(const std::string& text, bool upper);

// The ids of the lists a volume name picks: by list name, label (without regard to case)
// or serial text. Empty when none does.
std::vector<int64_t> ListsOfVolume(const std::vector<CatalogueList>& lists,
                                   const std::string& volume);

// The list of that id, or null.
const CatalogueList* ListById(const std::vector<CatalogueList>& lists, int64_t id);

// The state of the list's last run: "complete", "stopped", ", with errors" added.
std::string RunStateText(const CatalogueList& list);

// Where a file of the list is now (its volume found mounted by serial), or empty when the
// volume is not mounted or the path lies outside the list's root.
std::string MountedFilePath(const std::vector<MountedVolume>& mounted, const CatalogueList& list,
                            const std::string& path);

}  // namespace catalogue
