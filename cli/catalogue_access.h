#pragma once
// How a command of checker-cli reaches the catalogue: its folders (the list folder of
// the settings and each --catalogue DIR), the index brought up to date, its notes on
// stderr.

#include <memory>
#include <optional>

#include "catalogue/catalogue_index.h"
#include "cli/command_line.h"

namespace cli {

// Opens and refreshes the catalogue of `options`, printing the index's notes and, with
// --progress or on a terminal, its progress on stderr. The exit status when the command
// must end here (2: a --catalogue DIR that is no folder, an index that cannot be
// written), else nothing and `index` is ready.
std::optional<int> OpenCatalogue(const CatalogueOptions& options,
                                 std::unique_ptr<catalogue::CatalogueIndex>* index);

// The list of `lists` that `name` names: its path (made absolute), its file name or
// name without extension, its label or serial text. Null when none or several do;
// `error` then says so.
const catalogue::CatalogueList* PickList(const std::vector<catalogue::CatalogueList>& lists,
                                         const std::string& name, std::string* error);

}  // namespace cli
