// The desktop's Qt Test suites, one binary: each class runs on its own. A first argument
// that names a class ("RunTest") runs that class alone, with the rest of the arguments.

#include <QApplication>
#include <QTest>
#include <cstring>

#include "suites.h"

namespace {

// The class name without its namespace.
const char* SuiteName(const QObject& suite) {
  const char* name = suite.metaObject()->className();
  const char* bare = std::strrchr(name, ':');
  return bare != nullptr ? bare + 1 : name;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("app_tests");
  const char* only = nullptr;
  if (argc > 1 && argv[1][0] != '-') {
    for (const auto& make : testing_support::Suites()) {
      if (std::strcmp(SuiteName(*make()), argv[1]) == 0) only = argv[1];
    }
  }
  if (only != nullptr) {
    argv[1] = argv[0];
    ++argv;
    --argc;
  }
  int failed = 0;
  for (const auto& make : testing_support::Suites()) {
    std::unique_ptr<QObject> suite = make();
    if (only != nullptr && std::strcmp(SuiteName(*suite), only) != 0) continue;
    failed += QTest::qExec(suite.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
