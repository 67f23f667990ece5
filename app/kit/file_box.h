#pragma once
// The file box at the right of the window: the regular files of one folder whose names
// match the mask, sorted by CompareText. Filled at once on the calling thread, so what
// it lists is known as soon as SetFolder, SetMask or Refresh returns. Names beginning
// with "." and symbolic links are left out (no list is ever read through a link). It
// reads its folder again when a file comes or goes there (another program's run too)
// and when the application becomes active.

#include <QFileSystemWatcher>
#include <QListWidget>
#include <string>
#include <vector>

class QMenu;

class FileBox : public QListWidget {
  Q_OBJECT
 public:
  static constexpr char kDesignMask[] = "*.v*";

  explicit FileBox(QWidget* parent = nullptr);

  // The folder with a trailing "/"; empty until set.
  const std::string& folder() const { return folder_; }
  // `missing_note` shows in the empty box for as long as the folder does not exist.
  void SetFolder(const std::string& folder, const std::string& missing_note = "");
  // What the empty box says in place of files; empty while its folder exists.
  std::string note() const { return folder_missing_ ? missing_note_ : std::string(); }
  // Selects the file at `path` when the box lists it; false when it does not.
  bool SelectFile(const std::string& path);
  // ";"-separated wildcards, without regard to case; "*.*" and "*" take every file.
  const std::string& mask() const { return mask_; }
  void SetMask(const std::string& mask);
  // Reads the folder again, keeping the selected name when it is still there.
  void Refresh();
  // The selected file with its folder; empty when none is selected.
  std::string selectedPath() const;
  // The names listed, in order, byte for byte.
  const std::vector<std::string>& names() const { return names_; }

 signals:
  // Return or a double-click on a file.
  void fileChosen();
  // The menu's "Verify" and "Compare with..." on the selected file.
  void verifyRequested();
  void compareRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // The menu of a right click: "Verify" (miFilVerify), "Compare with..." (miFilCompare).
  QMenu* mFil_ = nullptr;
  QFileSystemWatcher watcher_;
  std::string folder_;
  std::string mask_ = kDesignMask;
  std::string missing_note_;
  bool folder_missing_ = false;
  std::vector<std::string> names_;
};
