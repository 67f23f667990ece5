// TViv050: the two editor pages, the editor commands, the load from the file box, the
// position labels and the caption that names the editors' files.

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QTabWidget>

#include "app/double_edit.h"
#include "app/file_box.h"
#include "app/folder_picker.h"
#include "app/main_window.h"
#include "editor/find_bar.h"
#include "editor/text_editor.h"
#include "fs/dir_iter.h"
#include "support/msg.h"
#include "support/toolkit.h"

namespace {

constexpr int kAddedPagePercent = 30;
constexpr char kFolderCaption[] = "Get files to editor";

std::string NameOf(const TextEditor* editor) { return editor->objectName().toStdString(); }

QAction* MenuItem(QMenu* menu, const char* caption, int tag) {
  QAction* action = menu->addAction(caption);
  action->setData(tag);
  action->setObjectName(QString("mi%1").arg(tag));
  return action;
}

}  // namespace

void TViv050::BuildEditorPages() {
  const struct {
    TTbsDoubleEdit** page;
    const char* page_name;
    TextEditor** first;
    const char* first_name;
    TextEditor** second;
    const char* second_name;
    const char* splitter_name;
    bool edge_line;
  } pages[] = {
      {&tsEdit1_, "tsEdit1", &sEdt11_, "sEdt11", &sEdt12_, "sEdt12", "SplitterSx1", true},
      {&tsEdit2_, "tsEdit2", &sEdt21_, "sEdt21", &sEdt22_, "sEdt22", "Splitter1", false},
  };
  for (const auto& p : pages) {
    auto* page = new TTbsDoubleEdit;
    page->setObjectName(p.page_name);
    page->BuildParts();
    page->Edt1->setObjectName(p.first_name);
    page->Edt2->setObjectName(p.second_name);
    page->Splitter->setObjectName(p.splitter_name);
    page->Edt1->Configure({p.edge_line, true});
    page->Edt2->Configure({p.edge_line, false});
    ConnectEditor(page->Edt1);
    ConnectEditor(page->Edt2);
    *p.page = page;
    *p.first = page->Edt1;
    *p.second = page->Edt2;
  }
  current_editor_ = sEdt11_;

  mE_ = new QMenu(this);
  mE_->setObjectName("mE");
  MenuItem(mE_, "Strip Blanks", 101);
  MenuItem(mE_, "Sort", 102);
  mE_->addSeparator();
  MenuItem(mE_, "Clear lines", 950);
  MenuItem(mE_, "File list from directory ...", 951);
  MenuItem(mE_, "Directory list  ...", 952);
  mE_->addSeparator();
  MenuItem(mE_, "Open ...", 961);
  MenuItem(mE_, "Load", 962);
  MenuItem(mE_, "Save", 963);
  MenuItem(mE_, "Save as ...", 964);
  connect(mE_, &QMenu::triggered, this, [this](QAction* a) { ExecuteCommand(a->data().toInt()); });

  mTE_ = new QMenu(this);
  mTE_->setObjectName("mTE");
  for (QAction* a : {MenuItem(mTE_, "2nd editor", 350), MenuItem(mTE_, "Vertical", 351)}) {
    a->setCheckable(true);
    a->setChecked(true);
  }
  MenuItem(mTE_, "Save", 83);
  MenuItem(mTE_, "Save as ...", 84);
  mTE_->addSeparator();
  MenuItem(mTE_, "Append SRT ...", 60);
  connect(mTE_, &QMenu::triggered, this,
          [this](QAction* a) { ExecuteCommand(a->data().toInt()); });
  tsEdit1_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(tsEdit1_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { mTE_->exec(tsEdit1_->mapToGlobal(at)); });
}

void TViv050::ConnectEditor(TextEditor* editor) {
  connect(editor, &TextEditor::focusEntered, this, [this, editor] { EditorFocused(editor); });
  connect(editor, &TextEditor::mouseReleased, this, [this, editor] {
    if (editor == sEdt11_ || editor == sEdt12_) EditorFocused(editor);
  });
  connect(editor, &TextEditor::mouseEntered, this, [this, editor] { command_editor_ = editor; });
  connect(editor, &TextEditor::mouseLeft, this, [this] { command_editor_ = nullptr; });
  // The focused editor is saved, whichever editor the pointer is over.
  connect(editor, &TextEditor::saveRequested, this,
          [this, editor] { ExecuteEditorCommand(963, editor); });
  connect(editor, &TextEditor::menuRequested, this,
          [this, editor](const QPoint& at) { ShowEditorMenu(editor, at); });
  connect(editor, &TextEditor::findRequested, this, [editor] {
    for (QWidget* w = editor->parentWidget(); w != nullptr; w = w->parentWidget()) {
      if (auto* page = qobject_cast<TTbsDoubleEdit*>(w)) {
        page->find_bar()->Open(editor);
        return;
      }
    }
  });
}

void TViv050::ShowEditorMenu(TextEditor* editor, const QPoint& global_pos) {
  // The popup takes the pointer away from the editor; its commands still belong to it.
  menu_editor_ = editor;
  mE_->exec(global_pos);
  menu_editor_ = nullptr;
}

void TViv050::EditorFocused(TextEditor* editor) {
  current_editor_ = editor;
  ExecuteCommand(60);
}

TextEditor* TViv050::CommandEditor() const {
  if (menu_editor_ != nullptr) return menu_editor_;
  if (command_editor_ != nullptr) return command_editor_;
  return current_editor_;
}

void TViv050::ExecuteEditorCommand(int tag, TextEditor* editor) {
  switch (tag) {
    case 101:
      StripBlanks(editor);
      break;
    case 102:
      SortEditor(editor);
      break;
    case 201:
      FixOldData(editor);
      break;
    case 950:
      ClearEditor(editor);
      break;
    case 951:
    case 952:
      ListFolderInto(editor, tag == 952);
      break;
    case 961:
    case 981:
      OpenInto(editor);
      break;
    case 962:
    case 982:
      ReloadInto(editor);
      break;
    case 963:
    case 983:
      SaveEditor(editor);
      break;
    case 964:
    case 984:
      SaveEditorAs(editor);
      break;
    default:
      break;
  }
}

void TViv050::StripBlanks(TextEditor* editor) {
  if (editor->StripBlankLines() > 0) ShowInfo(kInfoStatus, "Removed blanks from " + NameOf(editor));
}

void TViv050::SortEditor(TextEditor* editor) {
  editor->SortLines();
  ShowInfo(kInfoStatus, "Stripped sorted " + NameOf(editor));
}

void TViv050::FixOldData(TextEditor* editor) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  editor->FixOldData();
  QApplication::restoreOverrideCursor();
  ShowInfo(kInfoStatus, "Fixed old data " + NameOf(editor));
}

void TViv050::ClearEditor(TextEditor* editor) {
  if (!MayLoseText(editor)) return;
  editor->ClearLines();
  ShowInfo(kInfoStatus, "Cleared editor " + NameOf(editor));
}

void TViv050::ListFolderInto(TextEditor* editor, bool directories) {
  std::string folder;
  if (!BrowseFolderSx(kFolderCaption, "", &folder)) return;
  if (!MayLoseText(editor)) return;
  support::StringList list;
  const uint32_t options = directories ? walk_option::NoFiles | walk_option::Recurse
                                       : walk_option::NoDirs;
  FilesToStringsSx(&list, folder, options, nullptr, "", "");
  list.Sort();
  editor->AppendLines(list);
  editor->set_file_name("");
  RefreshCaption();
  ShowInfo(kInfoStatus, (directories ? "Loaded driectory tree from directory "
                                     : "Loaded files from directory ") +
                            folder + " to " + NameOf(editor));
}

bool TViv050::OpenInto(TextEditor* editor) {
  std::string file;
  if (!ChooseFileSx(false, "Open file for editor " + NameOf(editor), editor->file_name(),
                    &file)) {
    return false;
  }
  if (!MayLoseText(editor) || !editor->LoadFile(file)) return false;
  ShowInfo(kInfoStatus, "Loaded file " + file + " to " + NameOf(editor));
  editor->set_file_name(file);
  RefreshCaption();
  return true;
}

bool TViv050::ReloadInto(TextEditor* editor) {
  const std::string file = editor->file_name();
  if (file.empty() || !FileExistsSx(file, 1)) return OpenInto(editor);
  if (!MayLoseText(editor) || !editor->LoadFile(file)) return false;
  ShowInfo(kInfoStatus, "Loaded file " + file + " to " + NameOf(editor));
  return true;
}

bool TViv050::SaveEditor(TextEditor* editor) {
  const std::string file = editor->file_name();
  if (file.empty()) return SaveEditorAs(editor);
  if (!editor->SaveFile(file)) return false;
  ShowInfo(kInfoStatus, "Saved file " + file + " from " + NameOf(editor));
  return true;
}

bool TViv050::SaveEditorAs(TextEditor* editor) {
  const std::string old_name = editor->file_name();
  std::string file;
  if (!ChooseFileSx(true, "Save file from editor " + NameOf(editor), old_name, &file)) {
    return false;
  }
  if (!editor->SaveFile(file)) return false;
  ShowInfo(kInfoStatus, (old_name.empty() ? "Saved new file as " + file
                                          : "Saved file " + old_name + " as " + file) +
                            " from " + NameOf(editor));
  editor->set_file_name(file);
  bFil_->Refresh();
  RefreshCaption();
  return true;
}

bool TViv050::MayLoseText(TextEditor* editor) {
  if (!editor->isModified()) return true;
  const std::string name = editor->file_name().empty() ? NameOf(editor) : editor->file_name();
  const int answer = MsgSx("Save changes to " + name + "?", kCaption,
                           support::kMbYesNoCancel | support::kMbIconQuestion);
  if (answer == support::kIdYes) return SaveEditor(editor);
  return answer == support::kIdNo;
}

bool TViv050::EditorsMayClose() {
  for (TextEditor* editor : findChildren<TextEditor*>()) {
    if (!MayLoseText(editor)) return false;
  }
  return true;
}

void TViv050::LoadFromFileBox() {
  TextEditor* editor = current_editor_;
  if (editor == nullptr) return;
  std::string file = bFil_->selectedPath();
  if (file.empty()) file = editor->file_name();
  if (!FileExistsSx(file, 1) || !MayLoseText(editor)) return;
  if (!editor->LoadFile(file)) return;
  editor->set_file_name(file);
  RefreshCaption();
}

void TViv050::ShowPositions() {
  TextEditor* editor = current_editor_;
  if (editor == nullptr) return;
  lbdPos1_->setText(QString::number(editor->CaretColumn()));
  if (editor->LineCount() == 0) {
    lbdSel1_->clear();
  } else {
    lbdSel1_->setText(
        QString("%1-%2").arg(editor->SelectionStart()).arg(editor->SelectionLength()));
  }
}

void TViv050::RefreshCaption() {
  // The designed caption stands until the window is first shown.
  if (!first_show_done_) return;
  std::string caption = kCaption;
  const QWidget* page = pcCln_->currentWidget();
  const TTbsDoubleEdit* shown = page == tsEdit1_ ? tsEdit1_ : page == tsEdit2_ ? tsEdit2_ : nullptr;
  if (shown != nullptr) {
    if (!shown->Edt1->file_name().empty()) caption += " Edit1 : " + shown->Edt1->file_name();
    if (!shown->Edt2->file_name().empty()) caption += " Edit2 : " + shown->Edt2->file_name();
  }
  setWindowTitle(QString::fromStdString(caption));
}

TTbsDoubleEdit* TViv050::added_page() const { return added_page_; }

void TViv050::AddEditorPage() {
  DoubleEditParts parts;
  parts.pages = pcCln_;
  parts.first = new TextEditor;
  parts.second = new TextEditor;
  parts.first->Configure(sEdt11_->kind());
  parts.second->Configure(sEdt12_->kind());
  parts.splitter = new QSplitter(Qt::Vertical);
  ConnectEditor(parts.first);
  ConnectEditor(parts.second);
  added_page_ = new TTbsDoubleEdit;
  added_page_->AssignParts(parts, kAddedPagePercent);
}

void TViv050::RemoveEditorPage() {
  if (added_page_ == nullptr) return;
  added_page_->FreeParts();
  delete added_page_;
  added_page_ = nullptr;
}
