// Start, root window and message delivery (skeleton).
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include "toolkit/error_slots.h"
#include "toolkit/toolkit.h"

void WInitialise(const std::string*) {
  static bool done = false;
  if (done) return;
  done = true;
  toolkit::ResetErrors(0);
  if (!QApplication::instance()) {
    static int argc = 1;
    static char name[] = "tidecharter";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
}
void WindowOpen(int) {}
void WindowClose() {}
void WMessage(int& itype, MessageRecord& message) {
  message = MessageRecord();
  itype = CloseRequest;
}
void WMessageEnable(int, int) {}
void WMessageTimer(int, int, int) {}
void WMessageBox(int, int, int, const std::string&, const std::string&) {}

void IOsWait(int hundredths) {
  if (hundredths <= 0 || !QCoreApplication::instance()) return;
  QEventLoop loop;
  QTimer::singleShot(hundredths * 10, &loop, &QEventLoop::quit);
  loop.exec();
}
