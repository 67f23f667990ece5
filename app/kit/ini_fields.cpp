#include "app/kit/ini_fields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>

#include "support/msg.h"
#include "support/sys_init.h"
#include "support/toolkit.h"

void ReadText(QLineEdit* edit, const char* key) {
  edit->setText(QString::fromStdString(ReadString(key, edit->text().toStdString())));
}

void ReadBool(QCheckBox* box, const char* key) {
  box->setChecked(
      support::IniGetSx(support::SxAppIni, kSettingsSection, key, SxValue(box->isChecked()))
          .AsBool());
}

// addItems on an empty box replaces the edit text, so the text read goes back afterwards.
void ReadBox(QComboBox* box, const char* key) {
  const std::string text = ReadString(key, box->currentText().toStdString());
  support::StringList items;
  support::IniGetListSx(support::SxAppIni, kSettingsSection, key, &items);
  QStringList list;
  for (const std::string& item : items.items()) list << QString::fromStdString(item);
  box->addItems(list);
  box->setEditText(QString::fromStdString(text));
}

int32_t ReadInt(const char* key, int32_t default_value) {
  try {
    return static_cast<int32_t>(
        support::IniGetSx(support::SxAppIni, kSettingsSection, key, SxValue(default_value))
            .AsInt());
  } catch (const support::ConversionError& error) {
    support::MsgSx(error.what(), QCoreApplication::applicationName().toStdString());
    return default_value;
  }
}

std::string ReadString(const char* key, const std::string& default_value) {
  return support::IniGetSx(support::SxAppIni, kSettingsSection, key, SxValue(default_value))
      .AsText();
}

void WriteValue(const char* key, const SxValue& value) {
  support::IniSetSx(support::SxAppIni, kSettingsSection, key, value);
}

void WriteBox(const QComboBox* box, const char* key) {
  WriteValue(key, SxValue(box->currentText().toStdString()));
  support::StringList items;
  for (int i = 0; i < box->count(); ++i) items.Add(box->itemText(i).toStdString());
  support::IniSetListSx(support::SxAppIni, kSettingsSection, key, items);
}
