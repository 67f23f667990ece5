#pragma once
// Small stateless file tests and text builders shared by every layer. All of them are
// safe to call from the scan thread and the main thread at the same time; none of them
// shows a message or throws.

#include <cstdint>
#include <string>

#include "support/find_data.h"

namespace support {

// Bytes a buffer may take: `percent` of the available physical memory, rounded to the
// nearest byte. 0 counts as 10 percent, anything above 100 as 100.
uint64_t MemPercentSx(uint8_t percent);

// True when the path names a regular file (wildcards "*" and "?" in the last component
// are honoured: the first match decides). With mode 1 an empty file does not count.
// False for an empty path, a directory, a link or a special file.
bool FileExistsSx(const std::string& path, uint8_t mode);

// True when the path names a real directory (a trailing "/" is allowed; "/" always
// exists). False for an empty path, a file or a link.
bool DirExistsSx(const std::string& path);

// Fills `record` with what the file system tells about the path. The path is looked up
// as given; only when that finds nothing is it tried trimmed, and a trailing "/" may
// be dropped. The root "/" reports attributes 0x18 (directory and volume label) and
// leaves the other fields as they were. Conditions: 0 any entry, bit 0x01 refuses a
// directory, bit 0x02 refuses anything but a directory. False when nothing fits.
bool FindDataSx(const std::string& path, support::FindData* record, uint8_t conditions);

// '250 ms', '5 s 250 ms', '1 h 0 m 0 s 5 ms'; a negative duration gets a leading "-".
std::string MsecTextSx(int64_t ms);

// The file time as UTC calendar text, no time-zone conversion. Form 0
// '2003-07-04 09:05:01', 1 '2003-07-04 09:05:01.007', 2 '2003-07-04 09:05',
// 3 '2003-07-04'; any other form is built like form 1. Empty when the time cannot be
// converted.
std::string FileTimeTextSx(uint64_t file_time, uint8_t form);

}  // namespace support
