#include "app/editors/editor_pages.h"

#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QTabWidget>

#include "app/editors/double_edit.h"
#include "app/editors/editor_files.h"
#include "app/kit/folder_picker.h"
#include "app/kit/ini_fields.h"
#include "app/kit/widget_kit.h"
#include "editor/find_bar.h"
#include "editor/text_editor.h"
#include "editor/visible_marks.h"
#include "fs/dir_iter.h"
#include "support/toolkit.h"

namespace {

constexpr int kAddedPagePercent = 30;
constexpr char kFolderCaption[] = "Get files to editor";
constexpr char kKeySecondEditor[] = "Edit1Second";
constexpr char kKeyVertical[] = "Edit1Vertical";
constexpr char kKeySplit1[] = "Edit1Split";
constexpr char kKeySplit2[] = "Edit2Split";
constexpr char kStatusName[] = "lEdStatus";

// Splitter sizes as "400,104"; an empty list when the text holds none.
std::string SizesText(const QList<int>& sizes) {
  std::string text;
  for (int size : sizes) text += (text.empty() ? "" : ",") + std::to_string(size);
  return text;
}

QList<int> SizesOf(const std::string& text) {
  QList<int> sizes;
  for (const QString& piece : QString::fromStdString(text).split(',', Qt::SkipEmptyParts)) {
    bool ok = false;
    const int size = piece.toInt(&ok);
    if (!ok || size < 0) return {};
    sizes.append(size);
  }
  return sizes;
}

TTbsDoubleEdit* PageOf(const QWidget* widget) {
  for (QWidget* w = widget->parentWidget(); w != nullptr; w = w->parentWidget()) {
    if (auto* page = qobject_cast<TTbsDoubleEdit*>(w)) return page;
  }
  return nullptr;
}

std::string NameOf(const TextEditor* editor) { return editor->objectName().toStdString(); }

QAction* MenuItem(QMenu* menu, const char* caption, Command command) {
  const int tag = static_cast<int>(command);
  QAction* action = menu->addAction(caption);
  action->setData(tag);
  action->setObjectName(QString("mi%1").arg(tag));
  return action;
}

}  // namespace

EditorPages::EditorPages(QWidget* window, QTabWidget* pages)
    : window_(window),
      pages_(pages),
      files_(new EditorFiles([this](const TextEditor* editor) { return Title(editor); }, this)) {
  connect(files_, &EditorFiles::status, this, &EditorPages::ShowStatus);
  connect(files_, &EditorFiles::captionChanged, this, &EditorPages::captionChanged);
  connect(files_, &EditorFiles::fileSaved, this, &EditorPages::fileSaved);
}

void EditorPages::Build() {
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
  BuildMenus();
}

void EditorPages::BuildMenus() {
  mE_ = new QMenu(window_);
  mE_->setObjectName("mE");
  MenuItem(mE_, "Strip Blanks", Command::kStripBlanks);
  MenuItem(mE_, "Sort", Command::kSort);
  mE_->addSeparator();
  MenuItem(mE_, "Clear lines", Command::kClearLines);
  MenuItem(mE_, "File list from directory ...", Command::kListFiles);
  MenuItem(mE_, "Directory list  ...", Command::kListDirectories);
  mE_->addSeparator();
  MenuItem(mE_, "Open ...", Command::kMenuOpen);
  MenuItem(mE_, "Load", Command::kMenuLoad);
  MenuItem(mE_, "Save", Command::kMenuSave);
  MenuItem(mE_, "Save as ...", Command::kMenuSaveAs);
  connect(mE_, &QMenu::triggered, this,
          [this](QAction* a) { Execute(static_cast<Command>(a->data().toInt())); });

  mTE_ = new QMenu(window_);
  mTE_->setObjectName("mTE");
  second_editor_ = MenuItem(mTE_, "2nd editor", Command::kSecondEditor);
  vertical_ = MenuItem(mTE_, "Vertical", Command::kVertical);
  // The marks tell how the page shows: both editors, one above the other.
  second_editor_->setCheckable(true);
  second_editor_->setChecked(true);
  vertical_->setCheckable(true);
  vertical_->setChecked(false);
  MenuItem(mTE_, "Save", Command::kPageSave);
  MenuItem(mTE_, "Save as ...", Command::kPageSaveAs);
  mTE_->addSeparator();
  MenuItem(mTE_, "Append SRT ...", Command::kPositions);
  connect(mTE_, &QMenu::triggered, this,
          [this](QAction* a) { Execute(static_cast<Command>(a->data().toInt())); });
  tsEdit1_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(tsEdit1_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { mTE_->exec(tsEdit1_->mapToGlobal(at)); });
}

void EditorPages::ConnectEditor(TextEditor* editor) {
  connect(editor, &TextEditor::focusEntered, this, [this, editor] { EditorFocused(editor); });
  connect(editor, &TextEditor::mouseReleased, this, [this, editor] {
    if (editor == sEdt11_ || editor == sEdt12_) EditorFocused(editor);
  });
  connect(editor, &TextEditor::mouseEntered, this, [this, editor] { command_editor_ = editor; });
  connect(editor, &TextEditor::mouseLeft, this, [this] { command_editor_ = nullptr; });
  // The focused editor is saved, whichever editor the pointer is over.
  connect(editor, &TextEditor::saveRequested, this,
          [this, editor] { ExecuteEditorCommand(Command::kMenuSave, editor); });
  connect(editor, &TextEditor::menuRequested, this,
          [this, editor](const QPoint& at) { ShowEditorMenu(editor, at); });
  connect(editor, &TextEditor::findRequested, this, [editor] {
    if (TTbsDoubleEdit* page = PageOf(editor)) page->find_bar()->Open(editor);
  });
}

void EditorPages::ShowEditorMenu(TextEditor* editor, const QPoint& global_pos) {
  // The popup takes the pointer away from the editor; its commands still belong to it.
  menu_editor_ = editor;
  mE_->exec(global_pos);
  menu_editor_ = nullptr;
}

void EditorPages::EditorFocused(TextEditor* editor) {
  current_editor_ = editor;
  if (editor == sEdt11_ || editor == sEdt12_) edit1_editor_ = editor;
  ShowPositions();
  // Asked after the focus change is done: a box shown inside it would take the focus
  // away again.
  if (EditorFiles::FileChanged(editor)) {
    QMetaObject::invokeMethod(
        this,
        [this, editor = QPointer<TextEditor>(editor)] {
          if (editor != nullptr) files_->OfferReload(editor);
        },
        Qt::QueuedConnection);
  }
}

TextEditor* EditorPages::CommandEditor() const {
  if (menu_editor_ != nullptr) return menu_editor_;
  if (command_editor_ != nullptr) return command_editor_;
  return current_editor_;
}

bool EditorPages::Execute(Command command) {
  switch (command) {
    case Command::kPositions:
      ShowPositions();
      return true;
    case Command::kAddEditorPage:
      AddEditorPage();
      return true;
    case Command::kRemoveEditorPage:
      RemoveEditorPage();
      return true;
    case Command::kSecondEditor:
      ShowSecondEditor(second_editor_->isChecked());
      return true;
    case Command::kVertical:
      SetSideBySide(vertical_->isChecked());
      return true;
    case Command::kPageSave:
      files_->SaveEditor(Edit1Editor());
      return true;
    case Command::kPageSaveAs:
      files_->SaveEditorAs(Edit1Editor());
      return true;
    case Command::kStripBlanks:
    case Command::kSort:
    case Command::kFixOldData:
    case Command::kClearLines:
    case Command::kListFiles:
    case Command::kListDirectories:
    case Command::kMenuOpen:
    case Command::kMenuLoad:
    case Command::kMenuSave:
    case Command::kMenuSaveAs:
    case Command::kOpen:
    case Command::kLoad:
    case Command::kSave:
    case Command::kSaveAs:
      if (TextEditor* editor = CommandEditor()) ExecuteEditorCommand(command, editor);
      return true;
    default:
      return false;
  }
}

void EditorPages::ExecuteEditorCommand(Command command, TextEditor* editor) {
  switch (command) {
    case Command::kStripBlanks:
      StripBlanks(editor);
      break;
    case Command::kSort:
      SortEditor(editor);
      break;
    case Command::kFixOldData:
      FixOldData(editor);
      break;
    case Command::kClearLines:
      ClearEditor(editor);
      break;
    case Command::kListFiles:
    case Command::kListDirectories:
      ListFolderInto(editor, command == Command::kListDirectories);
      break;
    case Command::kMenuOpen:
    case Command::kOpen:
      files_->OpenInto(editor);
      break;
    case Command::kMenuLoad:
    case Command::kLoad:
      files_->ReloadInto(editor);
      break;
    case Command::kMenuSave:
    case Command::kSave:
      files_->SaveEditor(editor);
      break;
    case Command::kMenuSaveAs:
    case Command::kSaveAs:
      files_->SaveEditorAs(editor);
      break;
    default:
      break;
  }
}

void EditorPages::StripBlanks(TextEditor* editor) {
  if (editor->StripBlankLines() > 0) ShowStatus(editor, "Removed blanks from " + NameOf(editor));
}

void EditorPages::SortEditor(TextEditor* editor) {
  editor->SortLines();
  ShowStatus(editor, "Stripped sorted " + NameOf(editor));
}

void EditorPages::FixOldData(TextEditor* editor) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  editor->FixOldData();
  QApplication::restoreOverrideCursor();
  ShowStatus(editor, "Fixed old data " + NameOf(editor));
}

void EditorPages::ClearEditor(TextEditor* editor) {
  bool given_up = false;
  if (!files_->MayLoseText(editor, &given_up)) return;
  editor->ClearLines();
  // The user gave the text up once; an empty editor is not asked about again.
  if (given_up) editor->setModified(false);
  ShowStatus(editor, "Cleared editor " + NameOf(editor));
}

void EditorPages::ListFolderInto(TextEditor* editor, bool directories) {
  std::string folder;
  if (!BrowseFolderSx(kFolderCaption, "", &folder)) return;
  if (!files_->MayLoseText(editor)) return;
  support::StringList list;
  const uint32_t options =
      directories ? fs::walk_option::NoFiles | fs::walk_option::Recurse : fs::walk_option::NoDirs;
  fs::FilesToStringsSx(&list, folder, options, nullptr, "", "");
  list.Sort();
  editor->AppendLines(list);
  editor->set_file_name("");
  emit captionChanged();
  ShowStatus(editor, (directories ? "Loaded driectory tree from directory "
                                  : "Loaded files from directory ") +
                         folder + " to " + NameOf(editor));
}

std::string EditorPages::Title(const TextEditor* editor) const {
  if (!editor->file_name().empty()) return editor->file_name();
  const TTbsDoubleEdit* page = PageOf(editor);
  std::string page_name = "an added page";
  if (page == tsEdit1_) page_name = "Edit1";
  if (page == tsEdit2_) page_name = "Edit2";
  const bool side_by_side = page != nullptr && page->Splitter != nullptr &&
                            page->Splitter->orientation() == Qt::Horizontal;
  const bool first = page != nullptr && page->Edt1 == editor;
  const char* place = side_by_side ? (first ? "left" : "right") : (first ? "upper" : "lower");
  return std::string("the ") + place + " editor of " + page_name;
}

void EditorPages::ShowStatus(const TextEditor* editor, const std::string& text) {
  TTbsDoubleEdit* page = PageOf(editor);
  if (page == nullptr) {
    emit info(kInfoStatus, text);
    return;
  }
  auto* status = page->findChild<ElidedLabel*>(kStatusName, Qt::FindDirectChildrenOnly);
  if (status == nullptr) {
    status = Named(new ElidedLabel, kStatusName);
    if (auto* column = qobject_cast<QBoxLayout*>(page->layout())) column->addWidget(status);
  }
  status->setText(VisibleMarks(QString::fromStdString(" " + text)));
  status->setToolTip(status->text());
}

void EditorPages::ShowSecondEditor(bool shown) {
  second_editor_->setChecked(shown);
  tsEdit1_->Edt2->setVisible(shown);
  // A hidden editor gives the focus and Edit1's commands back to the first.
  if (!shown && edit1_editor_ == sEdt12_) edit1_editor_ = sEdt11_;
}

void EditorPages::SetSideBySide(bool side_by_side) {
  vertical_->setChecked(side_by_side);
  QSplitter* splitter = tsEdit1_->Splitter;
  const Qt::Orientation wanted = side_by_side ? Qt::Horizontal : Qt::Vertical;
  if (splitter->orientation() == wanted) return;
  splitter->setOrientation(wanted);
  // Half each: the heights kept for one above the other mean nothing across.
  const int room = side_by_side ? splitter->width() : splitter->height();
  splitter->setSizes({room / 2, room - room / 2});
}

TextEditor* EditorPages::Edit1Editor() const {
  if (edit1_editor_ != nullptr && edit1_editor_->isVisible()) return edit1_editor_;
  return sEdt11_;
}

void EditorPages::Load() {
  ShowSecondEditor(ReadInt(kKeySecondEditor, 1) != 0);
  SetSideBySide(ReadInt(kKeyVertical, 0) != 0);
  const std::pair<QSplitter*, const char*> splitters[] = {{tsEdit1_->Splitter, kKeySplit1},
                                                          {tsEdit2_->Splitter, kKeySplit2}};
  for (const auto& [splitter, key] : splitters) {
    const QList<int> sizes = SizesOf(ReadString(key, ""));
    if (sizes.size() == splitter->count()) splitter->setSizes(sizes);
  }
}

void EditorPages::Save() const {
  WriteValue(kKeySecondEditor, SxValue(second_editor_->isChecked() ? 1 : 0));
  WriteValue(kKeyVertical, SxValue(vertical_->isChecked() ? 1 : 0));
  WriteValue(kKeySplit1, SxValue(SizesText(tsEdit1_->Splitter->sizes())));
  WriteValue(kKeySplit2, SxValue(SizesText(tsEdit2_->Splitter->sizes())));
}

bool EditorPages::MayClose() {
  for (TextEditor* editor : window_->findChildren<TextEditor*>()) {
    if (!files_->MayLoseText(editor)) return false;
  }
  return true;
}

void EditorPages::LoadChosenFile(const std::string& chosen) {
  TextEditor* editor = current_editor_;
  if (editor == nullptr) return;
  std::string file = chosen;
  if (file.empty()) file = editor->file_name();
  if (!support::FileExistsSx(file, 1) || !files_->MayLoseText(editor)) return;
  if (!files_->LoadInto(editor, file)) return;
  editor->set_file_name(file);
  emit captionChanged();
}

void EditorPages::ShowPositions() {
  TextEditor* editor = current_editor_;
  if (editor == nullptr) return;
  QString selection;
  if (editor->LineCount() != 0) {
    selection = QString("%1-%2").arg(editor->SelectionStart()).arg(editor->SelectionLength());
  }
  emit positionsChanged(QString::number(editor->CaretColumn()), selection);
}

std::string EditorPages::Caption(const QWidget* page) const {
  std::string caption = kProgramCaption;
  const TTbsDoubleEdit* shown = page == tsEdit1_ ? tsEdit1_ : page == tsEdit2_ ? tsEdit2_ : nullptr;
  if (shown != nullptr) {
    if (!shown->Edt1->file_name().empty()) caption += " Edit1 : " + shown->Edt1->file_name();
    if (!shown->Edt2->file_name().empty()) caption += " Edit2 : " + shown->Edt2->file_name();
  }
  return caption;
}

void EditorPages::PageChanged() { current_editor_ = nullptr; }

TTbsDoubleEdit* EditorPages::added_page() const { return added_page_; }

void EditorPages::AddEditorPage() {
  DoubleEditParts parts;
  parts.pages = pages_;
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

void EditorPages::RemoveEditorPage() {
  if (added_page_ == nullptr) return;
  added_page_->FreeParts();
  delete added_page_;
  added_page_ = nullptr;
}
