#pragma once
// An environment variable set for one test, its old value put back at the end.

#include <cstdlib>
#include <optional>
#include <string>

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

}  // namespace testing_support
