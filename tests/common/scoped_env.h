#pragma once
// An environment variable, or the current directory, set for one test, the old one put
// back at the end.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "common/temp_tree.h"
#include "common/test_os.h"

namespace testing_support {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    SetEnv(name, value);
  }
  ~ScopedEnv() {
    if (old_) {
      SetEnv(name_, *old_);
    } else {
      UnsetEnv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Children started meanwhile inherit it.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::string& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(PathOf(dir));
  }
  ~ScopedCurrentDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
  }
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

 private:
  std::filesystem::path old_;
};

}  // namespace testing_support
