#include "cli/now.h"

#include <charconv>
#include <optional>
#include <string>

#include "platform/paths.h"

namespace cli {

namespace {

// CHECKER_NOW when it holds a whole number of seconds; anything else is not a clock.
std::optional<int64_t> SetClock() {
  const std::string text = platform::GetEnv("CHECKER_NOW");
  int64_t seconds = 0;
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() ||
      seconds < 0) {
    return std::nullopt;
  }
  return seconds;
}

}  // namespace

int64_t NowSeconds() {
  const std::optional<int64_t> set = SetClock();
  return set ? *set : platform::UnixSecondsOf(platform::NowFileTime());
}

platform::FileTime NowFileTime() {
  const std::optional<int64_t> set = SetClock();
  return set ? platform::FileTimeOfUnixSeconds(*set) : platform::NowFileTime();
}

}  // namespace cli
