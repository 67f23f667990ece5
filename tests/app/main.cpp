// The desktop's Qt Test suites, one binary: each class runs on its own.

#include <QApplication>
#include <QTest>

#include "suites.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("app_tests");
  int failed = 0;
  for (const auto& make : testing_support::Suites()) {
    std::unique_ptr<QObject> suite = make();
    failed += QTest::qExec(suite.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
