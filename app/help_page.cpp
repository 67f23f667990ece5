#include "app/help_page.h"

#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/kit/widget_kit.h"
#include "app/run_facts.h"

namespace {

constexpr int kHelpWidth = 640;
constexpr int kHelpHeight = 520;

constexpr char kPagesMarkdown[] = R"(The window has six pages (the tabs at its right edge, or
View and Ctrl+1 to Ctrl+6) and the file box, the list of list files at the far right.

**Run** follows a run while it reads: the folder and the file it is at, how much is done,
the errors, and every problem as it happens (a double-click opens its folder). **Cancel**
stops the run. **Verify** reads again the files of the id list selected in the file box
and says what changed; **Compare with...** compares that list with another list.

**Settings** is where a run is set up: **Path** is the folder to list (choose it with
**>>**); the lists are named after its disk, or after **Name** when that is ticked.
**Vol Files** is where the lists go and **Backups** where old lists are kept. **Create**
makes new lists, **Continue** finishes a run that was stopped. When a button is off, the
line at the foot of the window says why.

**Edit1** and **Edit2** each hold two editors for lists and other text files. Right-click
an editor (or use the Edit menu) to sort, strip blank lines, list a folder, open, load
and save. Ctrl+S saves the editor you are in, Ctrl+F finds in it.

**Audit** shows what the last verify or comparison found: how many files and bytes are
unchanged, touched, changed, corrupted, unreadable, moved, missing or new, and the files
themselves in a table that can be filtered and sorted. **Save report** writes it to a
file.

**Find** searches the id lists of every disk you listed, as you type: a part of a name
or a mask such as `*.jpg`, with sizes, dates and the disk to look on. Choosing a file
shows its probable copies on other disks. Ctrl+F opens this page from anywhere outside
an editor.

The **file box** lists the lists in the list folder: a double-click opens one in the
editor last clicked, a right-click verifies or compares the selected id list.
)";

QTextBrowser* Topic(const char* name, const char* markdown) {
  auto* text = Named(new QTextBrowser, name);
  text->setOpenExternalLinks(false);
  text->setMarkdown(QString::fromUtf8(markdown));
  return text;
}

}  // namespace

HelpPage::HelpPage(QWidget* parent) : QDialog(parent) {
  setObjectName("HelpPage");
  setWindowTitle("Checker Help");
  resize(kHelpWidth, kHelpHeight);
  topics_ = Named(new QTabWidget, "pcHelp");
  topics_->addTab(Topic("hlpPages", kPagesMarkdown), "What each page does");
  topics_->addTab(Topic("hlpRun", kRunFactsMarkdown), "What a run tells you");
  auto* column = new QVBoxLayout(this);
  column->addWidget(topics_);
}

void HelpPage::ShowTopic(int topic) {
  topics_->setCurrentIndex(topic);
  show();
  raise();
  activateWindow();
}

std::string AboutText() {
  return std::string("Checker ") + CHECKER_VERSION +
         "\n\nA file and disk checker: it lists every file of a disk with its id, proves "
         "later that nothing changed, and finds a file on any disk it listed.";
}
