#pragma once
// Ini-style settings held as text lines in a StringList and edited in place. Sections
// are "[Name]" lines, keys "Key=value" lines; ";" starts a comment that writes keep.
// Sections and keys match without regard to case (the fixed folding) after trimming.
// The caller owns the list and decides when it is loaded and saved. Main thread only.
//
// Errors: IniGetSx lets support::ConversionError reach its caller when a key's value
// does not convert to the kind asked for; the default is not substituted. That is the
// one support operation that throws. Everything else reports by its result.

#include <string>
#include <string_view>

#include "support/string_list.h"
#include "support/sx_value.h"

namespace support {

// Results of IniFindSx below zero.
constexpr int kIniKeyMissing = -1;      // section found, key not in it (or key empty)
constexpr int kIniSectionMissing = -2;  // section not found
constexpr int kIniNoList = -3;

struct IniLocation {
  int result = kIniNoList;  // line index of the key (>= 0) or one of the codes above
  int equal_pos = 0;        // 1-based position of the key line's "="
  int body_start = 0;       // first line of the section's body; -1 when not found
  int body_end = 0;         // one past the body's last line
};

// Locates a key. An empty section names the text before the first header; an empty
// key only locates the section.
support::IniLocation IniFindSx(const support::StringList* list, std::string_view section,
                               std::string_view key);

// The key's value converted to `kind` (-1: the default's kind), or a copy of the default
// when the section or key is missing. Integers are read as signed 32-bit (the 64-bit
// kind 20 as 64-bit), floats with "." as decimal separator, texts trimmed, booleans
// false only for the exact text "0". A kind that cannot be read shows "Input data type
// is not correct" and gives an empty value. Throws support::ConversionError.
SxValue IniGetSx(const support::StringList* list, std::string_view section, std::string_view key,
                 const SxValue& default_value, int kind = -1);
SxValue IniGetSx(const support::StringList& list, std::string_view section, std::string_view key,
                 const SxValue& default_value, int kind = -1);

// Writes the key (creating section and key as needed, keeping a comment's column where
// the value fits). Returns the index of the line written, or -1 when there is no list.
int IniSetSx(support::StringList* list, std::string_view section, std::string_view key,
             const SxValue& value);
int IniSetSx(support::StringList& list, std::string_view section, std::string_view key,
             const SxValue& value);

// Appends the items stored as name#0, name#1, ... up to the first empty value; returns
// how many were appended. The target is not cleared.
int IniGetListSx(const support::StringList& list, std::string_view section, std::string_view name,
                 support::StringList* target);
// Writes every item as name#i and removes the stale keys of a longer earlier list.
void IniSetListSx(support::StringList& list, std::string_view section, std::string_view name,
                  const support::StringList& source);

// Deletes the section's body, keeping its header. True when the section name is empty
// (nothing changes) or the section was found; false when it was not found.
bool IniClearSectionSx(support::StringList& list, std::string_view section);

// Saves with LF line ends; any failure is ignored.
void IniSaveSx(const support::StringList& list, const std::string& file_name);

}  // namespace support
