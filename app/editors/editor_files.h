#pragma once
// The files of the editor pages' editors: opened, reloaded and saved, each remembered as it
// is on disk, and offered again when it changes there. What it has to tell goes out as
// signals; the editor pages show it where the editor sits.

#include <QObject>
#include <functional>
#include <string>

class TextEditor;

class EditorFiles : public QObject {
  Q_OBJECT
 public:
  // `title` names an editor in the save question: its file, else where it sits.
  EditorFiles(std::function<std::string(const TextEditor*)> title, QObject* parent);

  // True when the editor's file changed on disk since it was loaded or saved.
  static bool FileChanged(const TextEditor* editor);

  bool OpenInto(TextEditor* editor);
  bool ReloadInto(TextEditor* editor);
  bool SaveEditor(TextEditor* editor);
  bool SaveEditorAs(TextEditor* editor);
  // LoadFile, remembering the file as it is on disk afterwards.
  bool LoadInto(TextEditor* editor, const std::string& file);
  // Offers to load the editor's file again when it changed on disk since it was loaded
  // or offered; each change is offered once.
  void OfferReload(TextEditor* editor);
  // True when the editor's text may go: unchanged, saved, or given up by the user.
  // `given_up` (may be null) is set when the user chose to lose the changes.
  bool MayLoseText(TextEditor* editor, bool* given_up = nullptr);

 signals:
  // A status text for the page of `editor`.
  void status(const TextEditor* editor, const std::string& text);
  // An editor's file name changed.
  void captionChanged();
  // A file was written where the file box may list it.
  void fileSaved();

 private:
  // SaveFile, remembering the file as it is on disk afterwards.
  bool WriteFrom(TextEditor* editor, const std::string& file);

  std::function<std::string(const TextEditor*)> title_;
};
