#include "scrub/check.h"

#include <cstdio>

#include "catalogue/catalogue_index.h"
#include "content/content_id.h"
#include "content/fold.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "scan/scan_problem.h"

namespace scrub {

namespace {

CheckResult Missing(std::string reason) {
  CheckResult result;
  result.verdict = Verdict::kMissing;
  result.reason = std::move(reason);
  return result;
}

// The key a list would give the first bytes of a short file.
int64_t ShortFileKey(const content::FirstBytes& first) {
  std::string text = "$";
  char hex[8];
  for (uint8_t i = 0; i < first.count; ++i) {
    std::snprintf(hex, sizeof(hex), "%02X", first.bytes[i]);
    text += hex;
  }
  text.resize(lists::kIdTextWidth, ' ');
  return catalogue::ContentKey(text).value_or(-1);
}

// The read of a large file in slices, so that the rate cap holds within one file.
uint8_t ReadSliced(const platform::DirHandle& dir, std::string_view name,
                   const content::ListedFile& listed, RateCap* rate, content::StopTest stop,
                   uint32_t* id, std::string* error, bool* from_memory) {
  platform::File file;
  uint8_t code = content::OpenListedFile(dir, name, &file, error);
  if (code == content::kChkOk) code = content::CheckListedFile(file, listed);
  bool drop_after = false;
  if (code == content::kChkOk) {
    code = content::PrepareListedRead(file, listed.size, content::CacheUse::kDevice, &drop_after,
                                      error, from_memory);
  }
  content::FoldState state;
  for (uint64_t offset = 0; code == content::kChkOk && offset < listed.size;
       offset += kSliceBytes) {
    const uint64_t length = std::min(kSliceBytes, listed.size - offset);
    code = content::FoldFileRange(file, offset, length, content::LentBuffer{}, stop, &state);
    if (code == content::kChkReadError && error != nullptr) *error = file.ErrorText();
    if (code == content::kChkOk && rate != nullptr) rate->Took(length);
  }
  if (file.IsOpen()) content::EndListedRead(file, drop_after);
  if (code == content::kChkOk) code = content::CheckListedFile(file, listed);
  if (code == content::kChkOk) *id = content::FoldResult(state);
  return code;
}

CheckResult Judge(uint8_t code, int64_t key, const ListedLine& listed, bool same_time,
                  const std::string& error) {
  CheckResult result;
  switch (code) {
    case content::kChkOk:
    case content::kChkTooShort:
    case content::kChkEmpty:
      result.id_read = key;
      if (same_time) {
        result.verdict = key == listed.id ? Verdict::kUnchanged : Verdict::kCorrupted;
      } else {
        result.verdict = key == listed.id ? Verdict::kTouched : Verdict::kChanged;
      }
      return result;
    case content::kChkChanged:
      result.verdict = Verdict::kChanged;
      result.reason = error.empty() ? "changed while it was read" : error;
      return result;
    case content::kChkGone:
    case content::kChkNotFound:
      return Missing("gone since it was listed");
    case content::kChkStopped:
      result.stopped = true;
      return result;
    default:
      result.verdict = Verdict::kUnreadable;
      result.reason = error.empty() ? "cannot be read" : error;
      return result;
  }
}

}  // namespace

uint64_t WriteTimeNumber(platform::FileTime time) {
  platform::DateTime t;
  if (!platform::FileTimeToDateTime(time, &t) || t.year > 9999) return 0;
  return ((((uint64_t(t.year) * 100 + t.month) * 100 + t.day) * 100 + t.hour) * 100 + t.minute) *
             100 +
         t.second;
}

PreparedCheck PrepareCheck(const std::string& path, const ListedLine& listed, OpenFolder* folder,
                           bool read_placeholders) {
  PreparedCheck prepared;
  const size_t slash = path.find_last_of(platform::kSeparators);
  const std::string_view folder_path = std::string_view(path).substr(0, slash + 1);
  if (folder != nullptr && folder->dir != nullptr && folder->path == folder_path) {
    prepared.dir = folder->dir;
  } else {
    prepared.dir = std::make_shared<platform::DirHandle>();
    const std::string name(folder_path);
    if (!prepared.dir->Open(name)) {
      if (platform::PathKindOf(name) == platform::PathKind::kMissing) {
        prepared.result = Missing("its folder is gone");
      } else {
        prepared.result.verdict = Verdict::kUnreadable;
        prepared.result.reason = "its folder cannot be opened: " + prepared.dir->ErrorText();
      }
      return prepared;
    }
    if (folder != nullptr) *folder = {name, prepared.dir};
  }
  prepared.name = path.substr(slash + 1);
  platform::FileInfo info;
  if (!prepared.dir->Stat(prepared.name, &info) || info.kind != platform::EntryKind::kFile) {
    prepared.result = Missing("gone since it was listed");
    return prepared;
  }
  prepared.same_time = WriteTimeNumber(info.last_write_time) == listed.write_time;
  if (info.size != listed.size) {
    prepared.result.verdict = Verdict::kChanged;
  } else if (!read_placeholders && platform::IsPlaceholder(info.attributes)) {
    // Not even opened: an open of some placeholders fetches the data already.
    prepared.result.verdict = Verdict::kUnreadable;
    prepared.result.reason = scan::kPlaceholder;
  } else if (listed.size == 0) {
    prepared.result = Judge(content::kChkEmpty, 0, listed, prepared.same_time, {});
  } else {
    prepared.read = true;
    prepared.now = content::ListedFileOf(info);
  }
  return prepared;
}

CheckResult JudgeRead(const content::ReadResult& read, const ListedLine& listed, bool same_time) {
  const int64_t key = read.code == content::kChkTooShort ? ShortFileKey(read.first) : read.id;
  CheckResult result = Judge(read.code, key, listed, same_time, read.error);
  result.from_memory = read.from_memory;
  if (read.code == content::kChkOk || read.code == content::kChkTooShort) {
    result.bytes_read = listed.size;
  }
  return result;
}

CheckResult CheckFile(const std::string& path, const ListedLine& listed, RateCap* rate,
                      const std::atomic<bool>* stop, bool read_placeholders) {
  PreparedCheck prepared = PrepareCheck(path, listed, nullptr, read_placeholders);
  if (!prepared.read) return std::move(prepared.result);
  const content::StopTest stop_test{stop, nullptr};
  content::ReadResult read;
  if (listed.size >= kSliceBytes) {
    read.code = ReadSliced(*prepared.dir, prepared.name, prepared.now, rate, stop_test, &read.id,
                           &read.error, &read.from_memory);
  } else {
    read = content::ReadListedFile(
        {prepared.dir.get(), prepared.name, prepared.now, content::CacheUse::kDevice},
        content::LentBuffer{}, stop_test);
    if (rate != nullptr) rate->Took(listed.size);
  }
  return JudgeRead(read, listed, prepared.same_time);
}

}  // namespace scrub
