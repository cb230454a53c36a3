// Start, root window, message delivery, timers and IOsWait.
//
// Delivery is one message per event: WMessage returns as soon as
// the dispatch of one platform event has produced a toolkit message. Qt
// dispatches in batches, so the toolkit watches where each top-level event
// delivery begins and ends (ToolkitApplication::notify) and groups the
// messages of one delivery: the first is the result, a later field-changed
// message is put aside for the next call, any other later message replaces
// the result.
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <thread>

#include "toolkit/dialog_table.h"
#include "toolkit/error_slots.h"
#include "toolkit/error_text.h"
#include "toolkit/fixed_text.h"
#include "toolkit/message_hub.h"
#include "toolkit/pictures.h"
#include "toolkit/qt_access.h"

namespace toolkit {
namespace {

constexpr int kMessageTypes = 16;
constexpr int kHiddenRootWindow = 128;

struct Message {
  int type = 0;
  MessageRecord record;
};

struct Hub {
  bool initialised = false;
  bool enabled[kMessageTypes + 1] = {};
  bool waiting = false;     // inside WMessage
  bool grouping = false;    // the application object is ours
  int depth = 0;            // nesting of event deliveries
  std::vector<Message> dispatch;  // produced by the current delivery
  std::deque<Message> ready;      // for the coming WMessage calls
  std::map<int, QTimer*> timers;
  QPointer<QWidget> root;
  int bells = 0;
  bool headless = false;
};

Hub& hub() {
  static Hub h;
  return h;
}

void resetEnableFlags() {
  // Types 1 to 4, 7 to 9, 13 and 14 start enabled.
  static const bool initial[kMessageTypes + 1] = {false, true,  true,  true,  true,  false,
                                                  false, true,  true,  true,  false, false,
                                                  false, true,  true,  false, false};
  for (int t = 0; t <= kMessageTypes; ++t) hub().enabled[t] = initial[t];
}

void endDispatch() {
  Hub& h = hub();
  if (h.dispatch.empty()) return;
  Message result = h.dispatch.front();
  Message putAside;
  for (std::size_t i = 1; i < h.dispatch.size(); ++i) {
    if (h.dispatch[i].type == FieldChanged)
      putAside = h.dispatch[i];
    else
      result = h.dispatch[i];
  }
  h.dispatch.clear();
  h.ready.push_back(result);
  if (putAside.type != 0) h.ready.push_back(putAside);
}

class ToolkitApplication : public QApplication {
 public:
  ToolkitApplication(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override {
    Hub& h = hub();
    ++h.depth;
    const bool result = QApplication::notify(receiver, event);
    if (--h.depth == 0) endDispatch();
    return result;
  }
};

// The root window: hidden in this program, but a working window when shown.
class RootWidget : public QWidget {
 public:
  RootWidget() { setWindowTitle(QStringLiteral("Tidecharter")); }

 protected:
  void report(int type, int v1, int v2, int x = -1, int y = -1) {
    MessageRecord r;
    r.win = 0;
    r.value1 = v1;
    r.value2 = v2;
    r.x = x;
    r.y = y;
    DeliverMessage(type, r);
  }
  void keyPressEvent(QKeyEvent* e) override { report(KeyPressed, e->key(), -1); }
  void mousePressEvent(QMouseEvent* e) override {
    report(MouseButDown, static_cast<int>(e->button()), static_cast<int>(e->modifiers()),
           e->position().toPoint().x(), e->position().toPoint().y());
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    report(MouseButUp, static_cast<int>(e->button()), static_cast<int>(e->modifiers()),
           e->position().toPoint().x(), e->position().toPoint().y());
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    report(MouseMove, -1, static_cast<int>(e->modifiers()), e->position().toPoint().x(),
           e->position().toPoint().y());
  }
  void paintEvent(QPaintEvent* e) override {
    const QRect r = e->rect();
    report(Expose, r.width(), r.height(), r.x(), r.y());
  }
  void resizeEvent(QResizeEvent* e) override {
    report(Resize, e->size().width(), e->size().height());
  }
  void closeEvent(QCloseEvent* e) override {
    e->ignore();  // the program decides
    report(CloseRequest, -1, -1);
  }
};

// Reporting modes 3 and 4 need a window: the root window's title stands in
// for its status bar, and mode 4 shows a message box.
void showErrorInWindow(int mode, const std::string& line) {
  if (!QApplication::instance()) return;
  if (hub().headless) {
    std::fprintf(stderr, "Toolkit error: %s\n", line.c_str());
    return;
  }
  if (mode == 3) {
    if (QWidget* root = hub().root) root->setWindowTitle(QString::fromStdString(line));
    return;
  }
  QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("Toolkit error"),
                       QString::fromStdString(line));
}

void readInitialisationFile(const std::string* initfile) {
  std::string name;
  if (initfile) name = TextWithoutTrailingBlanks(*initfile);
  if (name.empty()) {
    const char* env = std::getenv("TIDECHARTER_TOOLKIT_INI");
    if (env) name = env;
  }
  if (name.empty()) return;
  std::ifstream in(name);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    key.erase(0, key.find_first_not_of(" \t"));
    key = TextWithoutTrailingBlanks(key);
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (key == "DEBUG") ResetErrors(std::atoi(line.c_str() + eq + 1));
  }
}

}  // namespace

void DeliverMessage(int type, const MessageRecord& record) {
  Hub& h = hub();
  if (type < 1 || type > kMessageTypes || !h.enabled[type]) return;
  if (!h.waiting) return;  // arose outside WMessage: nobody asks for it
  Message m{type, record};
  if (h.grouping && h.depth > 0)
    h.dispatch.push_back(m);
  else
    h.ready.push_back(m);
}

void EnsureInitialised() {
  if (!hub().initialised || !QApplication::instance()) WInitialise();
}

QWidget* RootWindow() { return hub().root; }

bool Headless() { return hub().headless; }

void Bell() {
  ++hub().bells;
  if (QApplication::instance()) QApplication::beep();
}

int BellCount() { return hub().bells; }

namespace testing {
void DropPendingMessages() { hub().ready.clear(); }
bool WaitingForMessage() { return hub().waiting; }
}  // namespace testing

}  // namespace toolkit

using namespace toolkit;

void WInitialise(const std::string* initfile) {
  Hub& h = hub();
  if (h.initialised) return;
  h.initialised = true;
  if (!QApplication::instance()) {
    // Headless: Qt's offscreen platform, chosen on the application's own
    // command line so that the programs it starts inherit nothing of it.
    static char name[] = "tidecharter";
    static char platform[] = "-platform";
    static char offscreen[] = "offscreen";
    static char* argv[] = {name, nullptr, nullptr, nullptr};
    static int argc = 1;
    if (h.headless) {
      argv[1] = platform;
      argv[2] = offscreen;
      argc = 3;
    }
    new ToolkitApplication(argc, argv);
    // The desktop ties the windows to the menu entry and shows the main
    // menu's icon for them.
    QGuiApplication::setDesktopFileName(TIDECHARTER_DESKTOP_ID);
    QApplication::setWindowIcon(QIcon(DialogPicture("program", QSize(64, 64), true)));
    h.grouping = true;
  } else {
    h.grouping = dynamic_cast<ToolkitApplication*>(QApplication::instance()) != nullptr;
  }
  ResetErrors(0);
  SetCurrentDialog(nullptr);
  resetEnableFlags();
  SetErrorDisplay(showErrorInWindow);
  readInitialisationFile(initfile);
}

void WInitialiseHeadless() {
  Hub& h = hub();
  if (h.initialised) return;
  h.headless = true;
  // Qt's notes about what the offscreen platform cannot do are no news here.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg || type == QtCriticalMsg)
      std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  });
  WInitialise();
}

void WindowOpen(int flags) {
  EnsureInitialised();
  Hub& h = hub();
  if (h.root) return;
  h.root = new RootWidget();
  if (flags & kHiddenRootWindow) return;
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  h.root->resize(screen.width() * 4 / 5, screen.height() * 4 / 5);
  h.root->move(screen.x() + screen.width() / 10, screen.y() + screen.height() / 10);
  h.root->show();
}

void WindowClose() {
  Hub& h = hub();
  UnloadAllDialogs();
  for (auto& entry : h.timers) delete entry.second;
  h.timers.clear();
  delete h.root;
  h.root = nullptr;
  h.dispatch.clear();
  h.ready.clear();
}

void WMessage(int& itype, MessageRecord& message) {
  EnsureInitialised();
  Hub& h = hub();
  while (h.ready.empty()) {
    h.waiting = true;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    h.waiting = false;
  }
  const Message m = h.ready.front();
  h.ready.pop_front();
  itype = m.type;
  message = m.record;
}

void WMessageEnable(int type, int state) {
  if (type < 1 || type > kMessageTypes) return;
  hub().enabled[type] = state != 0;
}

void WMessageTimer(int delayMs, int timerId, int /*flag: same message either way*/) {
  EnsureInitialised();
  Hub& h = hub();
  QTimer*& timer = h.timers[timerId];
  if (delayMs <= 0) {
    if (timer) timer->stop();
    return;
  }
  if (!timer) {
    timer = new QTimer(QCoreApplication::instance());  // lives as long as the program
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, [timerId] {
      MessageRecord r;
      r.win = 0;
      r.value1 = timerId;
      DeliverMessage(TimerExpired, r);
    });
  }
  timer->start(delayMs);
}

void IOsWait(int hundredths) {
  if (hundredths <= 0) return;
  if (!QApplication::instance()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10LL * hundredths));
    return;
  }
  const int ms = hundredths > 20000000 ? 200000000 : 10 * hundredths;
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}
