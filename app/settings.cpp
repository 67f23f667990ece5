// TViv050: loading and saving the Settings page (section "Viv050" of the application
// ini, and the shared base section of the base settings file).

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <algorithm>

#include "app/controls.h"
#include "app/file_box.h"
#include "app/main_window.h"
#include "scan/list_paths.h"
#include "support/form_place.h"
#include "support/ini.h"
#include "support/msg.h"
#include "support/sys_init.h"
#include "support/toolkit.h"

namespace {

constexpr char kSection[] = "Viv050";

// Keys in the order they are read and written.
constexpr char kKeyLastPage[] = "LastPage";
constexpr char kKeyPath[] = "Path";
constexpr char kKeyUseName[] = "UseName";
constexpr char kKeyName[] = "Name";
constexpr char kKeyNetNam[] = "NetNam";
constexpr char kKeyNetSep[] = "NetSep";
constexpr char kKeyLblNam[] = "LblNam";
constexpr char kKeyDirSep[] = "DirSep";
constexpr char kKeyDirNam[] = "DirNam";
constexpr char kKeySerSep[] = "SerSep";
constexpr char kKeySerNam[] = "SerNam";
constexpr char kKeyNetWidth[] = "NetNam.Width";
constexpr char kKeyLblWidth[] = "LblNam.Width";
constexpr char kKeySerWidth[] = "SerNam.Width";
constexpr char kKeyOptions[] = "Options";
constexpr char kKeyDirs[] = "cbDirs";
constexpr char kKeyDirPar[] = "DirPar";
constexpr char kKeyLstPar[] = "LstPar";
constexpr char kKeyTimer[] = "Timer";
constexpr char kKeyExpand[] = "Expand";
constexpr char kKeyBufPrc[] = "BufPrc";
constexpr char kKeyBufMax[] = "BufMax";
constexpr char kKeyThreads[] = "Threads";
constexpr char kKeyMinBlocks[] = "MinBlocks";
constexpr char kKeyFileBoxPath[] = "FileBoxPath";
constexpr char kKeyFileBoxMask[] = "FileBoxMask";

std::string Text(const QLineEdit* edit) { return edit->text().toStdString(); }

void ReadText(QLineEdit* edit, const char* key) {
  edit->setText(QString::fromStdString(
      IniGetSx(SxAppIni, kSection, key, SxValue(Text(edit))).AsText()));
}

void ReadBool(QCheckBox* box, const char* key) {
  box->setChecked(IniGetSx(SxAppIni, kSection, key, SxValue(box->isChecked())).AsBool());
}

// A text and its history; addItems on an empty box replaces the edit text, so the text
// read goes back afterwards.
void ReadBox(QComboBox* box, const char* key) {
  const std::string text =
      IniGetSx(SxAppIni, kSection, key, SxValue(box->currentText().toStdString())).AsText();
  support::StringList items;
  IniGetListSx(SxAppIni, kSection, key, &items);
  QStringList list;
  for (const std::string& item : items.items()) list << QString::fromStdString(item);
  box->addItems(list);
  box->setEditText(QString::fromStdString(text));
}

void WriteBox(const QComboBox* box, const char* key) {
  IniSetSx(SxAppIni, kSection, key, SxValue(box->currentText().toStdString()));
  support::StringList items;
  for (int i = 0; i < box->count(); ++i) items.Add(box->itemText(i).toStdString());
  IniSetListSx(SxAppIni, kSection, key, items);
}

// A stored integer that does not convert is reported and keeps its default; the keys
// after it still load.
int32_t ReadInt(const char* key, int32_t default_value) {
  try {
    return static_cast<int32_t>(
        IniGetSx(SxAppIni, kSection, key, SxValue(default_value)).AsInt());
  } catch (const support::ConversionError& error) {
    MsgSx(error.what(), QCoreApplication::applicationName().toStdString());
    return default_value;
  }
}

}  // namespace

uint8_t TViv050::OptionBits() const {
  uint8_t bits = 0;
  if (cOpt1_->isChecked()) bits |= kOptNoBackUp;
  if (cOpt2_->isChecked()) bits |= kOptHexFile;
  if (cOpt4_->isChecked()) bits |= kOptHexPath;
  if (cOpt8_->isChecked()) bits |= kOptNoLocks;
  return bits;
}

void TViv050::LoadSettings() {
  info_normal_ = lInfo_->palette();
  FormPlaceGetSx(&placement_);

  ReadBox(cPath_, kKeyPath);
  ReadBool(cbName_, kKeyUseName);
  ReadBox(cName_, kKeyName);
  ReadText(eNetNam_, kKeyNetNam);
  spNetSep_->setCaption(QString::fromStdString(
      IniGetSx(SxAppIni, kSection, kKeyNetSep, SxValue(spNetSep_->caption().toStdString()))
          .AsText()));
  ReadText(eLblNam_, kKeyLblNam);
  spDirSep_->setCaption(QString::fromStdString(
      IniGetSx(SxAppIni, kSection, kKeyDirSep, SxValue(spDirSep_->caption().toStdString()))
          .AsText()));
  ReadText(eDirNam_, kKeyDirNam);
  spSerSep_->setCaption(QString::fromStdString(
      IniGetSx(SxAppIni, kSection, kKeySerSep, SxValue(spSerSep_->caption().toStdString()))
          .AsText()));
  ReadText(eSerNam_, kKeySerNam);

  QList<int> sizes = names_->sizes();
  const int total = sizes[0] + sizes[1] + sizes[2] + sizes[3];
  sizes[0] = std::max(0, ReadInt(kKeyNetWidth, sizes[0]));
  sizes[1] = std::max(0, ReadInt(kKeyLblWidth, sizes[1]));
  sizes[3] = std::max(0, ReadInt(kKeySerWidth, sizes[3]));
  sizes[2] = std::max(0, total - sizes[0] - sizes[1] - sizes[3]);
  names_->setSizes(sizes);

  const int32_t options = ReadInt(kKeyOptions, OptionBits());
  cOpt1_->setChecked(options & kOptNoBackUp);
  cOpt2_->setChecked(options & kOptHexFile);
  cOpt4_->setChecked(options & kOptHexPath);
  cOpt8_->setChecked(options & kOptNoLocks);
  ReadBool(cbDirs_, kKeyDirs);
  ReadBox(cDirPar_, kKeyDirPar);
  ReadBox(cLstPar_, kKeyLstPar);
  ReadText(eTimer_, kKeyTimer);
  ReadText(eExpand_, kKeyExpand);
  ReadText(eBufPrc_, kKeyBufPrc);
  ReadText(eBufMax_, kKeyBufMax);
  ReadText(eThreads_, kKeyThreads);
  ReadText(eMinBlk_, kKeyMinBlocks);
  ReadBox(cbPath_, kKeyFileBoxPath);
  cbMask_->setEditText(QString::fromStdString(bFil_->mask()));
  ReadBox(cbMask_, kKeyFileBoxMask);
  // The box lists by the filter it shows, not by the one it was built with.
  if (!cbMask_->currentText().isEmpty()) bFil_->SetMask(cbMask_->currentText().toStdString());

  const int32_t last_page = ReadInt(kKeyLastPage, kPageSettings);
  if (last_page >= kPageEdit1) {
    pcCln_->setCurrentIndex(kPageEdit1);
  } else if (last_page < 0) {
    pcCln_->setCurrentIndex(kPageSettings);
  } else {
    pcCln_->setCurrentIndex(last_page);
  }

  LoadBaseSettingsIntoFields();
  ExecuteCommand(40);
  // Only an absolute folder means something to a program without a working directory.
  const std::string vol_path = Text(eVolPath_);
  if (!vol_path.empty() && vol_path.front() == '/' && DirExistsSx(vol_path)) {
    bFil_->SetFolder(vol_path);
  }
}

void TViv050::LoadBaseSettingsIntoFields() {
  eVolPath_->setText(scan::kDefaultVolPath);
  eDirPath_->setText(scan::kDefaultDirPath);
  eBackUps_->setText(scan::kDefaultBackUps);
  const scan::BaseSettings base = scan::LoadBaseSettings();
  eAppPath_->setText(QString::fromStdString(base.app_path));
  eVolPath_->setText(QString::fromStdString(base.vol_path));
  eDirPath_->setText(QString::fromStdString(base.dir_path));
  eBackUps_->setText(QString::fromStdString(base.back_ups));
  eLstExt_->setText(QString::fromStdString(base.lst_ext));
  eDirExt_->setText(QString::fromStdString(base.dir_ext));
}

void TViv050::SaveSettings() {
  IniClearSectionSx(SxAppIni, kSection);
  FormPlaceSetSx(&placement_, false, false);
  IniSetSx(SxAppIni, kSection, kKeyLastPage, SxValue(pcCln_->currentIndex()));
  WriteBox(cPath_, kKeyPath);
  IniSetSx(SxAppIni, kSection, kKeyUseName, SxValue(cbName_->isChecked()));
  WriteBox(cName_, kKeyName);
  IniSetSx(SxAppIni, kSection, kKeyNetNam, SxValue(Text(eNetNam_)));
  IniSetSx(SxAppIni, kSection, kKeyNetSep, SxValue(spNetSep_->caption().toStdString()));
  IniSetSx(SxAppIni, kSection, kKeyLblNam, SxValue(Text(eLblNam_)));
  IniSetSx(SxAppIni, kSection, kKeyDirSep, SxValue(spDirSep_->caption().toStdString()));
  IniSetSx(SxAppIni, kSection, kKeyDirNam, SxValue(Text(eDirNam_)));
  IniSetSx(SxAppIni, kSection, kKeySerSep, SxValue(spSerSep_->caption().toStdString()));
  IniSetSx(SxAppIni, kSection, kKeySerNam, SxValue(Text(eSerNam_)));
  const QList<int> sizes = names_->sizes();
  IniSetSx(SxAppIni, kSection, kKeyNetWidth, SxValue(sizes[0]));
  IniSetSx(SxAppIni, kSection, kKeyLblWidth, SxValue(sizes[1]));
  IniSetSx(SxAppIni, kSection, kKeySerWidth, SxValue(sizes[3]));
  IniSetSx(SxAppIni, kSection, kKeyOptions, SxValue(static_cast<int>(OptionBits())));
  IniSetSx(SxAppIni, kSection, kKeyDirs, SxValue(cbDirs_->isChecked()));
  WriteBox(cDirPar_, kKeyDirPar);
  WriteBox(cLstPar_, kKeyLstPar);
  IniSetSx(SxAppIni, kSection, kKeyTimer, SxValue(Text(eTimer_)));
  IniSetSx(SxAppIni, kSection, kKeyExpand, SxValue(Text(eExpand_)));
  IniSetSx(SxAppIni, kSection, kKeyBufPrc, SxValue(Text(eBufPrc_)));
  IniSetSx(SxAppIni, kSection, kKeyBufMax, SxValue(Text(eBufMax_)));
  IniSetSx(SxAppIni, kSection, kKeyThreads, SxValue(Text(eThreads_)));
  IniSetSx(SxAppIni, kSection, kKeyMinBlocks, SxValue(Text(eMinBlk_)));
  WriteBox(cbPath_, kKeyFileBoxPath);
  WriteBox(cbMask_, kKeyFileBoxMask);
  AppIniSaveSx();
  SaveBaseSettingsFromFields();
}

void TViv050::SaveBaseSettingsFromFields() {
  // Without a base file (it could not be created) there is nothing to keep in step.
  if (SxBaseIniFile.empty()) return;
  support::StringList base;
  if (FileExistsSx(SxBaseIniFile, 1)) base.LoadFromFile(SxBaseIniFile);
  IniSetSx(base, scan::kBaseSection, scan::kKeyAppPath, SxValue(Text(eAppPath_)));
  IniSetSx(base, scan::kBaseSection, scan::kKeyVolPath, SxValue(Text(eVolPath_)));
  IniSetSx(base, scan::kBaseSection, scan::kKeyDirPath, SxValue(Text(eDirPath_)));
  IniSetSx(base, scan::kBaseSection, scan::kKeyBackUps, SxValue(Text(eBackUps_)));
  IniSetSx(base, scan::kBaseSection, scan::kKeyLstExt, SxValue(Text(eLstExt_)));
  IniSetSx(base, scan::kBaseSection, scan::kKeyDirExt, SxValue(Text(eDirExt_)));
  IniSaveSx(base, SxBaseIniFile);
}
