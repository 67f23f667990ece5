#pragma once
// Sizes as people type them: "390", "390k", "1.5G", "2TiB". Units are powers of 1024, as
// du and find read them; one parser for every size a front end takes.

#include <cstdint>
#include <string_view>

namespace support {

// A whole or decimal number, then at most one unit letter of k, M, G, T, P, E (either
// case), which may be followed by "B" or "iB"; a plain number may end in "B". Blanks
// around it are allowed. A fraction of a byte is dropped. False for anything else, and
// for a size past 2^64-1.
bool ParseByteSize(std::string_view text, uint64_t* bytes);

}  // namespace support
