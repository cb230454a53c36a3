// Messages from real widgets through WMessage: push buttons, field changes
// with their focus bookkeeping, the numeric-field rules, timers and message
// boxes. User actions run from a zero timer so that they happen while the
// test waits in WMessage, as a user's would.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <functional>

#include "test_dialogs.h"
#include "toolkit/qt_access.h"
#include "toolkit/toolkit.h"

using toolkit::testing::BellCount;
using toolkit::testing::DialogWidget;
using toolkit::testing::FieldWidget;

namespace {

constexpr int kWatchdog = 99;  // timer that ends a wait nothing else ends

struct Message {
  int type = 0;
  MessageRecord record;
};

// The next message, with `action` performed as the first thing inside the
// wait. A watchdog timer message means that nothing else came.
Message Next(const std::function<void()>& action = nullptr, int watchdogMs = 1500) {
  if (action) QTimer::singleShot(0, action);
  WMessageTimer(watchdogMs, kWatchdog);
  Message m;
  WMessage(m.type, m.record);
  WMessageTimer(0, kWatchdog);
  return m;
}

// The next message that is not a field change, `action` performed once.
Message NextButOneOfFieldChanges(const std::function<void()>& action, int watchdogMs = 1500) {
  Message m = Next(action, watchdogMs);
  while (m.type == FieldChanged) m = Next(nullptr, watchdogMs);
  return m;
}

bool IsWatchdog(const Message& m) { return m.type == TimerExpired && m.record.value1 == kWatchdog; }

QWidget* Field(int id) { return FieldWidget(testdialogs::kParameters, id); }
QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(Field(id)); }

// Dialog 902 shown and active with the focus on `field`.
void ShowWithFocusOn(int field) {
  WDialogLoad(testdialogs::kParameters);
  WDialogShow(-1, -1, field, 2);
  QDialog* dialog = DialogWidget(testdialogs::kParameters);
  QVERIFY(QTest::qWaitForWindowActive(dialog));
  Field(field)->setFocus();
  QTRY_VERIFY(Field(field)->hasFocus());
}

void TypeInto(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, text);
}

// Plot (1035) pressed while field 1038 holds a rejected entry: the press is
// reported and the field is back at its 140, text and value.
void PlotRestoresTheFieldTo140() {
  const Message m = NextButOneOfFieldChanges([] { QTest::mouseClick(Field(1035), Qt::LeftButton); });
  QCOMPARE(m.type, int(PushButton));
  QCOMPARE(m.record.value1, 1035);
  QCOMPARE(Edit(1038)->text(), QStringLiteral("140.00"));
  float value = 0;
  WDialogGetReal(1038, value);
  QCOMPARE(value, 140.0f);
}

}  // namespace

class DialogMessagesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    testdialogs::Register();
    WindowOpen(128);
    WMessageEnable(10, 1);
  }

  void cleanup() {
    WDialogLoad(testdialogs::kParameters);
    WDialogHide();
    toolkit::testing::DropPendingMessages();
  }

  void pushButtons() {
    ShowWithFocusOn(1077);
    // Pressing the mouse button moves the focus from the text field to the
    // button; releasing it presses the button.
    Message m = Next([] { QTest::mousePress(Field(1035), Qt::LeftButton); });
    QCOMPARE(m.type, int(FieldChanged));
    QCOMPARE(m.record.value1, 1077);
    QCOMPARE(m.record.value2, 1077);
    m = Next([] { QTest::mouseRelease(Field(1035), Qt::LeftButton); });
    QCOMPARE(m.type, int(PushButton));
    QCOMPARE(m.record.win, testdialogs::kParameters);
    QCOMPARE(m.record.value1, 1035);
    QCOMPARE(m.record.value2, 1077);  // the last reported field

    // Escape and the close box are button 2; the dialog stays up.
    m = Next([] { QTest::keyClick(Field(1035), Qt::Key_Escape); });
    QCOMPARE(m.type, int(PushButton));
    QCOMPARE(m.record.value1, 2);
    m = Next([] { DialogWidget(testdialogs::kParameters)->close(); });
    QCOMPARE(m.type, int(PushButton));
    QCOMPARE(m.record.value1, 2);
    QVERIFY(DialogWidget(testdialogs::kParameters)->isVisible());

    // Enter in a text field presses the default button, Plot.
    Field(1077)->setFocus();
    QTRY_VERIFY(Field(1077)->hasFocus());
    m = Next([] { QTest::keyClick(Field(1077), Qt::Key_Return); });
    QCOMPARE(m.type, int(PushButton));
    QCOMPARE(m.record.value1, 1035);
  }

  void fieldChangedByComboSelection() {
    ShowWithFocusOn(1052);
    auto* plot = qobject_cast<QComboBox*>(Field(1014));
    plot->setCurrentIndex(0);
    WMessageEnable(10, 0);
    Message m = Next([plot] { QTest::mouseClick(plot, Qt::LeftButton); }, 300);
    QVERIFY(IsWatchdog(m));  // no field-changed messages while disabled
    plot->hidePopup();
    Field(1052)->setFocus();
    QTRY_VERIFY(Field(1052)->hasFocus());
    WMessageEnable(10, 1);

    // Clicking a drop-down that did not have the focus: first the focus
    // move, then the drop-down itself.
    m = Next([plot] { QTest::mouseClick(plot, Qt::LeftButton); });
    QCOMPARE(m.type, int(FieldChanged));
    QCOMPARE(m.record.win, testdialogs::kParameters);
    QCOMPARE(m.record.value1, 1052);
    QCOMPARE(m.record.value2, 1014);
    m = Next();
    QCOMPARE(m.type, int(FieldChanged));
    QCOMPARE(m.record.value1, 1014);
    QCOMPARE(m.record.value2, 1014);
    QTRY_VERIFY(plot->view()->isVisible());

    // Picking the second item in the open list.
    m = Next([plot] {
      QTest::keyClick(plot->view(), Qt::Key_Down);
      QTest::keyClick(plot->view(), Qt::Key_Return);
    });
    QCOMPARE(m.type, int(FieldChanged));
    QCOMPARE(m.record.value1, 1014);
    QCOMPARE(m.record.value2, 1014);
    int value = 0;
    WDialogGetMenu(1014, value);
    QCOMPARE(value, 2);
  }

  void focusMoveByTab() {
    ShowWithFocusOn(1037);
    // Leaving a real-number field reports the field, then the move.
    Message m = Next([] { QTest::keyClick(Field(1037), Qt::Key_Tab); });
    QCOMPARE(m.type, int(FieldChanged));
    QCOMPARE(m.record.value1, 1037);
    QCOMPARE(m.record.value2, 1037);
    m = Next();
    QCOMPARE(m.type, int(FieldChanged));
    QCOMPARE(m.record.value1, 1037);
    QCOMPARE(m.record.value2, 1038);
    QVERIFY(Field(1038)->hasFocus());
  }

  void numericKeysAreFiltered() {
    ShowWithFocusOn(1039);
    QLineEdit* edit = Edit(1039);
    const int bells = BellCount();
    TypeInto(edit, QStringLiteral("4x5 "));
    QCOMPARE(edit->text(), QStringLiteral("45"));
    QCOMPARE(BellCount(), bells + 2);
    TypeInto(edit, QStringLiteral("-1.5e2"));
    QCOMPARE(edit->text(), QStringLiteral("-1.5E2"));
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(edit->selectedText(), edit->text());
    QCOMPARE(BellCount(), bells + 2);
  }

  void numericRewrittenWhenLeft() {
    ShowWithFocusOn(1039);  // no format of its own
    TypeInto(Edit(1039), QStringLiteral("45"));
    QTest::keyClick(Edit(1039), Qt::Key_Tab);
    QCOMPARE(Edit(1039)->text(), QStringLiteral("45.000"));
    float value = 0;
    WDialogGetReal(1039, value);
    QCOMPARE(value, 45.0f);

    Field(1037)->setFocus();  // range 0 to 70, format (f5.2)
    TypeInto(Edit(1037), QStringLiteral("2.5E1"));
    QTest::keyClick(Edit(1037), Qt::Key_Tab);
    QCOMPARE(Edit(1037)->text(), QStringLiteral("25.00"));
  }

  void invalidNumericKeepsFocus() {
    ShowWithFocusOn(1038);  // range 0 to 360
    const int bells = BellCount();
    TypeInto(Edit(1038), QStringLiteral("400"));
    QTest::keyClick(Edit(1038), Qt::Key_Tab);
    QCOMPARE(BellCount(), bells + 1);
    QTRY_VERIFY(Field(1038)->hasFocus());
    QCOMPARE(Edit(1038)->text(), QStringLiteral("400"));
    QCOMPARE(Edit(1038)->selectedText(), QStringLiteral("400"));

    // Emptied although it had a value: invalid as well while a range holds.
    TypeInto(Edit(1038), QString());
    QTest::keyClick(Edit(1038), Qt::Key_Tab);
    QCOMPARE(BellCount(), bells + 2);
    QTRY_VERIFY(Field(1038)->hasFocus());

    // A click on a drop-down does not get away either, nor leave it open.
    auto* plot = qobject_cast<QComboBox*>(Field(1014));
    QTest::mouseClick(plot, Qt::LeftButton);
    QTRY_VERIFY(Field(1038)->hasFocus());
    QVERIFY(!plot->view()->isVisible());
    QCOMPARE(BellCount(), bells + 3);
  }

  void invalidNumericWithPlotButton() {
    WDialogLoad(testdialogs::kParameters);
    WDialogPutReal(1038, 140.0f);
    ShowWithFocusOn(1038);
    TypeInto(Edit(1038), QStringLiteral("400"));
    // Plot restores the text from when the field got the focus and is
    // reported.
    PlotRestoresTheFieldTo140();
  }

  void invalidNumericRefocusedThenPlot() {
    // The focus coming back after the bell, or from another window, is no
    // new entry: Plot still restores what the field held when the user came.
    WDialogLoad(testdialogs::kParameters);
    WDialogPutReal(1038, 140.0f);
    ShowWithFocusOn(1038);
    const int bells = BellCount();
    TypeInto(Edit(1038), QStringLiteral("400"));
    QTest::keyClick(Edit(1038), Qt::Key_Tab);
    QCOMPARE(BellCount(), bells + 1);
    QTRY_VERIFY(Field(1038)->hasFocus());
    QTimer::singleShot(0, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        box->defaultButton()->click();
    });
    WMessageBox(0, 3, 1, "Another window", "Away");
    QTRY_VERIFY(Field(1038)->hasFocus());

    PlotRestoresTheFieldTo140();
    if (QTest::currentTestFailed()) return;
    // Restored, it leaves without a complaint.
    Field(1038)->setFocus();
    QTRY_VERIFY(Field(1038)->hasFocus());
    QTest::keyClick(Edit(1038), Qt::Key_Tab);
    QTRY_VERIFY(Field(1039)->hasFocus());
    QCOMPARE(BellCount(), bells + 1);
  }

  void invalidNumericWithButtonOne() {
    ShowWithFocusOn(1038);
    TypeInto(Edit(1038), QStringLiteral("400"));
    const int bells = BellCount();
    const Message m =
        NextButOneOfFieldChanges([] { QTest::mouseClick(Field(1), Qt::LeftButton); }, 400);
    QVERIFY(IsWatchdog(m));  // the press was not reported
    QVERIFY(BellCount() > bells);
    QTRY_VERIFY(Field(1038)->hasFocus());
    QCOMPARE(Edit(1038)->text(), QStringLiteral("400"));
    TypeInto(Edit(1038), QStringLiteral("140"));  // leave it valid
  }

  void timers() {
    QElapsedTimer clock;
    clock.start();
    WMessageTimer(2000, 1);
    int type = 0;
    MessageRecord m;
    WMessage(type, m);
    QCOMPARE(type, int(TimerExpired));
    QCOMPARE(m.value1, 1);
    QVERIFY2(clock.elapsed() >= 1950 && clock.elapsed() < 3000,
             qPrintable(QString::number(clock.elapsed())));

    // Cancelled: only timer 2 comes.
    WMessageTimer(100, 1);
    WMessageTimer(0, 1);
    WMessageTimer(300, 2);
    WMessage(type, m);
    QCOMPARE(m.value1, 2);

    // Restarted: the later delay counts.
    clock.restart();
    WMessageTimer(100, 3);
    WMessageTimer(500, 3);
    WMessage(type, m);
    QCOMPARE(m.value1, 3);
    QVERIFY(clock.elapsed() >= 450);
  }

  void messagesDuringWaitsAreLost() {
    QElapsedTimer clock;
    clock.start();
    WMessageTimer(50, 1);
    IOsWait(30);  // timer 1 fires in here and is lost
    QVERIFY(clock.elapsed() >= 290);
    const Message m = Next(nullptr, 300);
    QVERIFY(IsWatchdog(m));
  }

  void messageBoxes_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("defaultButton");
    QTest::addColumn<int>("buttonCount");
    QTest::addColumn<int>("expectedDefault");  // QMessageBox::StandardButton
    QTest::addColumn<int>("answer");           // on pressing the default
    QTest::newRow("ok") << 0 << 1 << 1 << int(QMessageBox::Ok) << 1;
    QTest::newRow("ok cancel, second") << 1 << 2 << 2 << int(QMessageBox::Cancel) << 0;
    QTest::newRow("yes no, third") << 3 << 3 << 2 << int(QMessageBox::No) << 2;
    QTest::newRow("yes no cancel, third") << 4 << 3 << 3 << int(QMessageBox::Cancel) << 0;
    QTest::newRow("abort retry ignore, first") << 5 << 1 << 3 << int(QMessageBox::Retry) << 1;
    QTest::newRow("abort retry ignore, second") << 5 << 2 << 3 << int(QMessageBox::Abort) << 2;
    QTest::newRow("unknown code") << 9 << 2 << 1 << int(QMessageBox::Ok) << 1;
  }
  void messageBoxes() {
    QFETCH(int, buttons);
    QFETCH(int, defaultButton);
    QFETCH(int, buttonCount);
    QFETCH(int, expectedDefault);
    QFETCH(int, answer);
    ShowWithFocusOn(1077);
    QString title, text;
    int count = 0, icon = 0, defaultOne = 0;
    bool otherDialogBlocked = false;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      title = box->windowTitle();
      text = box->text();
      count = box->buttons().size();
      icon = box->icon();
      defaultOne = box->standardButton(box->defaultButton());
      otherDialogBlocked = !QApplication::activeModalWidget()->isAncestorOf(
                               DialogWidget(testdialogs::kParameters)) &&
                           box->isModal();
      box->defaultButton()->click();
    });
    WMessageBox(buttons, 3, defaultButton, "Input Error\rLong. must be 0-360  ",
                "Map view   ");
    QCOMPARE(title, QStringLiteral("Map view"));
    QCOMPARE(text, QStringLiteral("Input Error\nLong. must be 0-360"));
    QCOMPARE(count, buttonCount);
    QCOMPARE(icon, int(QMessageBox::Warning));
    QCOMPARE(defaultOne, expectedDefault);
    QVERIFY(otherDialogBlocked);
    QCOMPARE(toolkit::testing::LastMessageBoxAnswer(), answer);
    QTRY_VERIFY(Field(1077)->hasFocus());  // back where it was
  }
};

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  WInitialise();
  DialogMessagesTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "dialog_messages_test.moc"
