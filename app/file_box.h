#pragma once
// The file box at the right of the window: the files of one folder that match a mask,
// sorted by name. F5 reads the folder again.

#include <QListWidget>
#include <string>

class FileBox : public QListWidget {
  Q_OBJECT
 public:
  static constexpr char kDesignMask[] = "*.v*";

  explicit FileBox(QWidget* parent = nullptr);

  // The folder with a trailing "/"; empty until set.
  const std::string& folder() const { return folder_; }
  void SetFolder(const std::string& folder);
  const std::string& mask() const { return mask_; }
  void SetMask(const std::string& mask);
  void Reread();
  // The selected file with its folder; empty when none is selected.
  std::string SelectedFile() const;
  // The names listed, in order.
  QStringList Names() const;

 signals:
  // Return or a double-click on a file.
  void fileChosen();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::string folder_;
  std::string mask_ = kDesignMask;
};
