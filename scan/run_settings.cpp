#include "scan/run_settings.h"

namespace scan {

std::string ReadersRangeMessage(const std::string& given) {
  return "Readers must be 0 (chosen by the disk) to " + std::to_string(kThreadsRange.high) + ": " +
         given;
}

}  // namespace scan
