#include "app/hidden_bars.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "app/kit/widget_kit.h"

HiddenBars::HiddenBars(QWidget* window) {
  BuildTop();
  BuildBottom();
  AddActions(window);
}

void HiddenBars::BuildTop() {
  pnBots_ = Named(new QWidget, "pnBots");
  auto* bar = new QHBoxLayout(pnBots_);
  bar->addWidget(Button("bnTools", "Tools", Command::kTools,
                        "Open form for tools, which needs input parameters"));
  bar->addWidget(Button("bnTbs", "TBS", Command::kAddEditorPage));
  bar->addWidget(Button("bnTbsD", "TBS_D", Command::kRemoveEditorPage));
  bar->addWidget(Button("bnFile", "File", Command::kFileBar));
  bar->addWidget(Button("bnEdit", "Edit", Command::kFixOldData));
  bar->addWidget(Button("bnWindow", "Window", Command::kSetInterval));
  QPushButton* view = Button("bnView", "View", Command::kViewBar);
  view->hide();
  bar->addWidget(view);
  bar->addStretch(1);
  pnBots_->hide();
}

void HiddenBars::BuildBottom() {
  pneBot_ = Named(new QWidget, "pneBot");
  auto* bottom = new QHBoxLayout(pneBot_);
  lbdPos1_ = Named(new QLabel, "lbdPos1");
  lbdSel1_ = Named(new QLabel, "lbdSel1");
  bottom->addWidget(new QLabel(" Pos  "));
  bottom->addWidget(lbdPos1_);
  bottom->addWidget(new QLabel(" Select "));
  bottom->addWidget(lbdSel1_);
  bottom->addStretch(1);
  pneBot_->hide();
}

void HiddenBars::AddActions(QWidget* window) {
  const std::pair<const char*, Command> actions[] = {
      {"New", Command::kNew},
      {"Open", Command::kOpen},
      {"Load", Command::kLoad},
      {"Save", Command::kSave},
      {"Save as ...", Command::kSaveAs},
      {"Exit", Command::kExit},
      {"FileList", Command::kFileList},
      {"Show 2nd Editor", Command::kShowSecondEditor},
      {"Horizontal", Command::kHorizontal}};
  for (const auto& [caption, command] : actions) {
    const int tag = static_cast<int>(command);
    auto* action = new QAction(caption, window);
    action->setData(tag);
    action->setObjectName(QString("act%1").arg(tag));
    connect(action, &QAction::triggered, this, [this, tag] { emit actionTriggered(tag); });
    window->addAction(action);
  }
}

void HiddenBars::ShowPositions(const QString& column, const QString& selection) {
  lbdPos1_->setText(column);
  lbdSel1_->setText(selection);
}
