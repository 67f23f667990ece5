#pragma once
// List name parts: the network host, label, directories below the root and serial
// number of a search path's volume, alone or joined into one list name.

#include <cstdint>
#include <string>
#include <string_view>

#include "fs/volume_info.h"

namespace lists {

// Selector bits; 0 counts as all four.
constexpr uint8_t kNameNetwork = 1;
constexpr uint8_t kNameLabel = 2;
constexpr uint8_t kNameDirectories = 4;
constexpr uint8_t kNameSerial = 8;
constexpr uint8_t kNameAll = 15;

// Separators of the desktop settings: serial, directory, network.
constexpr const char kDefaultSeparators[] = "~^%";

// The serial number as "00000_00000".
std::string SerialNumberText(uint32_t serial);
// The serial number of a name-part text such as "03054_41741": its digits as a 64-bit
// number, of which the low 32 bits count. False, and *serial as it was, without a digit.
bool SerialFromDigits(std::string_view text, uint32_t* serial);

// The joining alone, over a known volume record and the directories below its root
// ("Photos/2020/", each directory followed by "/", empty for the root itself).
std::string JoinNameParts(const fs::TVolumeInfo& volume, std::string_view dirs_below_root,
                          uint8_t selector, std::string_view separators);

// Fills `result` with the parts chosen by `selector`. `separators` holds up to three
// characters: the first precedes the serial, the second every directory, the third
// follows the host; a missing character is an empty separator. False with an empty
// result when the path is empty or its volume cannot be queried. Shows nothing.
bool NamePartsSx(const std::string& path, std::string* result, uint8_t selector,
                 std::string_view separators);

}  // namespace lists
