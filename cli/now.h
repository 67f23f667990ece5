#pragma once
// The time a command takes as now: the system's, or that of CHECKER_NOW (seconds since
// 1970, UTC) where a test sets it, so that days pass without waiting.

#include <cstdint>

#include "platform/clock.h"

namespace cli {

int64_t NowSeconds();
platform::FileTime NowFileTime();

}  // namespace cli
