#pragma once
// The environment that gives a child its own folders inside a test's tree, on either
// system: the XDG ones on Linux, %APPDATA% and %LOCALAPPDATA% on Windows.

#include <string>
#include <vector>

#include "platform/paths.h"

namespace testing_support {

// Settings in `config`, what can be made again in `cache`, what must last in `data`
// (Windows keeps the last with the settings in %APPDATA%: `data` wins there when given).
inline std::vector<std::string> FoldersEnv(const std::string& config, const std::string& cache,
                                           const std::string& data = "") {
  if (platform::kNativePathStyle == platform::PathStyle::kWindows) {
    return {"APPDATA=" + (data.empty() ? config : data), "LOCALAPPDATA=" + cache};
  }
  std::vector<std::string> env = {"XDG_CONFIG_HOME=" + config, "XDG_CACHE_HOME=" + cache};
  if (!data.empty()) env.push_back("XDG_DATA_HOME=" + data);
  return env;
}

}  // namespace testing_support
