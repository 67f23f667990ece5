#pragma once
// What both front ends check and do before a run starts, so that a run is refused
// before it changes anything.

#include <string>

namespace lists {

// Whether another run holds the id list (false when it does not exist yet), with the
// system's words in `reason` ("in use by another run"). Another run holding it would
// have its tree list replaced before the job found out.
bool ListHeld(const std::string& id_list, std::string* reason);

// Whether either list exists and holds something a Create would replace.
bool ListsHoldSomething(const std::string& tree_list, const std::string& id_list);

// Backs both lists up into `folder` before a Create replaces them (see BackUpList).
// False with *error set at the first that cannot be: nothing may be replaced then.
bool BackUpLists(const std::string& tree_list, const std::string& id_list,
                 const std::string& folder, std::string* error);

}  // namespace lists
