// The small controls: histories, integers from fields, the captioned splitter handle and
// the popup below a button.

#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "app/kit/controls.h"
#include "suites.h"

namespace testing_support {

namespace {

QStringList Items(const QComboBox& box) {
  QStringList items;
  for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
  return items;
}

QComboBox* HistoryBox(const QStringList& items, const QString& text) {
  auto* box = new QComboBox;
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->addItems(items);
  box->setEditText(text);
  return box;
}

// The bounding box of every pixel that is not the background colour.
QRect Ink(const QImage& image, QRgb background) {
  QRect ink;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) != background) ink |= QRect(x, y, 1, 1);
    }
  }
  return ink;
}

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

}  // namespace

class ControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void HistoryMovesInsertsAndCuts() {
    std::unique_ptr<QComboBox> box(HistoryBox({"A", "B", "C"}, "B"));
    ComboHistorySx(box.get(), 20);
    QCOMPARE(Items(*box), QStringList({"B", "A", "C"}));
    QCOMPARE(box->currentText(), QString("B"));

    box.reset(HistoryBox({"A", "B", "C"}, "D"));
    ComboHistorySx(box.get(), 3);
    QCOMPARE(Items(*box), QStringList({"D", "A", "B"}));
    QCOMPARE(box->currentText(), QString("D"));

    box.reset(HistoryBox({"A", "B", "C"}, "b"));
    ComboHistorySx(box.get(), 20);
    QCOMPARE(Items(*box), QStringList({"B", "A", "C"}));
    QCOMPARE(box->currentText(), QString("b"));

    box.reset(HistoryBox({"A"}, "   "));
    ComboHistorySx(box.get(), 20);
    QCOMPARE(Items(*box), QStringList({"A"}));
  }

  void HistoryKeepsTheTwentyNewest() {
    std::unique_ptr<QComboBox> box(HistoryBox({}, ""));
    for (int i = 1; i <= 25; ++i) {
      box->setEditText(QString("entry %1").arg(i));
      ComboHistorySx(box.get(), kHistoryMax);
      QCOMPARE(box->currentText(), QString("entry %1").arg(i));
    }
    QCOMPARE(box->count(), 20);
    QCOMPARE(box->itemText(0), QString("entry 25"));
    QCOMPARE(box->itemText(19), QString("entry 6"));
  }

  void IntegerFromAControl() {
    QLineEdit edit;
    edit.setText("12x");
    QCOMPARE(TextToIntSx(&edit), 0);
    edit.setText("-7");
    QCOMPARE(TextToIntSx(&edit), -7);
    edit.setText(" 5");
    QCOMPARE(TextToIntSx(&edit), 5);
    edit.setText("");
    QCOMPARE(TextToIntSx(&edit), 0);
    std::unique_ptr<QComboBox> box(HistoryBox({}, "42"));
    QCOMPARE(TextToIntSx(box.get()), 42);
    QCOMPARE(TextToIntSx(nullptr), 0);
  }

  void SplitterCaptionIsPlacedByFontAlign() {
    NamePartsSplitter splitter;
    splitter.addWidget(new QLineEdit);
    splitter.addWidget(new QLineEdit);
    TSplitterSx* handle = splitter.separator(1);
    handle->setCaption("%");
    handle->setFontAlign(kAlignCentreX | kAlignCentreY);
    QFont bold = handle->font();
    bold.setBold(true);
    handle->setFont(bold);
    handle->resize(18, 18);
    const QRgb background = handle->palette().color(QPalette::Button).rgb();
    // The text area: the handle moved by (1, 1) and 2 pixels in from every side.
    const QRect inner(3, 3, 14, 14);

    QImage image(18, 18, QImage::Format_RGB32);
    handle->render(&image);
    QRect ink = Ink(image, background);
    QVERIFY(!ink.isEmpty());
    QVERIFY(inner.contains(ink));
    QVERIFY(qAbs(ink.center().x() - inner.center().x()) <= 1);
    QVERIFY(qAbs(ink.center().y() - inner.center().y()) <= 2);

    handle->setFontAlign(kAlignRight);
    handle->render(&image);
    ink = Ink(image, background);
    QVERIFY(ink.right() >= inner.right() - 2);
    QVERIFY(ink.top() <= inner.top() + 3);
  }

  void SettingTheSameFontAlignDoesNotRepaint() {
    NamePartsSplitter splitter;
    splitter.addWidget(new QLineEdit);
    splitter.addWidget(new QLineEdit);
    splitter.resize(200, 30);
    splitter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splitter));
    TSplitterSx* handle = splitter.separator(1);
    handle->setFontAlign(5);
    QCoreApplication::processEvents();
    PaintCounter counter;
    handle->installEventFilter(&counter);
    handle->setFontAlign(5);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 0);
    handle->setFontAlign(2);
    QTRY_VERIFY(counter.paints > 0);
  }

  void PopupOpensAboveNearTheBottomAndRightAlignedNearTheRight() {
    QMenu menu;
    menu.addAction("First item");
    menu.addAction("Second");
    menu.addSeparator();
    menu.addAction("Third");
    const QSize size = menu.sizeHint();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget window;
    window.setGeometry(screen);
    auto* bottom = new QPushButton("B", &window);
    bottom->setGeometry(100, screen.height() - 20, 60, 20);
    auto* right = new QPushButton("R", &window);
    right->setGeometry(screen.width() - 40, 100, 40, 20);
    auto* free = new QPushButton("F", &window);
    free->setGeometry(100, 100, 60, 20);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QPoint b = bottom->mapToGlobal(QPoint(0, 0));
    QCOMPARE(PopupAtButtonSx(&menu, bottom), QPoint(b.x(), b.y() - size.height()));
    menu.hide();
    const QPoint r = right->mapToGlobal(QPoint(0, 0));
    QCOMPARE(PopupAtButtonSx(&menu, right),
             QPoint(r.x() + right->width() - size.width(), r.y() + right->height()));
    menu.hide();
    const QPoint f = free->mapToGlobal(QPoint(0, 0));
    QCOMPARE(PopupAtButtonSx(&menu, free), QPoint(f.x(), f.y() + free->height()));
    menu.hide();
  }
};

namespace {
RegisterSuite<ControlsTest> controls_suite;
}

}  // namespace testing_support

#include "controls_test.moc"
