#include "app/settings/name_parts.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "app/kit/controls.h"
#include "app/kit/ini_fields.h"
#include "app/kit/widget_kit.h"
#include "lists/list_names.h"
#include "lists/list_paths.h"
#include "platform/paths.h"

namespace {

constexpr int kNamePanelWidth = 459;
constexpr int kNetNamWidth = 80;

constexpr char kKeyNetNam[] = "NetNam";
constexpr char kKeyNetSep[] = "NetSep";
constexpr char kKeyLblNam[] = "LblNam";
constexpr char kKeyDirSep[] = "DirSep";
constexpr char kKeyDirNam[] = "DirNam";
constexpr char kKeySerSep[] = "SerSep";
constexpr char kKeySerNam[] = "SerNam";
constexpr char kKeyNetWidth[] = "NetNam.Width";
constexpr char kKeyLblWidth[] = "LblNam.Width";
constexpr char kKeySerWidth[] = "SerNam.Width";

void ReadCaption(TSplitterSx* handle, const char* key) {
  handle->setCaption(QString::fromStdString(ReadString(key, handle->caption().toStdString())));
}

}  // namespace

QWidget* NameParts::Build() {
  pccNam_ = Named(new QWidget, "pccNam");
  pccNam_->setFixedWidth(kNamePanelWidth);
  auto* column = new QVBoxLayout(pccNam_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(1);
  BuildHeaders();
  column->addWidget(headers_);
  BuildFields();
  column->addWidget(names_);
  QObject::connect(names_, &QSplitter::splitterMoved, pccNam_, [this] { AlignHeaders(); });
  return pccNam_;
}

void NameParts::BuildHeaders() {
  // The headers have no layout: command 550 places each over its field.
  headers_ = Named(new QWidget, "pnNamHeaders");
  lNetNam_ = Named(new QLabel("Net Name", headers_), "lNetNam");
  lLblNam_ = Named(new QLabel("Label", headers_), "lLblNam");
  lDirNam_ = Named(new QLabel("Directory", headers_), "lDirNam");
  lSerNam_ = Named(new QLabel("Serial", headers_), "lSerNam");
  SetTag(lNetNam_, Command::kNetNamWidth);
  SetTag(lLblNam_, Command::kLblNamWidth);
  SetTag(lDirNam_, Command::kDirNamHeader);
  SetTag(lSerNam_, Command::kSerNamWidth);
  headers_->setFixedHeight(lNetNam_->sizeHint().height());
}

void NameParts::BuildFields() {
  names_ = Named(new NamePartsSplitter, "spNames");
  eNetNam_ = Field("eNetNam");
  eLblNam_ = Field("eLblNam");
  eDirNam_ = Field("eDirNam");
  eSerNam_ = Field("eSerNam");
  const std::pair<QLineEdit*, QLabel*> named[] = {
      {eNetNam_, lNetNam_}, {eLblNam_, lLblNam_}, {eDirNam_, lDirNam_}, {eSerNam_, lSerNam_}};
  for (const auto& [field, header] : named) SetBuddy(header, field);
  for (QLineEdit* e : {eNetNam_, eLblNam_, eDirNam_, eSerNam_}) {
    e->setMinimumWidth(0);
    names_->addWidget(e);
  }
  names_->setStretchFactor(0, 0);
  names_->setStretchFactor(1, 0);
  names_->setStretchFactor(2, 1);
  names_->setStretchFactor(3, 0);
  spNetSep_ = names_->separator(1);
  spDirSep_ = names_->separator(2);
  spSerSep_ = names_->separator(3);
  const char* captions[] = {"%", "^", "~"};
  const char* handle_names[] = {"spNetSep", "spDirSep", "spSerSep"};
  TSplitterSx* handles[] = {spNetSep_, spDirSep_, spSerSep_};
  for (int i = 0; i < 3; ++i) {
    TSplitterSx* h = handles[i];
    h->setObjectName(handle_names[i]);
    h->setCaption(captions[i]);
    h->setFontAlign(kAlignCentreX | kAlignCentreY);
    QFont font = h->font();
    font.setBold(true);
    h->setFont(font);
    SetTag(h, Command::kAlignNameHeaders);
  }
  names_->setSizes({kNetNamWidth, kLblNamWidth,
                    kNamePanelWidth - kNetNamWidth - kLblNamWidth - kSerNamWidth -
                        3 * NamePartsSplitter::kHandleWidth,
                    kSerNamWidth});
}

bool NameParts::Execute(Command command) {
  switch (command) {
    case Command::kAlignNameHeaders:
      AlignHeaders();
      return true;
    case Command::kNetNamWidth:
      SetPartWidth(0, kNetNamClickWidth);
      return true;
    case Command::kLblNamWidth:
      SetPartWidth(1, kLblNamWidth);
      return true;
    case Command::kSerNamWidth:
      SetPartWidth(3, kSerNamWidth);
      return true;
    default:
      return false;
  }
}

void NameParts::AlignHeaders() {
  const std::pair<QLabel*, QLineEdit*> pairs[] = {
      {lNetNam_, eNetNam_}, {lLblNam_, eLblNam_}, {lDirNam_, eDirNam_}, {lSerNam_, eSerNam_}};
  for (const auto& [header, field] : pairs) {
    const QPoint at = field->mapTo(pccNam_, QPoint(0, 0));
    header->move(headers_->mapFrom(pccNam_, at).x(), 0);
    header->adjustSize();
  }
}

void NameParts::SetPartWidth(int index, int width) {
  QList<int> sizes = names_->sizes();
  const int change = width - sizes[index];
  sizes[index] = width;
  // The directory field takes up the difference.
  sizes[2] = std::max(0, sizes[2] - change);
  names_->setSizes(sizes);
  AlignHeaders();
}

void NameParts::FillFrom(const std::string& path) {
  const std::pair<QLineEdit*, uint8_t> parts[] = {{eNetNam_, lists::kNameNetwork},
                                                  {eLblNam_, lists::kNameLabel},
                                                  {eDirNam_, lists::kNameDirectories},
                                                  {eSerNam_, lists::kNameSerial}};
  for (const auto& [field, selector] : parts) {
    std::string part;
    if (platform::IsAbsolute(path)) lists::NamePartsSx(path, &part, selector, "");
    field->setText(QString::fromStdString(part));
  }
}

std::string NameParts::ComposedName() const {
  return lists::ComposeListName(Text(eNetNam_), Text(eLblNam_), Text(eDirNam_), Text(eSerNam_),
                               spNetSep_->caption().toStdString(),
                               spDirSep_->caption().toStdString(),
                               spSerSep_->caption().toStdString());
}

std::string NameParts::NameFrom(const std::string& path) const {
  std::string separators;
  for (const TSplitterSx* handle : {spSerSep_, spDirSep_, spNetSep_}) {
    const std::string caption = handle->caption().toStdString();
    separators += caption.empty() ? ' ' : caption.front();
  }
  std::string name;
  if (platform::IsAbsolute(path)) lists::NamePartsSx(path, &name, lists::kNameAll, separators);
  return name;
}

std::string NameParts::label() const { return Text(eLblNam_); }
std::string NameParts::serial() const { return Text(eSerNam_); }

void NameParts::Load() {
  ReadText(eNetNam_, kKeyNetNam);
  ReadCaption(spNetSep_, kKeyNetSep);
  ReadText(eLblNam_, kKeyLblNam);
  ReadCaption(spDirSep_, kKeyDirSep);
  ReadText(eDirNam_, kKeyDirNam);
  ReadCaption(spSerSep_, kKeySerSep);
  ReadText(eSerNam_, kKeySerNam);

  QList<int> sizes = names_->sizes();
  const int total = sizes[0] + sizes[1] + sizes[2] + sizes[3];
  sizes[0] = std::max(0, ReadInt(kKeyNetWidth, sizes[0]));
  sizes[1] = std::max(0, ReadInt(kKeyLblWidth, sizes[1]));
  sizes[3] = std::max(0, ReadInt(kKeySerWidth, sizes[3]));
  sizes[2] = std::max(0, total - sizes[0] - sizes[1] - sizes[3]);
  names_->setSizes(sizes);
}

void NameParts::Save() const {
  WriteValue(kKeyNetNam, SxValue(Text(eNetNam_)));
  WriteValue(kKeyNetSep, SxValue(spNetSep_->caption().toStdString()));
  WriteValue(kKeyLblNam, SxValue(Text(eLblNam_)));
  WriteValue(kKeyDirSep, SxValue(spDirSep_->caption().toStdString()));
  WriteValue(kKeyDirNam, SxValue(Text(eDirNam_)));
  WriteValue(kKeySerSep, SxValue(spSerSep_->caption().toStdString()));
  WriteValue(kKeySerNam, SxValue(Text(eSerNam_)));
  const QList<int> sizes = names_->sizes();
  WriteValue(kKeyNetWidth, SxValue(sizes[0]));
  WriteValue(kKeyLblWidth, SxValue(sizes[1]));
  WriteValue(kKeySerWidth, SxValue(sizes[3]));
}
