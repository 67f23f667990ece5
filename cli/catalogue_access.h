#pragma once
// How a command of checker-cli reaches the catalogue: its folders (the list folder of
// the settings and each --catalogue DIR), the index brought up to date, its notes on
// stderr.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "catalogue/catalogue_index.h"
#include "cli/command_line.h"
#include "cli/compare_report.h"

namespace cli {

// Opens and refreshes the catalogue of `options`, printing the index's notes and, with
// --progress or on a terminal, its progress on stderr. The exit status when the command
// must end here (2: a --catalogue DIR that is no folder, an index that cannot be
// written, no catalogue folder at all), else nothing and `index` is ready. With
// `optional`, no folder at all is no error: nothing is said and `index` stays null.
std::optional<int> OpenCatalogue(const CatalogueOptions& options,
                                 std::unique_ptr<catalogue::CatalogueIndex>* index,
                                 bool optional = false);

// The list of `lists` that `name` names: its path (made absolute), its file name or
// name without extension, its label or serial text. Null when none or several do;
// `error` then says so.
const catalogue::CatalogueList* PickList(const std::vector<catalogue::CatalogueList>& lists,
                                         const std::string& name, std::string* error);

// A probable copy from the catalogue for a file of the list `own_list` that verify or
// compare finds corrupted, unreadable or missing: a file of another list with its size
// and id, on another volume where there is one, never the file itself as another list
// of its volume holds it. The catalogue is opened when the first file asks.
std::function<std::optional<ProbableCopy>(const lists::IdList&, const lists::ListedFile&)>
ProbableCopyFinder(const CatalogueOptions& options, const std::string& own_list);

}  // namespace cli
