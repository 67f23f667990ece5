#include "app/editors/editor_files.h"

#include <string>

#include "app/kit/folder_picker.h"
#include "app/kit/widget_kit.h"
#include "editor/text_editor.h"
#include "platform/files.h"
#include "support/msg.h"
#include "support/toolkit.h"

namespace {

std::string NameOf(const TextEditor* editor) { return editor->objectName().toStdString(); }

// The file as it is on disk now; an empty path when it cannot be looked up.
TextEditor::DiskStamp StampOf(const std::string& path) {
  TextEditor::DiskStamp stamp;
  platform::FileInfo info;
  if (!platform::StatPath(path, &info)) return stamp;
  stamp.path = path;
  stamp.size = info.size;
  stamp.write_ns = info.write_ns;
  return stamp;
}

// The editor's file as it is now, when it differs from what the editor loaded or last
// saved; an empty path otherwise. A file that is gone loses nothing when written again.
TextEditor::DiskStamp ChangedOnDisk(const TextEditor* editor, const std::string& path) {
  const TextEditor::DiskStamp& loaded = editor->loaded_stamp();
  if (loaded.path.empty() || loaded.path != path) return {};
  TextEditor::DiskStamp now = StampOf(path);
  if (now.path.empty() || now == loaded) return {};
  return now;
}

// Takes the lock a run holds on its list while it writes it, so the list cannot be
// written while a run has it, nor a run start on it while it is written. False only
// when a run holds it; a missing or unlockable file is left to the write to report.
bool LockAgainstRuns(const std::string& path, platform::File* lock) {
  if (lock->Open(path, platform::OpenMode::kReadWriteLocked)) return true;
  return lock->ErrorText() != platform::kInUseText;
}

}  // namespace

EditorFiles::EditorFiles(std::function<std::string(const TextEditor*)> title, QObject* parent)
    : QObject(parent), title_(std::move(title)) {}

bool EditorFiles::FileChanged(const TextEditor* editor) {
  return !ChangedOnDisk(editor, editor->file_name()).path.empty();
}

void EditorFiles::OfferReload(TextEditor* editor) {
  const std::string file = editor->file_name();
  const TextEditor::DiskStamp now = ChangedOnDisk(editor, file);
  if (now.path.empty() || now == editor->offered_stamp()) return;
  editor->set_offered_stamp(now);
  const std::string lost = editor->isModified() ? " The changes made here are lost." : "";
  const int answer =
      support::MsgSx(file + " changed on disk since it was loaded. Load it again?" + lost,
                     kProgramCaption, support::kMbYesNo | support::kMbIconQuestion);
  if (answer != support::kIdYes || !LoadInto(editor, file)) return;
  emit status(editor, "Loaded file " + file + " to " + NameOf(editor));
}

bool EditorFiles::OpenInto(TextEditor* editor) {
  std::string file;
  if (!ChooseFileSx(false, "Open file for editor " + NameOf(editor), editor->file_name(), &file)) {
    return false;
  }
  if (!MayLoseText(editor) || !LoadInto(editor, file)) return false;
  emit status(editor, "Loaded file " + file + " to " + NameOf(editor));
  editor->set_file_name(file);
  emit captionChanged();
  return true;
}

bool EditorFiles::ReloadInto(TextEditor* editor) {
  const std::string file = editor->file_name();
  if (file.empty() || !support::FileExistsSx(file, 1)) return OpenInto(editor);
  if (!MayLoseText(editor) || !LoadInto(editor, file)) return false;
  emit status(editor, "Loaded file " + file + " to " + NameOf(editor));
  return true;
}

bool EditorFiles::SaveEditor(TextEditor* editor) {
  const std::string file = editor->file_name();
  if (file.empty()) return SaveEditorAs(editor);
  if (!WriteFrom(editor, file)) return false;
  emit status(editor, "Saved file " + file + " from " + NameOf(editor));
  return true;
}

bool EditorFiles::SaveEditorAs(TextEditor* editor) {
  const std::string old_name = editor->file_name();
  std::string file;
  if (!ChooseFileSx(true, "Save file from editor " + NameOf(editor), old_name, &file)) {
    return false;
  }
  if (!WriteFrom(editor, file)) return false;
  emit status(editor, (old_name.empty() ? "Saved new file as " + file
                                        : "Saved file " + old_name + " as " + file) +
                          " from " + NameOf(editor));
  editor->set_file_name(file);
  emit fileSaved();
  emit captionChanged();
  return true;
}

bool EditorFiles::LoadInto(TextEditor* editor, const std::string& file) {
  // Looked at before the read: a change while it reads shows as a change later.
  TextEditor::DiskStamp stamp = StampOf(file);
  if (!editor->LoadFile(file)) return false;
  editor->set_loaded_stamp(std::move(stamp));
  return true;
}

bool EditorFiles::WriteFrom(TextEditor* editor, const std::string& file) {
  platform::File lock;
  const auto locked = [&] {
    if (LockAgainstRuns(file, &lock)) return true;
    emit status(editor, file + " is in use by a running scan; not saved");
    return false;
  };
  if (!locked()) return false;
  if (!ChangedOnDisk(editor, file).path.empty()) {
    // No lock while the box waits for the user: a run may start meanwhile.
    lock.Close();
    const int answer =
        support::MsgSx(file +
                           " changed on disk since it was loaded. Yes: save over it; "
                           "No: load it again; Cancel: keep both as they are",
                       kProgramCaption, support::kMbYesNoCancel | support::kMbIconWarning);
    if (answer == support::kIdNo && LoadInto(editor, file)) {
      emit status(editor, "Loaded file " + file + " to " + NameOf(editor));
    }
    if (answer != support::kIdYes || !locked()) return false;
  }
  if (!editor->SaveFile(file)) return false;
  editor->set_loaded_stamp(StampOf(file));
  return true;
}

bool EditorFiles::MayLoseText(TextEditor* editor, bool* given_up) {
  if (!editor->isModified()) return true;
  const int answer = support::MsgSx("Save changes to " + title_(editor) + "?", kProgramCaption,
                                    support::kMbYesNoCancel | support::kMbIconQuestion);
  if (answer == support::kIdYes) return SaveEditor(editor);
  if (given_up != nullptr) *given_up = answer == support::kIdNo;
  return answer == support::kIdNo;
}
