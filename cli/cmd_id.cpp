// checker-cli id FILE...: each file's id field as the id list writes it.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/terminal_text.h"
#include "platform/paths.h"
#include "content/content_id.h"
#include "lists/list_format.h"
#include "support/find_data.h"

namespace cli {

namespace {

// One buffer for all files, as a scan lends one; small enough for any machine.
constexpr int64_t kIdBufferBytes = 512000;

// Codes whose field stands for the file's contents rather than a failure.
bool HasId(uint8_t code, std::string_view id_field) {
  if (code == content::kChkOk || code == content::kChkEmpty) return true;
  return code == content::kChkTooShort && id_field.substr(0, 4) == "F  $";
}

}  // namespace

int RunIdCommand(const Args& args) {
  CommandLine line;
  if (const std::optional<int> status = TakeCommandLine("id", args, &line)) return *status;
  const Args& files = line.operands;

  void* buffer = nullptr;
  // Without the shared buffer each file gets its own of the same size.
  content::VirtAllocSx(&buffer, -1, kIdBufferBytes);
  lists::IdListWriter writer{lists::ListOptions{}};
  bool every_file_has_id = true;
  std::string out;
  for (const std::string& file : files) {
    const std::string path = platform::AbsolutePath(file);
    const size_t slash = path.find_last_of(platform::kSeparators);
    const std::string_view dir = std::string_view(path).substr(0, slash + 1);
    const std::string_view name = std::string_view(path).substr(slash + 1);
    uint32_t id = 0;
    support::FindData find_data;
    const uint8_t code =
        content::FileChkSx(path, &id, &find_data, static_cast<int32_t>(kIdBufferBytes), buffer, 1);
    writer.SetDirectory(dir);
    writer.FormatFileLine(code, id, find_data, name);
    const std::string_view id_field =
        std::string_view(writer.line()).substr(0, lists::kIdFieldWidth);
    if (!HasId(code, id_field)) every_file_has_id = false;
    out.assign(id_field);
    out.append("  ");
    out.append(file);
    out.push_back('\n');
    WriteOut(out);
  }
  std::fflush(stdout);
  content::VirtFreeSx(&buffer, -1);
  return every_file_has_id ? 0 : 1;
}

}  // namespace cli
