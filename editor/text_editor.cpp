#include "editor/text_editor.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>
#include <algorithm>
#include <vector>

#include "editor/visible_marks.h"
#include "support/text.h"

namespace {

using Base = QsciScintillaBase;

bool IsBlank(std::string_view line) { return support::TrimView(line).empty(); }

// Calls `take` with each line (without its line end) of `text`: lines end at CR LF, LF
// or a lone CR, and a final line end adds no empty line.
template <typename Take>
void ForEachLine(std::string_view text, Take take) {
  size_t start = 0;
  const size_t size = text.size();
  while (start < size) {
    size_t end = start;
    while (end < size && text[end] != '\n' && text[end] != '\r') ++end;
    take(text.substr(start, end - start));
    if (end < size && text[end] == '\r' && end + 1 < size && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
}

// True when every line end of `text` is `line_end`, so the text can be shown as it is.
bool LineEndsAre(std::string_view text, std::string_view line_end) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') continue;
    const bool crlf = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    const std::string_view found = crlf ? "\r\n" : (c == '\r' ? "\r" : "\n");
    if (found != line_end) return false;
    if (crlf) ++i;
  }
  return true;
}

std::string JoinLines(const std::vector<std::string_view>& lines, std::string_view line_end) {
  size_t size = 0;
  for (std::string_view line : lines) size += line.size() + line_end.size();
  std::string text;
  text.reserve(size);
  for (std::string_view line : lines) {
    text.append(line);
    text.append(line_end);
  }
  return text;
}

int EolModeOf(std::string_view line_end) {
  if (line_end == "\r\n") return Base::SC_EOL_CRLF;
  if (line_end == "\r") return Base::SC_EOL_CR;
  return Base::SC_EOL_LF;
}

// Deletes up to `count` characters from character position `first` (0-based).
void DeleteChars(std::string* line, size_t first, size_t count) {
  const size_t from = support::CharOffset(*line, first);
  if (from >= line->size()) return;
  const size_t to = support::CharOffset(*line, first + count);
  line->erase(from, to - from);
}

}  // namespace

TextEditor::TextEditor(QWidget* parent) : QsciScintilla(parent) {
  // A document without style bytes: the lists are plain text, and a style byte per
  // character would double the memory a large list takes. QScintilla keeps its own
  // document alive beside it; the destructor shows that one again.
  own_document_ = SendScintilla(SCI_GETDOCPOINTER);
  SendScintilla(SCI_ADDREFDOCUMENT, 0, own_document_);
  const long plain = SendScintilla(SCI_CREATEDOCUMENT, 0,
                                   static_cast<long>(SC_DOCUMENTOPTION_STYLES_NONE |
                                                     SC_DOCUMENTOPTION_TEXT_LARGE));
  SendScintilla(SCI_SETDOCPOINTER, 0, plain);
  SendScintilla(SCI_RELEASEDOCUMENT, 0, plain);
  Configure(kind_);
  connect(this, &QsciScintilla::linesChanged, this, &TextEditor::UpdateNumberMargin);
}

TextEditor::~TextEditor() {
  SendScintilla(SCI_SETDOCPOINTER, 0, own_document_);
  SendScintilla(SCI_RELEASEDOCUMENT, 0, own_document_);
}

void TextEditor::Configure(EditorKind kind) {
  kind_ = kind;
  // Settings of the document go again after the document was swapped.
  setUtf8(true);
  SendScintilla(SCI_SETEOLMODE, EolModeOf(line_end_));
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setMarginsFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setAutoIndent(true);
  setTabIndents(true);
  setBackspaceUnindents(true);
  setIndentationsUseTabs(false);
  setTabWidth(kTabWidth);
  SendScintilla(SCI_SETSCROLLWIDTH, 1);
  SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
  SendScintilla(SCI_SETVIRTUALSPACEOPTIONS, SCVS_USERACCESSIBLE);
  SendScintilla(SCI_SETRECTANGULARSELECTIONMODIFIER, kind.alt_columns ? SCMOD_ALT : SCMOD_SUPER);
  // Direction marks as blobs, like control bytes: a line of a list must not read backwards.
  for (const support::BidiMark& mark : support::kBidiMarks) {
    SendScintilla(SCI_SETREPRESENTATION, mark.encoded, mark.name);
  }
  setMarginType(0, NumberMargin);
  setMarginLineNumbers(0, true);
  margin_digits_ = 0;
  UpdateNumberMargin();
  setMarginWidth(1, 0);
  if (kind.edge_line) {
    setEdgeMode(EdgeLine);
    setEdgeColumn(kEdgeColumn);
  } else {
    setEdgeMode(EdgeNone);
  }
}

void TextEditor::UpdateNumberMargin() {
  int digits = 1;
  for (long n = SendScintilla(SCI_GETLINECOUNT); n >= 10; n /= 10) ++digits;
  if (digits == margin_digits_) return;
  margin_digits_ = digits;
  setMarginWidth(0, QString(digits + 1, '9'));
}

std::string_view TextEditor::Bytes() const {
  const long length = SendScintilla(SCI_GETLENGTH);
  if (length == 0) return {};
  const char* text = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
  return {text, static_cast<size_t>(length)};
}

void TextEditor::SetBytes(std::string_view bytes, bool undoable) {
  // No change notices while the whole text is swapped: the widget turns the text of each
  // notice into a QString, which for a large list costs more time and memory than the
  // swap itself. The line-number margin, the one listener, is updated below.
  const long event_mask = SendScintilla(SCI_GETMODEVENTMASK);
  SendScintilla(SCI_SETMODEVENTMASK, 0UL);
  if (!undoable) SendScintilla(SCI_SETUNDOCOLLECTION, 0);
  SendScintilla(SCI_BEGINUNDOACTION);
  SendScintilla(SCI_CLEARALL);
  // APPENDTEXT takes a length: a NUL byte in the file does not end the text.
  if (!bytes.empty()) {
    SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(bytes.size() + 1));
    SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(bytes.size()), bytes.data());
  }
  SendScintilla(SCI_ENDUNDOACTION);
  SendScintilla(SCI_SETMODEVENTMASK, static_cast<unsigned long>(event_mask));
  if (!undoable) {
    SendScintilla(SCI_SETUNDOCOLLECTION, 1);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
  }
  SendScintilla(SCI_GOTOPOS, 0);
  UpdateNumberMargin();
}

void TextEditor::ReplaceAll(std::string_view bytes) {
  if (bytes == Bytes()) return;
  SetBytes(bytes, true);
}

bool TextEditor::LoadFile(const std::string& path) {
  std::string data;
  if (!support::LoadFileBytes(path, &data)) return false;
  std::string_view line_end = support::FirstLineEnd(data);
  if (line_end.empty()) line_end = "\n";
  if (!LineEndsAre(data, line_end)) {
    std::vector<std::string_view> lines;
    ForEachLine(data, [&lines](std::string_view line) { lines.push_back(line); });
    std::string joined = JoinLines(lines, line_end);
    // The last line keeps having no line end when it had none.
    const char last = data.back();
    if (last != '\r' && last != '\n') joined.resize(joined.size() - line_end.size());
    data = std::move(joined);
  }
  line_end_ = std::string(line_end);
  SendScintilla(SCI_SETEOLMODE, EolModeOf(line_end_));
  SetBytes(data, false);
  setModified(false);
  return true;
}

bool TextEditor::SaveFile(const std::string& path) {
  const std::string_view text = Bytes();
  bool ok = false;
  if (text.empty() || text.back() == '\r' || text.back() == '\n') {
    ok = support::SaveFileBytes(path, text);
  } else {
    std::string ended;
    ended.reserve(text.size() + line_end_.size());
    ended.append(text);
    ended.append(line_end_);
    ok = support::SaveFileBytes(path, ended);
  }
  if (ok) setModified(false);
  return ok;
}

size_t TextEditor::LineCount() const {
  const long lines = SendScintilla(SCI_GETLINECOUNT);
  // Scintilla counts the empty line after a final line end.
  const long last_start = SendScintilla(SCI_POSITIONFROMLINE, lines - 1);
  return static_cast<size_t>(last_start == SendScintilla(SCI_GETLENGTH) ? lines - 1 : lines);
}

long TextEditor::Position(size_t line) const {
  return SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
}

std::string TextEditor::Line(size_t index) const {
  if (index >= LineCount()) return {};
  const long start = Position(index);
  const long end = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(index));
  return std::string(Bytes().substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
}

support::StringList TextEditor::Lines() const {
  support::StringList lines;
  ForEachLine(Bytes(), [&lines](std::string_view line) { lines.Add(std::string(line)); });
  return lines;
}

void TextEditor::ReplaceLine(size_t index, std::string_view text) {
  if (index >= LineCount()) return;
  SendScintilla(SCI_SETTARGETRANGE, Position(index),
                SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(index)));
  SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(text.size()), text.data());
}

void TextEditor::DeleteLine(size_t index) {
  if (index >= LineCount()) return;
  const long start = Position(index);
  SendScintilla(SCI_DELETERANGE, static_cast<unsigned long>(start), Position(index + 1) - start);
}

void TextEditor::ClearLines() { SendScintilla(SCI_CLEARALL); }

void TextEditor::AppendLines(const support::StringList& lines) {
  std::string text;
  const std::string_view now = Bytes();
  if (!now.empty() && now.back() != '\r' && now.back() != '\n') text = line_end_;
  for (const std::string& line : lines.items()) {
    text.append(line);
    text.append(line_end_);
  }
  SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(text.size()), text.data());
}

size_t TextEditor::StripBlankLines() {
  std::vector<std::string_view> kept;
  size_t removed = 0;
  ForEachLine(Bytes(), [&](std::string_view line) {
    if (IsBlank(line)) {
      ++removed;
    } else {
      kept.push_back(line);
    }
  });
  if (removed > 0) ReplaceAll(JoinLines(kept, line_end_));
  return removed;
}

void TextEditor::SortLines() {
  std::vector<std::string_view> lines;
  ForEachLine(Bytes(), [&lines](std::string_view line) {
    if (!IsBlank(line)) lines.push_back(line);
  });
  std::stable_sort(lines.begin(), lines.end(), [](std::string_view a, std::string_view b) {
    return support::CompareText(a, b) < 0;
  });
  ReplaceAll(JoinLines(lines, line_end_));
}

void TextEditor::FixOldData() {
  // Positions of the old layout's two 4-character fields, 0-based.
  constexpr size_t kSecondField = 71;
  constexpr size_t kFirstField = 47;
  constexpr size_t kFieldLength = 4;
  std::vector<std::string> lines;
  ForEachLine(Bytes(), [&lines](std::string_view line) {
    std::string trimmed = support::TrimRight(line);
    if (trimmed.empty()) {
      lines.emplace_back(line);
      return;
    }
    DeleteChars(&trimmed, kSecondField, kFieldLength);
    DeleteChars(&trimmed, kFirstField, kFieldLength);
    lines.push_back(std::move(trimmed));
  });
  std::vector<std::string_view> views(lines.begin(), lines.end());
  ReplaceAll(JoinLines(views, line_end_));
}

long TextEditor::CaretColumn() const {
  const long pos = SendScintilla(SCI_GETCURRENTPOS);
  const long line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos));
  const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
  const long main = SendScintilla(SCI_GETMAINSELECTION);
  const long virtual_space =
      SendScintilla(SCI_GETSELECTIONNCARETVIRTUALSPACE, static_cast<unsigned long>(main));
  return SendScintilla(SCI_COUNTCHARACTERS, static_cast<unsigned long>(start), pos) +
         virtual_space + 1;
}

long TextEditor::SelectionStart() const {
  return SendScintilla(SCI_COUNTCHARACTERS, 0UL, SendScintilla(SCI_GETSELECTIONSTART));
}

long TextEditor::SelectionLength() const {
  const long start = SendScintilla(SCI_GETSELECTIONSTART);
  return SendScintilla(SCI_COUNTCHARACTERS, static_cast<unsigned long>(start),
                       SendScintilla(SCI_GETSELECTIONEND));
}

bool TextEditor::Find(const QString& text, bool forward) {
  if (text.isEmpty()) return false;
  // A backward search starts before the selection, or it finds the same place again.
  if (!forward) SendScintilla(SCI_SETEMPTYSELECTION, SendScintilla(SCI_GETSELECTIONSTART));
  return findFirst(text, false, false, false, true, forward);
}

void TextEditor::EndKey() {
  const long pos = SendScintilla(SCI_GETCURRENTPOS);
  const long line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos));
  const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
  const long end = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
  long last = end;
  while (last > start &&
         static_cast<unsigned char>(SendScintilla(SCI_GETCHARAT, last - 1)) <= ' ') {
    --last;
  }
  const long main = SendScintilla(SCI_GETMAINSELECTION);
  const bool in_virtual_space =
      SendScintilla(SCI_GETSELECTIONNCARETVIRTUALSPACE, static_cast<unsigned long>(main)) > 0;
  SendScintilla(SCI_GOTOPOS, pos == last && !in_virtual_space ? end : last);
  SendScintilla(SCI_CHOOSECARETX);
}

void TextEditor::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_S && event->modifiers() == Qt::ControlModifier) {
    emit saveRequested();
    return;
  }
  if (event->key() == Qt::Key_F && event->modifiers() == Qt::ControlModifier) {
    emit findRequested();
    return;
  }
  if (event->key() == Qt::Key_End && event->modifiers() == Qt::NoModifier) {
    EndKey();
    return;
  }
  QsciScintilla::keyPressEvent(event);
}

void TextEditor::focusInEvent(QFocusEvent* event) {
  QsciScintilla::focusInEvent(event);
  emit focusEntered();
}

void TextEditor::mouseReleaseEvent(QMouseEvent* event) {
  QsciScintilla::mouseReleaseEvent(event);
  emit mouseReleased();
}

void TextEditor::enterEvent(QEnterEvent* event) {
  QsciScintilla::enterEvent(event);
  emit mouseEntered();
}

void TextEditor::leaveEvent(QEvent* event) {
  QsciScintilla::leaveEvent(event);
  emit mouseLeft();
}

void TextEditor::contextMenuEvent(QContextMenuEvent* event) {
  emit menuRequested(event->globalPos());
  event->accept();
}

// Dropped files are not opened; dropped text still moves or copies as usual.
void TextEditor::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) {
    event->ignore();
    return;
  }
  QsciScintilla::dragEnterEvent(event);
}

void TextEditor::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) {
    event->ignore();
    return;
  }
  QsciScintilla::dragMoveEvent(event);
}

void TextEditor::dropEvent(QDropEvent* event) {
  if (event->mimeData()->hasUrls()) {
    event->ignore();
    return;
  }
  QsciScintilla::dropEvent(event);
}
