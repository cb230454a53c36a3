// WMessageBox: a modal box with the toolkit's button sets and icons.
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <cstdio>

#include "toolkit/error_slots.h"
#include "toolkit/fixed_text.h"
#include "toolkit/message_hub.h"
#include "toolkit/qt_access.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int kCommonDialogError = 1004;
int lastAnswer = -1;

struct ButtonSet {
  QMessageBox::StandardButton buttons[3];
  int count;
  int defaultFor[3];  // button index for requested default 1, 2, 3
};

const ButtonSet kButtonSets[] = {
    {{QMessageBox::Ok}, 1, {0, 0, 0}},
    {{QMessageBox::Ok, QMessageBox::Cancel}, 2, {0, 1, 1}},
    {{QMessageBox::Retry, QMessageBox::Cancel}, 2, {0, 1, 1}},
    {{QMessageBox::Yes, QMessageBox::No}, 2, {0, 1, 1}},
    {{QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}, 3, {0, 1, 2}},
    {{QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore}, 3, {1, 0, 2}},
};

int answerOf(QMessageBox::StandardButton b) {
  switch (b) {
    case QMessageBox::Ok: case QMessageBox::Retry: case QMessageBox::Yes: return 1;
    case QMessageBox::Abort: case QMessageBox::No: return 2;
    default: return 0;  // Cancel, Ignore, or the box closed
  }
}

// Lines are separated by carriage returns in the program's texts.
QString boxText(const std::string& text) {
  QString t = QString::fromStdString(toolkit::TextWithoutTrailingBlanks(text));
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return t;
}

}  // namespace

namespace toolkit::testing {
int LastMessageBoxAnswer() { return lastAnswer; }
}  // namespace toolkit::testing

void WMessageBox(int buttons, int icon, int defaultButton, const std::string& text,
                 const std::string& title) {
  toolkit::EnsureInitialised();
  lastAnswer = -1;
  if (toolkit::Headless()) {
    // Nobody to answer: the text goes to standard error, the default
    // button is taken.
    const std::string caption = toolkit::TextWithoutTrailingBlanks(title);
    std::string body = toolkit::TextWithoutTrailingBlanks(text);
    for (char& c : body)
      if (c == '\r' || c == '\n') c = ' ';
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), body.c_str());
    const ButtonSet& set = kButtonSets[buttons >= 0 && buttons <= 5 ? buttons : 0];
    const int wanted = defaultButton >= 1 && defaultButton <= 3 ? defaultButton - 1 : 0;
    lastAnswer = answerOf(set.buttons[set.defaultFor[wanted]]);
    return;
  }
  if (!QApplication::instance()) {
    toolkit::RecordError(kCommonDialogError);
    return;
  }
  const ButtonSet& set = kButtonSets[buttons >= 0 && buttons <= 5 ? buttons : 0];
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  switch (icon) {
    case 1: boxIcon = QMessageBox::Critical; break;
    case 2: boxIcon = QMessageBox::Question; break;
    case 3: boxIcon = QMessageBox::Warning; break;
    case 4: boxIcon = QMessageBox::Information; break;
    default: break;
  }
  QPointer<QWidget> focus = QApplication::focusWidget();
  QMessageBox box(boxIcon, boxText(title), boxText(text), QMessageBox::NoButton,
                  QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  QMessageBox::StandardButtons all;
  for (int i = 0; i < set.count; ++i) all |= set.buttons[i];
  box.setStandardButtons(all);
  const int wanted = defaultButton >= 1 && defaultButton <= 3 ? defaultButton - 1 : 0;
  box.setDefaultButton(set.buttons[set.defaultFor[wanted]]);
  // Application-modal: every other dialog is blocked while the box is up.
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
  lastAnswer = answerOf(box.standardButton(box.clickedButton()));
  if (focus) {
    focus->activateWindow();
    focus->setFocus(Qt::OtherFocusReason);
  }
}
