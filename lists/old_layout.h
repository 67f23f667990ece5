#pragma once
// Id lists of the older layout: one more character in the fixed part of every line, a
// flag in the path section of A, F and T lines, and an R line holding its whole
// directory after the bar. The utilities dialog rewrites such files line by line.

#include <string>

namespace lists {

// One list line rewritten from the old layout; lines it does not change (too short to
// be of the old layout, or of another record) come back as they are.
std::string ConvertOldListLine(const std::string& line);

}  // namespace lists
