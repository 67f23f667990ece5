#pragma once
// Messages and questions. Every user-facing message goes through MsgSx, which hands it
// to one replaceable handler: the desktop program shows a task-modal box, the command
// line prints on stderr, tests record the text and give a scripted answer.

#include <functional>
#include <string>

#include "support/sx_value.h"

namespace support {

// Button sets (low 4 bits of the flags).
constexpr int kMbOk = 0x0;
constexpr int kMbOkCancel = 0x1;
constexpr int kMbAbortRetryIgnore = 0x2;
constexpr int kMbYesNoCancel = 0x3;
constexpr int kMbYesNo = 0x4;
constexpr int kMbRetryCancel = 0x5;
constexpr int kMbButtonMask = 0xF;
// Icons.
constexpr int kMbIconError = 0x10;
constexpr int kMbIconQuestion = 0x20;
constexpr int kMbIconWarning = 0x30;
constexpr int kMbIconInformation = 0x40;
constexpr int kMbTaskModal = 0x2000;

// Button ids a handler returns.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Receives the text, the caption and the flags (always with kMbTaskModal added) and
// returns the id of the button pressed.
using MsgHandler =
    std::function<int(const std::string& text, const std::string& caption, int flags)>;

// Installs a handler and returns the one it replaces. An empty handler restores the
// default, which shows nothing and answers with the first button of the set.
MsgHandler SetMsgHandler(MsgHandler handler);

// The id of the first button of the set in `flags` (OK, OK, Abort, Yes, Yes, Retry).
int FirstButton(int flags);

// Shows a message through the installed handler and returns the button id (IDOK 1,
// IDCANCEL 2, IDYES 6, IDNO 7, ...). Any thread may call it; the handler runs on the
// caller's thread.
int MsgSx(const SxValue& text, const SxValue& caption = SxValue(), int flags = 0);

}  // namespace support
