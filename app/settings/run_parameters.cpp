#include "app/settings/run_parameters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/kit/controls.h"
#include "app/kit/ini_fields.h"
#include "app/kit/run_fields.h"
#include "app/kit/widget_kit.h"
#include "scan/scan_job.h"

namespace {

// A default of the run settings as a field shows it.
QString Shown(int64_t value) { return QString::number(value); }

constexpr char kKeyOptions[] = "Options";
constexpr char kKeyDirPar[] = "DirPar";
constexpr char kKeyLstPar[] = "LstPar";
constexpr char kKeyTimer[] = "Timer";
constexpr char kKeyExpand[] = "Expand";
constexpr char kKeyBufPrc[] = "BufPrc";
constexpr char kKeyBufMax[] = "BufMax";
constexpr char kKeyThreads[] = "Threads";
constexpr char kKeyMinBlocks[] = "MinBlocks";

QCheckBox* Option(const char* name, const char* caption, const char* hint) {
  auto* box = Named(new QCheckBox(caption), name);
  box->setToolTip(hint);
  return box;
}

}  // namespace

QWidget* RunParameters::BuildWalkParameters() {
  auto* params = Named(new QGroupBox(" Parameters"), "gbParams");
  params->setToolTip("Parameters for FilesToStringsSx command");
  auto* params_form = new QFormLayout(params);
  cDirPar_ = HistoryBox("cDirPar", 0, "String parmeters for directory list iteration");
  cDirPar_->setEditText(scan::kDefaultDirParams);
  cLstPar_ = HistoryBox("cLstPar", 0, "String parmeters for file list iteration");
  cLstPar_->setEditText(scan::kDefaultFileParams);
  params_form->addRow(FieldLabel(" Dirs ", cDirPar_), cDirPar_);
  params_form->addRow(FieldLabel(" List ", cLstPar_), cLstPar_);
  return params;
}

QLayout* RunParameters::BuildNumbers() {
  const scan::RunSettings defaults;
  auto* numbers = new QHBoxLayout;
  eTimer_ = Field("eTimer");
  eTimer_->setText(Shown(defaults.interval));
  bcRun08_ = Button("bcRun08", "!", Command::kSetInterval, "Set Interval to currently running job");
  bcRun08_->setEnabled(false);
  bcRun08_->setFixedWidth(24);
  eExpand_ = Field("eExpand");
  eExpand_->setText(Shown(defaults.expand));
  eBufPrc_ = Field("eBufPrc");
  eBufPrc_->setText(Shown(defaults.buffer_percent));
  eBufMax_ = Field("eBufMax");
  eBufMax_->setText(Shown(defaults.buffer_max));
  for (QLineEdit* e : {eTimer_, eExpand_, eBufPrc_, eBufMax_}) e->setFixedWidth(70);
  numbers->addWidget(FieldLabel(" &Interval ", eTimer_));
  numbers->addWidget(eTimer_);
  numbers->addWidget(new QLabel("ms"));
  numbers->addWidget(bcRun08_);
  numbers->addSpacing(12);
  numbers->addWidget(FieldLabel("E&xpand", eExpand_));
  numbers->addWidget(eExpand_);
  numbers->addWidget(new QLabel("bytes"));
  numbers->addStretch(1);
  // The buffer limits on a row of their own: one row would keep the page from narrowing.
  auto* buffer = new QHBoxLayout;
  eBufPrc_->setAccessibleName("Max buffer %");
  eBufMax_->setAccessibleName("Max buffer bytes");
  buffer->addWidget(FieldLabel(" &Max buffer =", eBufPrc_));
  buffer->addWidget(eBufPrc_);
  buffer->addWidget(FieldLabel("% and <", eBufMax_));
  buffer->addWidget(eBufMax_);
  buffer->addWidget(new QLabel("bytes"));
  buffer->addStretch(1);
  auto* rows = new QVBoxLayout;
  rows->addLayout(numbers);
  rows->addLayout(buffer);
  return rows;
}

QLayout* RunParameters::BuildOptions() {
  auto* options = new QHBoxLayout;
  cOpt4_ = Option("cOpt4", " Hex-P&ath", "When checked, sets path lengths in hexadecimals ");
  cOpt2_ = Option("cOpt2", " Hex-File", "When checked, sets file lengths in hexadecimals ");
  cOpt8_ = Option("cOpt8", " No &Locks", "Open files without locks");
  cOpt1_ = Option("cOpt1", " No &BackUp", "Do not create Back Ups");
  options->addWidget(new QLabel(" Options :"));
  for (QCheckBox* c : {cOpt4_, cOpt2_, cOpt8_, cOpt1_}) options->addWidget(c);
  options->addStretch(1);
  return options;
}

QLayout* RunParameters::BuildBlocks() {
  const scan::RunSettings defaults;
  auto* blocks = new QHBoxLayout;
  eMinBlk_ = Field("eMinBlk");
  eMinBlk_->setText(Shown(defaults.min_blocks));
  eMinBlk_->setFixedWidth(40);
  lMinBlk_ = Named(new QLabel(" x 15 = 60 chars "), "lMinBlk");
  eThreads_ = Field("eThreads");
  eThreads_->setText(Shown(defaults.threads));
  eThreads_->setFixedWidth(40);
  eThreads_->setToolTip("Threads reading files at once; 0 chooses by the disk and the cores");
  blocks->addWidget(FieldLabel(" Min bloc&k count", eMinBlk_));
  blocks->addWidget(eMinBlk_);
  blocks->addWidget(lMinBlk_);
  // The buffer row is full at the window's first width: the reader count goes here.
  blocks->addSpacing(24);
  blocks->addWidget(FieldLabel(" &Readers ", eThreads_));
  blocks->addWidget(eThreads_);
  blocks->addStretch(1);
  QObject::connect(eMinBlk_, &QLineEdit::textChanged, lMinBlk_, [this] { UpdateMinBlockLabel(); });
  return blocks;
}

void RunParameters::UpdateMinBlockLabel() {
  lMinBlk_->setText(QString(" x 15 = %1 characters ").arg(15 * TextToIntSx(eMinBlk_)));
}

uint8_t RunParameters::OptionBits() const {
  uint8_t bits = 0;
  if (cOpt1_->isChecked()) bits |= scan::kOptNoBackUp;
  if (cOpt2_->isChecked()) bits |= scan::kOptHexFile;
  if (cOpt4_->isChecked()) bits |= scan::kOptHexPath;
  if (cOpt8_->isChecked()) bits |= scan::kOptNoLocks;
  return bits;
}

int32_t RunParameters::IntervalValue() const { return TextToIntSx(eTimer_); }

void RunParameters::EnableIntervalButton(bool enabled) { bcRun08_->setEnabled(enabled); }

void RunParameters::Fill(RunFields* fields) const {
  fields->options = OptionBits();
  fields->dir_params = Text(cDirPar_);
  fields->file_params = Text(cLstPar_);
  fields->interval = Text(eTimer_);
  fields->expand = Text(eExpand_);
  fields->buffer_percent = Text(eBufPrc_);
  fields->buffer_max = Text(eBufMax_);
  fields->min_blocks = Text(eMinBlk_);
  fields->threads = Text(eThreads_);
}

void RunParameters::CommitHistories() {
  for (QComboBox* box : {cLstPar_, cDirPar_}) ComboHistorySx(box, kHistoryMax);
}

void RunParameters::LoadOptions() {
  const int32_t options = ReadInt(kKeyOptions, OptionBits());
  cOpt1_->setChecked(options & scan::kOptNoBackUp);
  cOpt2_->setChecked(options & scan::kOptHexFile);
  cOpt4_->setChecked(options & scan::kOptHexPath);
  cOpt8_->setChecked(options & scan::kOptNoLocks);
}

void RunParameters::LoadNumbers() {
  ReadBox(cDirPar_, kKeyDirPar);
  ReadBox(cLstPar_, kKeyLstPar);
  ReadText(eTimer_, kKeyTimer);
  ReadText(eExpand_, kKeyExpand);
  ReadText(eBufPrc_, kKeyBufPrc);
  ReadText(eBufMax_, kKeyBufMax);
  ReadText(eThreads_, kKeyThreads);
  ReadText(eMinBlk_, kKeyMinBlocks);
}

void RunParameters::SaveOptions() const {
  WriteValue(kKeyOptions, SxValue(static_cast<int>(OptionBits())));
}

void RunParameters::SaveNumbers() const {
  WriteBox(cDirPar_, kKeyDirPar);
  WriteBox(cLstPar_, kKeyLstPar);
  WriteValue(kKeyTimer, SxValue(Text(eTimer_)));
  WriteValue(kKeyExpand, SxValue(Text(eExpand_)));
  WriteValue(kKeyBufPrc, SxValue(Text(eBufPrc_)));
  WriteValue(kKeyBufMax, SxValue(Text(eBufMax_)));
  WriteValue(kKeyThreads, SxValue(Text(eThreads_)));
  WriteValue(kKeyMinBlocks, SxValue(Text(eMinBlk_)));
}
