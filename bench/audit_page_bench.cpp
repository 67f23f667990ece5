// The Audit page over a large comparison (offscreen): from the end of the comparison to
// the table painted, scrolling through it, sorting a column, filtering by class and text.
// Run by hand on two lists of bench/list_pair_tool:
//   list_pair_tool old.v00 new.v00 1000000 && audit_page_bench old.v00 new.v00

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/audit/audit_model.h"
#include "app/audit/audit_page.h"

namespace {

constexpr int kPageWidth = 1000;
constexpr int kPageHeight = 700;
constexpr int kScrollSteps = 200;

// Milliseconds `step` takes, with the events it leaves (painting) handled.
double Time(const std::function<void()>& step) {
  QElapsedTimer timer;
  timer.start();
  step();
  QApplication::processEvents();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: audit_page_bench OLD NEW\n");
    return 2;
  }
  auto result = std::make_shared<audit::AuditResult>();
  std::vector<std::string> errors;
  audit::CompareOptions options;
  options.keep_unchanged = true;
  QElapsedTimer timer;
  timer.start();
  if (!audit::CompareListFiles(argv[1], argv[2], options, result.get(), &errors)) {
    for (const std::string& error : errors) std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  const double compare_ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;

  AuditPage page;
  QWidget* widget = page.Build();
  widget->resize(kPageWidth, kPageHeight);
  widget->show();
  QApplication::processEvents();
  auto* view = widget->findChild<QTableView*>("tvAudit");
  QAbstractItemModel* model = view->model();

  std::printf("files compared         %zu (compare %.0f ms, not the page's)\n",
              result->comparison.files.size(), compare_ms);
  const double shown = Time([&] { page.Show(result, "bench", {}); });
  std::printf("shown, table painted   %8.1f ms  (%d rows)\n", shown, model->rowCount());
  const double all =
      Time([&] { widget->findChild<QCheckBox*>("cbAudUnchanged")->setChecked(true); });
  std::printf("unchanged ticked       %8.1f ms  (%d rows)\n", all, model->rowCount());

  QScrollBar* bar = view->verticalScrollBar();
  double worst = 0;
  const double scroll = Time([&] {
    for (int i = 1; i <= kScrollSteps; ++i) {
      worst = std::max(worst, Time([&] {
                         bar->setValue(static_cast<int>(static_cast<int64_t>(bar->maximum()) * i /
                                                        kScrollSteps));
                         view->viewport()->repaint();
                       }));
    }
  });
  std::printf("scroll, %d jumps       %8.1f ms  (worst jump %.1f ms)\n", kScrollSteps, scroll,
              worst);
  for (int column :
       {AuditModel::kSize, AuditModel::kNewId, AuditModel::kOtherPath, AuditModel::kClass}) {
    const double sorted = Time([&] { view->sortByColumn(column, Qt::DescendingOrder); });
    std::printf("sort by column %d       %8.1f ms\n", column, sorted);
  }
  const double back = Time([&] { view->sortByColumn(AuditModel::kPath, Qt::AscendingOrder); });
  std::printf("sort by path           %8.1f ms\n", back);
  auto* filter = widget->findChild<QLineEdit*>("eAudFilter");
  const double text = Time([&] { filter->setText("d10042/"); });
  std::printf("text filter            %8.1f ms  (%d rows)\n", text, model->rowCount());
  const double cleared = Time([&] { filter->clear(); });
  std::printf("text filter cleared    %8.1f ms  (%d rows)\n", cleared, model->rowCount());
  delete widget;
  return 0;
}
