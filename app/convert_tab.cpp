#include "app/convert_tab.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdint>

#include "app/kit/command_tags.h"
#include "app/kit/controls.h"
#include "app/kit/widget_kit.h"
#include "lists/list_format.h"

namespace {

void AddFieldRow(QGridLayout* grid, int row, QLabel* label, QLineEdit* edit) {
  grid->addWidget(label, row, 0);
  grid->addWidget(edit, row, 1);
}

}  // namespace

ConvertTab::ConvertTab() {
  setObjectName("tsCnv");
  setToolTip("Convert old disk id files into new format.");
  auto* grid = new QGridLayout(this);
  lcVal01_ = Named(new QLabel(" Input value"), "lcVal01");
  eVal01_ = Field("eVal01");
  lcVal02_ = Named(new QLabel(" Output value"), "lcVal02");
  eVal02_ = Field("eVal02");
  lcPar01_ = Named(new QLabel(" Parameter 1"), "lcPar01");
  ePar01_ = Field("ePar01", "999");
  bcFnc01_ = Named(new QPushButton("CutAtts"), "bcFnc01");
  bcFnc01_->setProperty(kTagProperty, kCommandCutAtts);
  bcFnc01_->setToolTip("Cut attrubutes ");
  bcFnc01_->setAutoDefault(false);
  AddFieldRow(grid, 0, lcVal01_, eVal01_);
  AddFieldRow(grid, 1, lcVal02_, eVal02_);
  AddFieldRow(grid, 2, lcPar01_, ePar01_);
  grid->addWidget(bcFnc01_, 0, 2);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 2);
  grid->setRowStretch(3, 1);
}

void ConvertTab::CutAtts() {
  const uint32_t value = static_cast<uint32_t>(TextToIntSx(eVal01_));
  const uint32_t limit = static_cast<uint32_t>(TextToIntSx(ePar01_));
  eVal02_->setText(QString::number(lists::LowBitsSumSx(value, limit)));
}
