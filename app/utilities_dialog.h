#pragma once
// TDsk201, the "Norvel utilities" tool window the main window opens with command 1201:
// CutAtts on its Convert page, and a converter of old-layout list files bound to a
// hidden button. It frees itself when closed, after storing its placement.

#include <QPointer>
#include <QWidget>

#include "app/kit/form_window.h"

class ConvertTab;
class FileBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

class TDsk201 : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kDesignWidth = 606;
  static constexpr int kDesignHeight = 393;
  static constexpr char kCaption[] = "Norvel utilities";

  // Command numbers, as the buttons' "tag" property carries them; CutAtts is the
  // Convert tab's.
  static constexpr int kCommandToMax = 2;
  static constexpr int kCommandConvert = 101;

  // Page indexes of pgCtl.
  static constexpr int kPageConvert = 0;
  static constexpr int kPageRepChars = 1;
  static constexpr int kPageDisks = 2;

  // A tool window of `parent`; the converter works on the files `file_box` lists (none
  // once the box is gone). Its placement is restored from the application ini here.
  TDsk201(QWidget* parent, FileBox* file_box);

 public slots:
  // Runs the command with this number; any other number does nothing.
  void ExecuteCommand(int tag);
  // The click handler of every button: runs the command of the sender's "tag".
  void xBtn_click();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* BuildRepCharsPage();
  // Rewrites every file the file box lists, in place; no backup, no message.
  void ConvertListFiles();

  QPointer<FileBox> file_box_;
  FormWindowAdapter placement_{this};

  QTabWidget* pgCtl_ = nullptr;
  ConvertTab* tsCnv_ = nullptr;
  QWidget* tsChrRpl_ = nullptr;
  QLabel* Label4_ = nullptr;
  QLineEdit* eSer_ = nullptr;
  QLabel* Label1_ = nullptr;
  QLineEdit* eLbl_ = nullptr;
  QLabel* Label6_ = nullptr;
  QLineEdit* Edit1_ = nullptr;
  QPushButton* Button1_ = nullptr;
  QPushButton* bcCmd01_ = nullptr;
  QWidget* tsSet_ = nullptr;
  QLabel* lInfo_ = nullptr;
};
