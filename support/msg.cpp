#include "support/msg.h"

#include <mutex>
#include <utility>

namespace support {

namespace {

std::mutex& HandlerMutex() {
  static std::mutex mutex;
  return mutex;
}

MsgHandler& Handler() {
  static MsgHandler handler;
  return handler;
}

}  // namespace

MsgHandler SetMsgHandler(MsgHandler handler) {
  std::lock_guard<std::mutex> lock(HandlerMutex());
  return std::exchange(Handler(), std::move(handler));
}

int FirstButton(int flags) {
  switch (flags & kMbButtonMask) {
    case kMbAbortRetryIgnore:
      return kIdAbort;
    case kMbYesNoCancel:
    case kMbYesNo:
      return kIdYes;
    case kMbRetryCancel:
      return kIdRetry;
    default:
      return kIdOk;
  }
}

int MsgSx(const SxValue& text, const SxValue& caption, int flags) {
  flags |= support::kMbTaskModal;
  support::MsgHandler handler;
  {
    // Copied out so that a handler may itself show a message or swap the handler.
    std::lock_guard<std::mutex> lock(support::HandlerMutex());
    handler = support::Handler();
  }
  if (!handler) return support::FirstButton(flags);
  return handler(text.AsText(), caption.AsText(), flags);
}

}  // namespace support
