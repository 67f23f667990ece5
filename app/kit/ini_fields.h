#pragma once
// Reading and writing the window's controls in its section of the application ini
// (SxAppIni). Each read takes the control's current value as the default.

#include <cstdint>
#include <string>

#include "support/ini.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

// The window's section, named after its component.
constexpr char kSettingsSection[] = "Viv050";

void ReadText(QLineEdit* edit, const char* key);
void ReadBool(QCheckBox* box, const char* key);
// A box's text and then its history.
void ReadBox(QComboBox* box, const char* key);
// A stored integer that does not convert is reported and keeps its default; the keys
// after it still load.
int32_t ReadInt(const char* key, int32_t default_value);
std::string ReadString(const char* key, const std::string& default_value);

void WriteValue(const char* key, const SxValue& value);
void WriteBox(const QComboBox* box, const char* key);
