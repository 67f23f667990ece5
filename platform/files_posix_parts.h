#pragma once
// What the POSIX sources behind platform/files.h share: files_posix.cpp (a file opened,
// read, written), dirs_posix.cpp (paths and directories), whole_files_posix.cpp (whole
// files made, copied, replaced). Not for use outside platform/.

#include <cstring>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace platform::posix_parts {

// The last component, for the hidden bit.
std::string_view BaseName(std::string_view path);

// statx of `path` relative to `dirfd` (AT_ flags as statx takes them; a link is never
// followed, nothing is mounted) into `info` named `name`; false when it fails or finds
// neither a file nor a directory.
bool StatxAt(int dirfd, const char* path, int flags, std::string_view name, FileInfo* info);

// A name as a C string without allocating for ordinary lengths.
class CName {
 public:
  explicit CName(std::string_view name) {
    if (name.size() < sizeof small_) {
      std::memcpy(small_, name.data(), name.size());
      small_[name.size()] = 0;
      text_ = small_;
    } else {
      large_.assign(name);
      text_ = large_.c_str();
    }
  }
  const char* c_str() const { return text_; }

 private:
  char small_[256];
  std::string large_;
  const char* text_;
};

}  // namespace platform::posix_parts
