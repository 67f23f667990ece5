// What MappedFile does the same on every system.
#include <utility>

#include "platform/memory.h"

namespace platform {

MappedFile::MappedFile(MappedFile&& other) noexcept { *this = std::move(other); }

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this == &other) return *this;
  Close();
  data_ = other.data_;
  size_ = other.size_;
  write_ns_ = other.write_ns_;
  fd_ = other.fd_;
  not_found_ = other.not_found_;
  error_ = std::move(other.error_);
  other.data_ = nullptr;
  other.size_ = 0;
  other.fd_ = -1;
  return *this;
}

}  // namespace platform
