#pragma once
// TextEditor: the plain-text editor of the editor pages, over QScintilla. Text goes in
// and out as bytes only, never through QString, so a name with invalid UTF-8 in a list
// survives a load and a save unchanged. A "line" is what a list holds: the text split
// at CR LF, LF or a lone CR, where a final line end adds no empty line. GUI thread only.

#include <Qsci/qsciscintilla.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "support/string_list.h"

// What differs between the four editors of the window.
struct EditorKind {
  bool edge_line = false;    // a line at column 160
  bool alt_columns = false;  // Alt-drag selects a column (else Super-drag)
};

class TextEditor : public QsciScintilla {
  Q_OBJECT
 public:
  static constexpr int kEdgeColumn = 160;
  static constexpr int kTabWidth = 4;

  explicit TextEditor(QWidget* parent = nullptr);
  ~TextEditor() override;

  // Applies the fixed settings and those of `kind`; applied again, it copies the settings
  // of another editor.
  void Configure(EditorKind kind);
  EditorKind kind() const { return kind_; }

  // The file last loaded or saved; empty at start.
  const std::string& file_name() const { return file_name_; }
  void set_file_name(std::string name) { file_name_ = std::move(name); }
  // Size and write time of a file as the pages saw it on disk; this layer cannot look
  // itself. An empty path: nothing known.
  struct DiskStamp {
    std::string path;
    uint64_t size = 0;
    int64_t write_ns = 0;
    bool operator==(const DiskStamp&) const = default;
  };
  // The file as it was loaded or last saved; a change on disk since then is asked about.
  const DiskStamp& loaded_stamp() const { return loaded_stamp_; }
  void set_loaded_stamp(DiskStamp stamp) {
    loaded_stamp_ = stamp;
    offered_stamp_ = std::move(stamp);
  }
  // The file as it was when a reload was last offered, so each change is offered once.
  const DiskStamp& offered_stamp() const { return offered_stamp_; }
  void set_offered_stamp(DiskStamp stamp) { offered_stamp_ = std::move(stamp); }
  // The line end of the text: the first one of the last loaded file, LF for new text.
  std::string_view LineEnd() const { return line_end_; }

  // Replaces the text with the file's bytes, every line end made the file's first one;
  // the loaded text is unmodified and cannot be undone. False (text, line end and file
  // name unchanged) when the file cannot be read.
  bool LoadFile(const std::string& path);
  // Writes the text with a line end after the last line. False on any failure; the
  // modified state is cleared only on success. The file name is left to the caller.
  bool SaveFile(const std::string& path);

  // The whole text; valid until the text changes.
  std::string_view Bytes() const;
  // Replaces the whole text as one undo step (nothing happens when it is the same).
  void ReplaceAll(std::string_view bytes);

  size_t LineCount() const;
  std::string Line(size_t index) const;
  support::StringList Lines() const;
  void ReplaceLine(size_t index, std::string_view text);
  void DeleteLine(size_t index);
  void ClearLines();
  // Appends each line followed by the line end (after ending a last unended line).
  void AppendLines(const support::StringList& lines);

  // Deletes every line that is empty after trimming; returns how many.
  size_t StripBlankLines();
  // Sorts the lines by CompareText, without those empty after trimming.
  void SortLines();
  // Old-layout lines: trailing blanks removed, and in every line that keeps text the
  // characters 72-75 and then 48-51 (1-based) deleted.
  void FixOldData();

  // Selects the next (or previous) place of `text` from the caret or selection, without
  // regard to case, going round at the end; false when the text holds none.
  bool Find(const QString& text, bool forward);

  // Caret column in characters, 1-based (virtual space counts).
  long CaretColumn() const;
  // Selection start and length in characters from the start of the text.
  long SelectionStart() const;
  long SelectionLength() const;

 signals:
  void focusEntered();
  void mouseReleased();
  void mouseEntered();
  void mouseLeft();
  // Ctrl+S.
  void saveRequested();
  // Ctrl+F.
  void findRequested();
  // The context menu, at a global position.
  void menuRequested(const QPoint& global_pos);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void SetBytes(std::string_view bytes, bool undoable);
  void UpdateNumberMargin();
  void EndKey();
  long Position(size_t line) const;

  EditorKind kind_;
  std::string file_name_;
  DiskStamp loaded_stamp_;
  DiskStamp offered_stamp_;
  std::string line_end_ = "\n";
  // The document QScintilla made, kept alive while a document without style bytes
  // (half the memory for a large list) is shown.
  long own_document_ = 0;
  int margin_digits_ = 0;
};
