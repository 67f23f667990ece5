#include "editor/visible_marks.h"

#include <string>

QString VisibleMarks(const QString& text) {
  QString shown;
  shown.reserve(text.size());
  for (const QChar c : text) {
    const BidiMark* mark = nullptr;
    for (const BidiMark& m : kBidiMarks) {
      if (c.unicode() == m.code) mark = &m;
    }
    if (mark == nullptr) {
      shown += c;
    } else {
      shown += QLatin1Char('[') + QLatin1String(mark->name) + QLatin1Char(']');
    }
  }
  return shown;
}

QString VisibleName(const std::string& bytes) {
  return VisibleMarks(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())));
}
