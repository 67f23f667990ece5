#include "repair/device_read.h"

#include "content/content_id.h"
#include "lists/list_format.h"
#include "lists/list_reader.h"
#include "platform/clock.h"
#include "platform/paths.h"

namespace repair {

namespace {

// What the file is by the code of its read, as a list's line tells it.
FileState StateOfCode(uint8_t code) {
  switch (code) {
    case content::kChkOk:
    case content::kChkTooShort:
    case content::kChkEmpty:
      return FileState::kRead;
    case content::kChkNotFound:
    case content::kChkGone:
      return FileState::kMissing;
    case content::kChkChanged:
      return FileState::kChanging;
    default:
      return FileState::kUnreadable;
  }
}

}  // namespace

uint64_t ListWriteTime(platform::FileTime time) {
  std::string text;
  lists::AppendFileTime(&text, time);
  uint64_t number = 0;
  for (const char c : text) {
    if (c == ' ' && number == 0) return 0;
    if (c >= '0' && c <= '9') number = number * 10 + static_cast<uint64_t>(c - '0');
  }
  return number;
}

platform::FileTime FileTimeOfListTime(uint64_t write_time) {
  platform::DateTime utc;
  utc.second = static_cast<int>(write_time % 100);
  utc.minute = static_cast<int>(write_time / 100 % 100);
  utc.hour = static_cast<int>(write_time / 10000 % 100);
  utc.day = static_cast<int>(write_time / 1000000 % 100);
  utc.month = static_cast<int>(write_time / 100000000 % 100);
  utc.year = static_cast<int>(write_time / 10000000000);
  return platform::DateTimeToFileTime(utc);
}

FileNow ReadFromDevice(const std::string& path, bool look_only, const std::atomic<bool>* stop,
                       bool read_placeholders) {
  FileNow now;
  const size_t slash = path.find_last_of(platform::kSeparators);
  const std::string folder = path.substr(0, slash + 1);
  const std::string name = path.substr(slash + 1);
  platform::DirHandle dir;
  if (!dir.Open(folder) || !dir.Stat(name, &now.info) ||
      now.info.kind != platform::EntryKind::kFile) {
    return now;
  }
  now.write_time = ListWriteTime(now.info.last_write_time);
  now.state = FileState::kRead;
  if (look_only) return now;
  if (!read_placeholders && platform::IsPlaceholder(now.info.attributes)) {
    now.state = FileState::kPlaceholder;
    return now;
  }
  uint32_t id = 0;
  content::FirstBytes first;
  const uint8_t code = content::FileChkListed(
      dir, name, content::ListedFileOf(now.info), content::LentBuffer{},
      content::StopTest{stop, nullptr}, &id, &first, &now.error, content::CacheUse::kDevice);
  now.state = StateOfCode(code);
  if (now.state != FileState::kRead) return now;
  // The list's own writer words the id field, so that both sides compare as text.
  lists::IdListWriter writer(lists::ListOptions{});
  writer.SetDirectory(folder);
  support::FindData record;
  support::AssignFileInfo(now.info, &record);
  writer.FormatFileLine(code, id, record, name, &first);
  now.id = writer.line().substr(3, lists::kIdTextWidth);
  return now;
}

}  // namespace repair
