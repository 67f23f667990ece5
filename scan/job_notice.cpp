#include "scan/job_notice.h"

#include "platform/clock.h"

namespace scan {

cmdDisk::cmdDisk(ScanWindow* window, int16_t interval) : window_(window), interval_(interval) {}

cmdDisk::~cmdDisk() = default;

bool cmdDisk::Notify(int16_t code) {
  if (window_ == nullptr) return Terminated();
  const auto bits = static_cast<uint16_t>(code);
  record_[3] = static_cast<uint8_t>(bits & 0xFF);
  record_[4] = static_cast<uint8_t>(bits >> 8);
  last_reply_ = SendToWindow(event());
  if (last_reply_ < kStopReplyLimit) Terminate();
  return Terminated();
}

int32_t cmdDisk::GetSlot(int slot) const {
  if (slot < 0 || static_cast<size_t>(slot) >= slots_.size()) return -1;
  return slots_[slot];
}

uint32_t cmdDisk::ElapsedMs() const {
  return platform::TickCount() - static_cast<uint32_t>(GetSlot(kSlotJobStart));
}

void cmdDisk::SetSlot(int slot, int32_t ticks) {
  if (slot < 0 || slot >= kSlotCount) return;
  if (static_cast<size_t>(slot) >= slots_.size()) slots_.resize(slot + 1, -1);
  slots_[slot] = ticks;
}

JobEvent cmdDisk::event() const {
  JobEvent event;
  event.code = static_cast<int16_t>(record_[3] | (record_[4] << 8));
  event.sender_kind = static_cast<uint16_t>(record_[1] | (record_[2] << 8));
  event.wparam = record_[0] | (record_[1] << 8) | (record_[2] << 16) |
                 (static_cast<uint32_t>(record_[3]) << 24);
  event.lparam = record_[4] | (record_[5] << 8) | (record_[6] << 16) |
                 (static_cast<uint32_t>(record_[7]) << 24);
  return event;
}

void cmdDisk::set_sender_kind(uint16_t kind) {
  record_[1] = static_cast<uint8_t>(kind & 0xFF);
  record_[2] = static_cast<uint8_t>(kind >> 8);
}

}  // namespace scan
