#pragma once
// The run's parameters on the Settings page: the walk parameters, the interval with its
// "!" button, the buffer sizes and readers, the options and the minimum block count.
// The texts are kept as entered; a run converts them when it starts.

#include <cstdint>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QWidget;
struct RunFields;

class RunParameters {
 public:
  // The rows in the order of the page; each is unparented until the page takes it.
  QWidget* BuildWalkParameters();
  QLayout* BuildNumbers();
  QLayout* BuildOptions();
  QLayout* BuildBlocks();

  // The Options bit set of the check boxes.
  uint8_t OptionBits() const;
  // The Interval field as a number; 0 when it does not convert.
  int32_t IntervalValue() const;
  // "!" may hand a new interval over only while a run shows.
  void EnableIntervalButton(bool enabled);
  // Copies the parameters a run takes.
  void Fill(RunFields* fields) const;
  // Commits the file-list and then the directory parameters to their histories.
  void CommitHistories();

  // The keys are read and written in two groups, with " Dir files" between them.
  void LoadOptions();
  void LoadNumbers();
  void SaveOptions() const;
  void SaveNumbers() const;

 private:
  void UpdateMinBlockLabel();

  QComboBox* cDirPar_ = nullptr;
  QComboBox* cLstPar_ = nullptr;
  QLineEdit* eTimer_ = nullptr;
  QPushButton* bcRun08_ = nullptr;
  QLineEdit* eExpand_ = nullptr;
  QLineEdit* eBufPrc_ = nullptr;
  QLineEdit* eBufMax_ = nullptr;
  QLineEdit* eThreads_ = nullptr;
  QCheckBox* cOpt1_ = nullptr;
  QCheckBox* cOpt2_ = nullptr;
  QCheckBox* cOpt4_ = nullptr;
  QCheckBox* cOpt8_ = nullptr;
  QLineEdit* eMinBlk_ = nullptr;
  QLabel* lMinBlk_ = nullptr;
};
