#include "editor/visible_marks.h"

#include <QStringList>
#include <iterator>
#include <string>

namespace {

// The control characters' short names, as the editor shows them.
constexpr const char* kControlNames[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                         "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                         "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                         "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
constexpr char16_t kDelete = 0x7F;

const char* NameOf(char16_t c) {
  if (c < std::size(kControlNames)) return kControlNames[c];
  if (c == kDelete) return "DEL";
  return support::BidiMarkName(c);
}

}  // namespace

QString VisibleMarks(const QString& text) {
  QString shown;
  shown.reserve(text.size());
  for (const QChar c : text) {
    const char* name = NameOf(c.unicode());
    if (name == nullptr) {
      shown += c;
    } else {
      shown += QLatin1Char('[') + QLatin1String(name) + QLatin1Char(']');
    }
  }
  return shown;
}

QString VisibleName(const std::string& bytes) {
  return VisibleMarks(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

QString VisibleLines(const std::string& bytes) {
  QStringList lines =
      QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).split('\n');
  for (QString& line : lines) {
    if (line.endsWith('\r')) line.chop(1);
    line = VisibleMarks(line);
  }
  return lines.join('\n');
}
