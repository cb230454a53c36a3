// Field access on real dialogs: loading and selecting with their error
// codes, radio groups, menus, numbers and field states.
#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QtTest>

#include "test_dialogs.h"
#include "toolkit/error_slots.h"
#include "toolkit/qt_access.h"
#include "toolkit/toolkit.h"

using toolkit::testing::DialogWidget;
using toolkit::testing::FieldWidget;

namespace {

std::string Fixed(int length) { return std::string(length, ' '); }

void Parameters() {
  WDialogLoad(testdialogs::kParameters);
  InfoError(1);
}

QString Shown(int field) {
  return qobject_cast<QLineEdit*>(FieldWidget(testdialogs::kParameters, field))->text();
}

}  // namespace

class DialogFieldsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    testdialogs::Register();
    InfoError(1);
  }

  void errorsForMissingDialogsAndFields() {
    std::string text = Fixed(8);
    WDialogGetString(1006, text);
    QCOMPARE(InfoError(1), 1005);
    QCOMPARE(text, Fixed(8));
    WDialogSelect(999);
    QCOMPARE(InfoError(1), 1008);
    QCOMPARE(InfoError(1), 0);
    WDialogLoad(998);  // no such template
    QCOMPARE(InfoError(1), 1007);

    WDialogLoad(testdialogs::kMenu);
    QCOMPARE(InfoError(1), 0);
    QDialog* first = DialogWidget(testdialogs::kMenu);
    QVERIFY(first != nullptr);
    QVERIFY(first->isHidden());
    WDialogLoad(testdialogs::kMenu);
    QCOMPARE(InfoError(1), 0);
    QCOMPARE(DialogWidget(testdialogs::kMenu), first);

    text = "xxxxxxxx";
    WDialogGetString(4711, text);
    QCOMPARE(InfoError(1), 1006);
    QCOMPARE(text, Fixed(8));
    int value = 0;
    WDialogGetMenu(1004, value);  // a label is no menu
    QCOMPARE(InfoError(1), 1006);

    // A failed load leaves the current dialog as it was.
    toolkit::testing::SetDialogDefinition(903, "DIALOG 903 10 10\nCONTROL 1 BUTTON PUSH 0 0 1\n");
    WDialogLoad(903);
    QCOMPARE(InfoError(1), 1088);
    WDialogGetRadioButton(1006, value);
    QCOMPARE(InfoError(1), 0);
    QCOMPARE(value, 1);
  }

  void radioGroupPositions_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("position");
    QTest::newRow("first") << 1006 << 1;
    QTest::newRow("second") << 1007 << 2;
    QTest::newRow("third") << 1008 << 3;
    QTest::newRow("fourth") << 1053 << 4;
    QTest::newRow("fifth") << 1087 << 5;
  }
  void radioGroupPositions() {
    QFETCH(int, button);
    QFETCH(int, position);
    WDialogLoad(testdialogs::kMenu);
    WDialogPutRadioButton(button);
    int value = 0;
    WDialogGetRadioButton(1006, value);
    QCOMPARE(value, position);
    WDialogGetRadioButton(1087, value);
    QCOMPARE(value, position);
    QCOMPARE(InfoError(1), 0);
    int checked = 0;
    for (int id : {1006, 1007, 1008, 1053, 1087})
      checked += qobject_cast<QAbstractButton*>(FieldWidget(testdialogs::kMenu, id))->isChecked();
    QCOMPARE(checked, 1);
  }

  void radioGroupsAreSeparate() {
    Parameters();
    int value = 0;
    WDialogGetRadioButton(1075, value);
    QCOMPARE(value, 1);  // [Checks] 1073
    WDialogPutRadioButton(1075);
    WDialogGetRadioButton(1073, value);
    QCOMPARE(value, 2);
    WDialogPutRadioButton(1077);  // a text field
    QCOMPARE(InfoError(1), 1006);
    WDialogGetRadioButton(1035, value);
    QCOMPARE(InfoError(1), 1006);
  }

  void endYearMenuWithoutSelection() {
    Parameters();
    auto* years = qobject_cast<QComboBox*>(FieldWidget(testdialogs::kParameters, 1030));
    QCOMPARE(years->count(), 13);
    QCOMPARE(years->itemText(11), QStringLiteral("2015"));
    QCOMPARE(years->itemText(12), QString());
    int value = 0;
    std::string text = Fixed(6);
    WDialogGetMenu(1030, value, &text);
    QCOMPARE(value, -999);
    QCOMPARE(InfoError(1), 1010);
    QCOMPARE(text, Fixed(6));
    years->setCurrentIndex(12);  // the user picks the empty item
    WDialogGetMenu(1030, value);
    QCOMPARE(value, 13);
    QCOMPARE(InfoError(1), 0);
    years->setCurrentIndex(2);
    WDialogGetMenu(1030, value, &text);
    QCOMPARE(value, 3);
    QCOMPARE(text, std::string("2006  "));

    WDialogGetMenu(1031, value);  // initial 0: no selection either
    QCOMPARE(value, -999);
    QCOMPARE(InfoError(1), 1010);
    WDialogGetMenu(1045, value);  // nor for the list box
    QCOMPARE(value, -999);
    QCOMPARE(InfoError(1), 1010);
  }

  void menuItemsKeepLeadingBlanks() {
    Parameters();
    auto* property = qobject_cast<QComboBox*>(FieldWidget(testdialogs::kParameters, 1052));
    QCOMPARE(property->count(), 3);
    QCOMPARE(property->itemText(2), QStringLiteral("  Indented item"));
    int value = 0;
    WDialogGetMenu(1052, value);
    QCOMPARE(value, 1);
  }

  void putMenu() {
    Parameters();
    const std::vector<std::string> names = {"Honolulu   ", "Tarawa    ", "Lima      "};
    WDialogPutMenu(1052, names, 2, 2);
    auto* combo = qobject_cast<QComboBox*>(FieldWidget(testdialogs::kParameters, 1052));
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("Honolulu"));
    int value = 0;
    WDialogGetMenu(1052, value);
    QCOMPARE(value, 2);
    QCOMPARE(InfoError(1), 0);
    WDialogPutMenu(1052, names, 3, 4);  // no fourth item
    QCOMPARE(InfoError(1), 1011);
    QCOMPARE(combo->count(), 3);
    WDialogGetMenu(1052, value);
    QCOMPARE(value, -999);
    WDialogPutMenu(1077, names, 3, 1);  // a text field
    QCOMPARE(InfoError(1), 1006);
  }

  void editableDropDownReads_data() {
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("integer");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("item");
    QTest::newRow("level") << "1250" << 1250 << 0 << 3;
    QTest::newRow("decimal") << "99.9" << 99 << 0 << 0;
    QTest::newRow("negative decimal") << "-99.9" << -99 << 0 << 0;
    QTest::newRow("exponent") << "1.5d3" << 1500 << 0 << 0;
    QTest::newRow("letters") << "deep" << 0 << 0 << 0;
    QTest::newRow("empty") << "" << -999 << 1010 << -999;
  }
  void editableDropDownReads() {
    QFETCH(QString, shown);
    QFETCH(int, integer);
    QFETCH(int, error);
    QFETCH(int, item);
    Parameters();
    auto* combo = qobject_cast<QComboBox*>(FieldWidget(testdialogs::kParameters, 1010));
    combo->setFocus();
    combo->lineEdit()->selectAll();
    QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(combo->lineEdit(), shown);
    QCOMPARE(combo->currentText(), shown);
    int value = 0;
    WDialogGetInteger(1010, value);
    QCOMPARE(value, integer);
    QCOMPARE(InfoError(1), error);
    WDialogGetMenu(1010, value);  // typed text names an item or none
    QCOMPARE(value, item);
    QCOMPARE(InfoError(1), error);
  }

  void typedMenuTextIgnoresCase() {
    Parameters();
    const std::vector<std::string> items = {"Surface", "Bottom"};
    const std::string text = "BOTTOM";
    WDialogPutMenu(1010, items, 2, 0, &text);
    QCOMPARE(InfoError(1), 0);
    int value = 0;
    WDialogGetMenu(1010, value);
    QCOMPARE(value, 2);
  }

  void putRealRangeAndFormat() {
    Parameters();
    WDialogPutReal(1037, 75.0f);  // range 0 to 70
    QCOMPARE(InfoError(1), 1009);
    QCOMPARE(Shown(1037), QStringLiteral("65.00"));
    float value = 0;
    WDialogGetReal(1037, value);
    QCOMPARE(value, 65.0f);

    WDialogPutReal(1037, 25.5f);  // (f5.2) from [Formats], after [Lengths]
    QCOMPARE(InfoError(1), 0);
    QCOMPARE(Shown(1037), QStringLiteral("25.50"));

    WDialogPutReal(1037, 1.0f / 3.0f);  // shown rounded, read back exact
    QCOMPARE(Shown(1037), QStringLiteral("0.33"));
    WDialogGetReal(1037, value);
    QCOMPARE(value, 1.0f / 3.0f);

    WDialogPutReal(1039, 45.0f);  // no format of its own
    QCOMPARE(Shown(1039), QStringLiteral("45.000"));
    WDialogPutReal(1039, 123456.0f);
    QCOMPARE(Shown(1039), QStringLiteral("0.12346E+06"));
    WDialogPutReal(1039, 25.5f, "(f4.1)");
    QCOMPARE(Shown(1039), QStringLiteral("25.5"));
    WDialogPutReal(1039, 12345.0f);  // keeps the format it was last given
    QCOMPARE(Shown(1039), QStringLiteral("**********"));
    QCOMPARE(InfoError(1), 18);

    int integer = 0;
    WDialogPutReal(1039, -25.99f, "(f6.2)");
    WDialogGetInteger(1039, integer);
    QCOMPARE(integer, -25);
    WDialogGetReal(1040, value);  // empty field
    QCOMPARE(value, -999.0f);
    QCOMPARE(InfoError(1), 1010);
    WDialogGetInteger(1040, integer);
    QCOMPARE(integer, -999);
    QCOMPARE(InfoError(1), 1010);
  }

  void lengthsLimitText() {
    Parameters();
    auto* edit = qobject_cast<QLineEdit*>(FieldWidget(testdialogs::kParameters, 1077));
    QCOMPARE(edit->maxLength(), 44);
  }

  void stringsAreFixedLength() {
    Parameters();
    WDialogPutString(1077, "(8,22,2)     ");
    std::string shortText = Fixed(4), longText = Fixed(12);
    WDialogGetString(1077, shortText);
    WDialogGetString(1077, longText);
    QCOMPARE(shortText, std::string("(8,2"));
    QCOMPARE(longText, std::string("(8,22,2)    "));
    WDialogPutString(1077, std::string(44, ' '));
    QCOMPARE(Shown(1077), QString());
    std::string label = Fixed(6);
    WDialogGetString(1078, label);
    QCOMPARE(label, std::string("hint  "));
  }

  void fieldStates() {
    Parameters();
    WDialogShow(-1, -1, 1077, 2);
    QVERIFY(QTest::qWaitForWindowActive(DialogWidget(testdialogs::kParameters)));
    QWidget* edit = FieldWidget(testdialogs::kParameters, 1077);
    QTRY_VERIFY(edit->hasFocus());
    WDialogFieldState(1077, 3);
    QVERIFY(edit->isHidden());
    QVERIFY(!edit->hasFocus());  // the focus left the hidden field
    WDialogFieldState(1077, 1);
    QVERIFY(!edit->isHidden());
    QVERIFY(edit->isEnabled());
    WDialogFieldState(1077, 2);
    QVERIFY(edit->isEnabled());
    QVERIFY(qobject_cast<QLineEdit*>(edit)->isReadOnly());
    WDialogFieldState(1014, 2);  // a menu cannot be read-only: disabled
    QVERIFY(!FieldWidget(testdialogs::kParameters, 1014)->isEnabled());
    WDialogFieldState(1014, 1);
    WDialogFieldState(1077, 0);
    QVERIFY(!edit->isEnabled());
    WDialogFieldState(1077, 1);
    QVERIFY(!qobject_cast<QLineEdit*>(edit)->isReadOnly());
    QCOMPARE(InfoError(1), 0);
    WDialogHide();
  }

  void showPositionsAndFocus() {
    Parameters();
    QDialog* dialog = DialogWidget(testdialogs::kParameters);
    WDialogShow(-1, -1, 0, 2);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const QSize size = dialog->frameGeometry().size();
    QCOMPARE(dialog->frameGeometry().topLeft(),
             QPoint((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2));
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QTRY_VERIFY(FieldWidget(testdialogs::kParameters, 1052)->hasFocus());  // first field

    const QPoint centred = dialog->pos();
    WDialogShow(480, -1, 0, 2);  // already shown: stays where it is
    QCOMPARE(dialog->pos(), centred);
    WDialogHide();
    QVERIFY(dialog->isHidden());
    WDialogShow(480, -1, 1039, 2);
    QCOMPARE(dialog->frameGeometry().left(), 480);
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    auto* number = qobject_cast<QLineEdit*>(FieldWidget(testdialogs::kParameters, 1039));
    QTRY_VERIFY(number->hasFocus());
    QCOMPARE(number->selectedText(), number->text());
    WDialogHide();
    QCOMPARE(InfoError(1), 0);
  }

  void semiModelessDisablesTheOthers() {
    Parameters();
    WDialogLoad(testdialogs::kMenu);
    WDialogShow(-1, -1, 0, 3);
    QVERIFY(!DialogWidget(testdialogs::kParameters)->isEnabled());
    QVERIFY(DialogWidget(testdialogs::kMenu)->isEnabled());
    WDialogSelect(testdialogs::kParameters);
    WDialogShow(-1, -1, 0, 2);  // turned semi-modeless
    QCOMPARE(InfoError(1), 1014);
    WDialogHide();
    WDialogSelect(testdialogs::kMenu);
    WDialogHide();
    QVERIFY(DialogWidget(testdialogs::kParameters)->isEnabled());
  }

  void tooManyDialogs() {
    WindowClose();
    for (int i = 0; i < 100; ++i) WDialogLoad(testdialogs::kMenu, 2000 + i);
    QCOMPARE(InfoError(1), 0);
    WDialogLoad(testdialogs::kParameters);
    QCOMPARE(InfoError(1), 1087);
    QVERIFY(DialogWidget(testdialogs::kParameters) == nullptr);
    int value = 0;
    WDialogGetRadioButton(1006, value);  // dialog 2099 is still current
    QCOMPARE(InfoError(1), 0);
    WDialogSelect(901);  // loaded only under new identifiers
    QCOMPARE(InfoError(1), 1008);
    WindowClose();
    WDialogGetRadioButton(1006, value);
    QCOMPARE(InfoError(1), 1005);
  }
};

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  WInitialise();
  DialogFieldsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "dialog_fields_test.moc"
