#include "scan/run_settings.h"

namespace scan {

std::string ReadersRangeMessage(const std::string& given) {
  return "Readers must be 0 (chosen by the disk) to " + std::to_string(kThreadsRange.high) + ": " +
         given;
}

std::string RangeMessage(const std::string& name, SettingRange range, const std::string& given) {
  return name + " must be " + std::to_string(range.low) + " to " + std::to_string(range.high) +
         ": " + given;
}

}  // namespace scan
