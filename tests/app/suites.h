#pragma once
// Every test class of the binary, registered by its own file.

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace testing_support {

using SuiteMaker = std::function<std::unique_ptr<QObject>()>;
std::vector<SuiteMaker>& Suites();

template <typename T>
struct RegisterSuite {
  RegisterSuite() { Suites().push_back([] { return std::make_unique<T>(); }); }
};

}  // namespace testing_support
