#include "content/slice_lender.h"

#include <algorithm>

namespace content {

namespace {

// Slices of a shared buffer start on cache lines.
constexpr uint64_t kSliceAlign = 64;

// `count` low bits set, for 1 to 64.
uint64_t Run(uint32_t count) { return count == 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1; }

}  // namespace

SliceLender::SliceLender(LentBuffer buffer, size_t readers) : leased_(readers) {
  if (buffer.data == nullptr) return;
  shared_ = buffer;
  slice_ = buffer.size / readers;
  if (slice_ >= 2 * kSliceAlign) slice_ -= slice_ % kSliceAlign;
  slice_ &= ~uint64_t{1};
  free_ = Run(static_cast<uint32_t>(readers));
}

bool SliceLender::Free() const { return shared_.data == nullptr || free_ != 0; }

LentBuffer SliceLender::Lease(size_t reader, int32_t active) {
  if (shared_.data == nullptr) return {};
  const auto slices = static_cast<uint32_t>(leased_.size());
  uint32_t want = 1;
  while (want * 2 * static_cast<uint32_t>(std::max(active, 1)) <= slices) want *= 2;
  // Runs of one length start at multiples of it, so those given back join up again.
  for (; want >= 1; want /= 2) {
    const uint64_t run = Run(want);
    for (uint32_t first = 0; first + want <= slices; first += want) {
      if ((free_ >> first & run) != run) continue;
      free_ &= ~(run << first);
      leased_[reader] = Leased{first, want};
      return LentBuffer{shared_.data + first * slice_, want * slice_};
    }
  }
  return {};
}

void SliceLender::Release(size_t reader) {
  Leased& leased = leased_[reader];
  if (leased.count == 0) return;
  free_ |= Run(leased.count) << leased.first;
  leased.count = 0;
  given_back_.notify_all();
}

}  // namespace content
