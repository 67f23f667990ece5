#include "scrub/check.h"

#include <cstdio>

#include "catalogue/catalogue_index.h"
#include "content/content_id.h"
#include "content/fold.h"
#include "platform/clock.h"
#include "platform/paths.h"

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
                  std::string error) {
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

CheckResult CheckFile(const std::string& path, const ListedLine& listed, RateCap* rate,
                      const std::atomic<bool>* stop) {
  const size_t slash = path.find_last_of(platform::kSeparators);
  const std::string folder = path.substr(0, slash + 1);
  const std::string_view name = std::string_view(path).substr(slash + 1);
  platform::DirHandle dir;
  if (!dir.Open(folder)) {
    const platform::PathKind kind = platform::PathKindOf(folder);
    if (kind == platform::PathKind::kMissing) return Missing("its folder is gone");
    CheckResult result;
    result.verdict = Verdict::kUnreadable;
    result.reason = "its folder cannot be opened: " + dir.ErrorText();
    return result;
  }
  platform::FileInfo info;
  if (!dir.Stat(name, &info) || info.kind != platform::EntryKind::kFile) {
    return Missing("gone since it was listed");
  }
  const bool same_time = WriteTimeNumber(info.last_write_time) == listed.write_time;
  if (info.size != listed.size) {
    CheckResult result;
    result.verdict = Verdict::kChanged;
    return result;
  }
  const content::ListedFile now = content::ListedFileOf(info);
  const content::StopTest stop_test{stop, nullptr};
  uint32_t id = 0;
  std::string error;
  bool from_memory = false;
  uint8_t code = content::kChkEmpty;
  int64_t key = 0;
  if (listed.size >= kSliceBytes) {
    code = ReadSliced(dir, name, now, rate, stop_test, &id, &error, &from_memory);
    key = id;
  } else if (listed.size > 0) {
    content::FirstBytes first;
    code = content::FileChkListed(dir, name, now, content::LentBuffer{}, stop_test, &id, &first,
                                  &error, content::CacheUse::kDevice, nullptr, &from_memory);
    key = code == content::kChkTooShort ? ShortFileKey(first) : id;
    if (rate != nullptr) rate->Took(listed.size);
  }
  CheckResult result = Judge(code, key, listed, same_time, std::move(error));
  result.from_memory = from_memory;
  if (code == content::kChkOk || code == content::kChkTooShort) result.bytes_read = listed.size;
  return result;
}

}  // namespace scrub
