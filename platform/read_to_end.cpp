// File::ReadToEnd: built on Read and Size alone, the same on every system.
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/files.h"

namespace platform {

bool File::ReadToEnd(std::unique_ptr<char[]>* data, size_t* size, const std::atomic<bool>* stop) {
  // Room for the recorded size and one byte more, so that a file that keeps its size is
  // found at its end by a short request.
  constexpr size_t kFirstRoom = 1 << 16;
  // Requests of this size keep a stop waiting a few milliseconds at most.
  constexpr size_t kRequest = 8 << 20;
  const int64_t recorded = Size();
  size_t room = recorded > 0 ? static_cast<size_t>(recorded) + 1 : kFirstRoom;
  auto buffer = std::make_unique_for_overwrite<char[]>(room);
  size_t done = 0;
  for (;;) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
      error_ = kStoppedText;
      return false;
    }
    const size_t asked = std::min(kRequest, room - done);
    const int64_t got = Read(buffer.get() + done, asked);
    if (got < 0) return false;
    done += static_cast<size_t>(got);
    if (static_cast<size_t>(got) < asked) break;
    if (done < room) continue;
    // Grown since its size was taken, or a file whose size says nothing.
    auto bigger = std::make_unique_for_overwrite<char[]>(room * 2);
    std::memcpy(bigger.get(), buffer.get(), done);
    buffer = std::move(bigger);
    room *= 2;
  }
  *data = std::move(buffer);
  *size = done;
  return true;
}

}  // namespace platform
