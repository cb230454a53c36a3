// Drives the real toolkit dialogs from inside a running wait: finds shown
// dialogs by caption and presses their buttons from a Qt timer.
#ifndef TIDECHARTER_TESTS_DIALOG_DRIVER_H
#define TIDECHARTER_TESTS_DIALOG_DRIVER_H

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>

#include "toolkit/qt_access.h"

inline QWidget* ShownDialog(const QString& caption) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->windowTitle() == caption) return w;
  return nullptr;
}

inline QPushButton* Button(QWidget* dialog, const QString& text) {
  if (!dialog) return nullptr;
  for (QPushButton* b : dialog->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

// Presses `text` in the shown dialog `caption` once `ready` holds, checking
// every 100 ms, and only while the program waits for a message: a press
// made while it runs a batch file would be lost. The timer lives until the
// test ends.
class DelayedPress {
 public:
  DelayedPress(const QString& caption, const QString& text, std::function<bool()> ready) {
    timer_.setInterval(100);
    QObject::connect(&timer_, &QTimer::timeout, [this, caption, text, ready] {
      if (pressed_ || !toolkit::testing::WaitingForMessage() || !ready()) return;
      if (QPushButton* b = Button(ShownDialog(caption), text)) {
        pressed_ = true;
        b->click();
      }
    });
    timer_.start();
  }
  bool pressed() const { return pressed_; }

 private:
  QTimer timer_;
  bool pressed_ = false;
};

// Seconds since construction.
class Stopwatch {
 public:
  Stopwatch() { timer_.start(); }
  double seconds() const { return timer_.elapsed() / 1000.0; }

 private:
  QElapsedTimer timer_;
};

#endif
