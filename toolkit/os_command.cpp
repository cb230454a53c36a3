// IOsCommand and IOsExecute: running the batch files.
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <cstdlib>

#include "toolkit/drive_paths.h"
#include "toolkit/error_slots.h"
#include "toolkit/os_process.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int kHidden = 1;
constexpr int kWait = 2;
constexpr int kOperatingSystemError = 13;
constexpr int kTimedOut = 1034;
constexpr int kNoProgramName = 23;

// While a command is waited for, the user's input is thrown away rather than
// delivered after the wait: a button pressed then must not fire later.
class InputDiscarder : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (!event->spontaneous()) return false;
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::Wheel:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
      case QEvent::TabletPress:
      case QEvent::TabletRelease:
      case QEvent::TabletMove:
      case QEvent::Close:
        return true;
      default:
        return false;
    }
  }
};

// Waits for `pid` keeping the windows painted, in 100 ms steps.
toolkit::WaitOutcome WaitRepainting(int pid, int& osError) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return toolkit::WaitForChild(pid, -1, osError);
  InputDiscarder discarder;
  app->installEventFilter(&discarder);
  toolkit::WaitOutcome outcome;
  for (;;) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    outcome = toolkit::WaitForChild(pid, 100, osError);
    if (outcome != toolkit::WaitOutcome::TimedOut) break;
  }
  // Input held back during the wait reaches the filter now and is dropped.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  app->removeEventFilter(&discarder);
  return outcome;
}

}  // namespace

void IOsCommand(const std::string& command, int flags, int timeoutSeconds) {
  toolkit::ReapAdoptedChildren();
  if (toolkit::TrimTrailingBlanks(command).empty()) return;

  int osError = 0;
  const int pid = toolkit::StartCommand(command, (flags & kHidden) != 0, osError);
  if (pid < 0) {
    toolkit::RecordError(kOperatingSystemError);
    toolkit::RecordStartError(osError);
    return;
  }
  if ((flags & kWait) == 0) {
    toolkit::AdoptChild(pid);
    return;
  }

  const toolkit::WaitOutcome outcome =
      timeoutSeconds < 0
          ? WaitRepainting(pid, osError)
          : toolkit::WaitForChild(pid, static_cast<long long>(timeoutSeconds) * 1000, osError);
  switch (outcome) {
    case toolkit::WaitOutcome::Exited:
      break;
    case toolkit::WaitOutcome::TimedOut:
      toolkit::AdoptChild(pid);
      toolkit::RecordError(kTimedOut);
      break;
    case toolkit::WaitOutcome::Failed:
      toolkit::AdoptChild(pid);
      toolkit::RecordError(kOperatingSystemError);
      toolkit::RecordStartError(osError);
      break;
  }
}

void IOsExecute(const std::string& command) {
  if (toolkit::TrimTrailingBlanks(command).empty()) {
    toolkit::RecordError(kNoProgramName);
    return;
  }
  WindowClose();
  int osError = 0;
  // The started program runs in its own session and outlives this one.
  if (toolkit::StartCommand(command, false, osError) >= 0) std::exit(0);
  WMessageBox(0, 1, 1, "Abnormal exit (code 2) : Failed to execute program",
              "Tidecharter");
  std::exit(2);
}
