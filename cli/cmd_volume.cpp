// checker-cli volume PATH, checker-cli names PATH [--separators TEXT].

#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/search_path.h"
#include "cli/terminal_text.h"
#include "fs/volume_info.h"
#include "platform/paths.h"
#include "lists/list_names.h"
#include "support/text.h"

namespace cli {

namespace {

constexpr size_t kMaxSeparators = 3;

// "Field: value", or "Field:" alone when the value is empty.
std::string FieldLine(std::string_view field, std::string_view value) {
  std::string line(field);
  line += ':';
  if (!value.empty()) {
    line += ' ';
    line += value;
  }
  line += '\n';
  return line;
}

void PrintField(std::string_view field, std::string_view value) {
  WriteOut(FieldLine(field, value));
}

void PrintField(std::string_view field, uint64_t value) {
  PrintField(field, std::to_string(value));
}

const char* DriveTypeName(uint16_t drive_type) {
  switch (drive_type) {
    case fs::kDriveNoRoot:
      return "no root directory";
    case fs::kDriveRemovable:
      return "removable";
    case fs::kDriveFixed:
      return "fixed";
    case fs::kDriveRemote:
      return "remote";
    case fs::kDriveCdRom:
      return "CD-ROM";
    case fs::kDriveRamDisk:
      return "RAM disk";
    default:
      return "unknown";
  }
}

std::string CannotQuery(const std::string& path) {
  return "cannot query the volume of '" + path + "'";
}

// The command line of volume or names, whose PATH must be there. The exit status when
// the command ends here: a usage error, a missing PATH or the help.
std::optional<int> TakeExistingPath(std::string_view command, const Args& args, CommandLine* line,
                                    std::string* path) {
  if (const std::optional<int> status = TakeCommandLine(command, args, line)) return status;
  *path = platform::AbsolutePath(line->operands.front());
  // The volume query would describe the volume of the part that is there.
  const std::string missing = MissingReason(*path);
  if (!missing.empty()) return UsageError(CannotQuery(*path) + ": " + missing);
  return std::nullopt;
}

}  // namespace

int RunVolumeCommand(const Args& args) {
  CommandLine line;
  std::string path;
  if (const std::optional<int> status = TakeExistingPath("volume", args, &line, &path)) {
    return *status;
  }

  fs::TVolumeInfo info;
  if (!fs::GetVolumeInfoSx(path, &info)) return UsageError(CannotQuery(path));
  PrintField("Root path", info.root_path);
  PrintField("Root kind", info.root_kind);
  PrintField("Drive type",
             std::to_string(info.drive_type) + " (" + DriveTypeName(info.drive_type) + ")");
  PrintField("File system", info.file_system_name);
  PrintField("Label", info.label);
  PrintField("Serial number", std::to_string(info.serial_number) + " (" +
                                  lists::SerialNumberText(info.serial_number) + ")");
  PrintField("File-system flags", info.file_system_flags);
  PrintField("Maximum name length", info.max_name_length);
  PrintField("Free bytes for caller", info.free_bytes_for_caller);
  PrintField("Total bytes", info.total_bytes);
  PrintField("Total free bytes", info.total_free_bytes);
  PrintField("Bytes per sector", info.bytes_per_sector);
  PrintField("Sectors per cluster", info.sectors_per_cluster);
  PrintField("Total clusters", info.total_clusters);
  PrintField("Free clusters", info.free_clusters);
  PrintField("Source", info.source);
  PrintField("Network host", info.network_host);
  PrintField("Root column", static_cast<uint64_t>(fs::RootColumnFor(path, info.root_path)));
  return 0;
}

int RunNamesCommand(const Args& args) {
  CommandLine line;
  std::string path;
  if (const std::optional<int> status = TakeExistingPath("names", args, &line, &path)) {
    return *status;
  }
  const std::string& separators = line.separators;
  if (support::CharCount(separators) > kMaxSeparators) {
    return UsageError(
        "names: --separators takes at most three characters (serial, directory, "
        "network), got '" +
        separators + "'");
  }

  // One part at a time without separators, as the name-part fields show them, then all
  // of them joined, as the "Get" button composes a custom name.
  struct Part {
    const char* field;
    uint8_t selector;
  };
  static constexpr Part kParts[] = {{"Net name", lists::kNameNetwork},
                                    {"Label", lists::kNameLabel},
                                    {"Directory", lists::kNameDirectories},
                                    {"Serial", lists::kNameSerial}};
  std::string lines;
  std::string part;
  for (const Part& p : kParts) {
    if (!lists::NamePartsSx(path, &part, p.selector, "")) return UsageError(CannotQuery(path));
    lines += FieldLine(p.field, part);
  }
  if (!lists::NamePartsSx(path, &part, lists::kNameAll, separators)) {
    return UsageError(CannotQuery(path));
  }
  lines += FieldLine("Name", part);
  WriteOut(lines);
  return 0;
}

}  // namespace cli
