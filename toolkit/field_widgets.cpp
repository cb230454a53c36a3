#include "toolkit/field_widgets.h"

#include <QAbstractItemView>
#include <QKeyEvent>

#include "toolkit/message_hub.h"

namespace toolkit {

bool NumericEdit::refused(const QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers();
  const int key = event->key();
  if (mods & Qt::AltModifier) return false;  // menu and mnemonic keys make no character
  if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier)) {
    switch (key) {
      case Qt::Key_A: case Qt::Key_C: case Qt::Key_V: case Qt::Key_X: case Qt::Key_Z:
        return false;
      default:
        // Other control characters are refused; Ctrl with a key that makes
        // no character (arrows, Home) moves the cursor as usual.
        return !event->text().isEmpty() || (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde);
    }
  }
  switch (key) {
    case Qt::Key_Backspace: case Qt::Key_Tab: case Qt::Key_Backtab:
    case Qt::Key_Return: case Qt::Key_Enter: case Qt::Key_Escape:
      return false;
    default:
      break;
  }
  const QString text = event->text();
  // Cursor keys, Delete and function keys make no printable character.
  bool printable = false;
  for (QChar c : text) printable = printable || (c.unicode() >= 0x20 && c.unicode() != 0x7f);
  if (!printable) return false;
  for (QChar c : text) {
    if (!(c.isDigit() && c.unicode() < 128) && c != '-' && c != '+' && c != 'E' && c != 'e' &&
        c != '.')
      return true;
  }
  return false;
}

void NumericEdit::keyPressEvent(QKeyEvent* event) {
  if (refused(event)) {
    Bell();
    event->accept();
    return;
  }
  const bool plainEnter = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                          !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  if (plainEnter) {
    event->ignore();  // the dialog presses its default button
    return;
  }
  if (event->text() == QLatin1String("e")) {
    QKeyEvent upper(event->type(), Qt::Key_E, event->modifiers(), QStringLiteral("E"),
                    event->isAutoRepeat(), event->count());
    QLineEdit::keyPressEvent(&upper);
    event->setAccepted(upper.isAccepted());
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void ComboField::showPopup() {
  QComboBox::showPopup();
  if (listOpened) listOpened();
}

void ComboField::hidePopup() {
  const bool wasOpen = view() && view()->isVisible();
  QComboBox::hidePopup();
  if (wasOpen && listClosed) listClosed();
}

}  // namespace toolkit
