// IOsCommand and IOsExecute: running the batch files.
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <algorithm>
#include <chrono>
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

// Whether the last command waited for ended within its time-out, together
// with everything it started in its session.
bool lastCommandEnded = false;

long long SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Waits for `pid`, at most `milliseconds` when that is not negative, keeping
// the windows painted in steps of 100 ms. Without a time-out the user's input
// is thrown away; with one it is held back and reaches the program's next
// WMessage, as input that arrived while the program was busy.
toolkit::WaitOutcome WaitPainting(int pid, long long milliseconds, int& osError) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return toolkit::WaitForChild(pid, milliseconds, osError);
  const bool timed = milliseconds >= 0;
  const long long deadline = SteadyMs() + milliseconds;
  InputDiscarder discarder;
  if (!timed) app->installEventFilter(&discarder);
  toolkit::WaitOutcome outcome;
  for (;;) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const long long step = timed ? std::min<long long>(100, std::max<long long>(0, deadline - SteadyMs())) : 100;
    outcome = toolkit::WaitForChild(pid, step, osError);
    if (outcome != toolkit::WaitOutcome::TimedOut || (timed && SteadyMs() >= deadline)) break;
  }
  if (!timed) {
    // Input held back during the wait reaches the filter now and is dropped.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    app->removeEventFilter(&discarder);
  }
  return outcome;
}

}  // namespace

void IOsCommand(const std::string& command, int flags, int timeoutSeconds) {
  lastCommandEnded = false;
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

  const long long limit = timeoutSeconds < 0 ? -1 : static_cast<long long>(timeoutSeconds) * 1000;
  const toolkit::WaitOutcome outcome = WaitPainting(pid, limit, osError);
  switch (outcome) {
    case toolkit::WaitOutcome::Exited:
      lastCommandEnded = !toolkit::SessionRunning(pid);
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

bool IOsCommandEnded() { return lastCommandEnded; }

int IOsStartProgram(const std::vector<std::string>& words, const std::string& outputFile) {
  int osError = 0;
  const int pid = toolkit::StartProgram(words, outputFile, osError);
  if (pid < 0) {
    toolkit::RecordError(kOperatingSystemError);
    toolkit::RecordStartError(osError);
  }
  return pid;
}

int IOsWaitProgram(int& exitCode, int timeoutMs) {
  return toolkit::WaitForProgram(exitCode, timeoutMs);
}

void IOsWindUpOnInterrupt() { toolkit::WindUpOnInterrupt(); }

int IOsInterrupted() { return toolkit::EndingSignal(); }

void IOsEndAsInterrupted() { toolkit::EndAsInterrupted(); }

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
