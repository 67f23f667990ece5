#pragma once
// Wherever the window shows a name, the direction marks of support/bidi_marks.h show as
// their short names in brackets, as do control characters (a line break in a name), so a
// name cannot pass itself off as another.

#include <QString>
#include <string>

#include "support/bidi_marks.h"

// `text` with every direction mark and every control character replaced by "[RLO]", "[LF]"
// and the like.
QString VisibleMarks(const QString& text);
// The bytes of a name (UTF-8 where they are) as the window shows them.
QString VisibleName(const std::string& bytes);
// A text of several lines that names things (a message, a tooltip): each line as
// VisibleName shows it, the line ends kept.
QString VisibleLines(const std::string& bytes);
