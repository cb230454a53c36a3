#include "toolkit/picture_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QImage>
#include <QImageReader>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

#include "toolkit/toolkit.h"

namespace toolkit {
namespace {

int signalPipe[2] = {-1, -1};
PictureWindowOwner* shownBy = nullptr;
QtMessageHandler qtHandler = nullptr;

// Qt ends the process when its display goes away (by exit, or by abort
// after a fatal message): the owner still tidies up first.
void windowGone() {
  if (!shownBy) return;
  PictureWindowOwner* owner = shownBy;
  shownBy = nullptr;
  owner->closing();
}

void lastWords(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) windowGone();
  if (qtHandler) qtHandler(type, context, text);
}

void noteSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

// The picture, decoded at the size it is shown at, once the size has
// settled: a 4K picture kept whole would cost more memory than the rest of
// the window, and smooth scaling it is too slow for every expose.
class PictureArea : public QWidget {
 public:
  PictureArea(const QString& file, PictureWindowOwner& owner, QStatusBar* status)
      : file_(file), owner_(owner), status_(status) {
    QImageReader reader(file);
    full_ = reader.size();
    if (!full_.isValid() || !reader.canRead())
      problem_ = "The picture " + file + " cannot be read: " + reader.errorString();
    else if (decode(QSize(64, 64)).isNull())
      problem_ = "The picture " + file + " cannot be read: it is damaged";
    setMouseTracking(true);
    setMinimumSize(160, 120);
    settle_.setSingleShot(true);
    settle_.setInterval(80);
    QObject::connect(&settle_, &QTimer::timeout, this, [this] { rescale(); });
  }

  bool readable() const { return problem_.isEmpty(); }
  QSize fullSize() const { return readable() ? full_ : QSize(); }
  const QString& problem() const { return problem_; }
  QImage decode(QSize size) const {
    QImageReader reader(file_);
    // A 4K picture is bigger than the reader's default allocation limit.
    reader.setAllocationLimit(512);
    if (size.isValid()) reader.setScaledSize(size);
    return reader.read();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!readable()) {
      p.setPen(Qt::black);
      p.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, problem_);
      return;
    }
    if (scaled_.isNull()) rescale();
    else if (scaled_.size() != wanted() && !settle_.isActive()) settle_.start();
    // Until the new size has settled, the last one stretched.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(target(), scaled_);
  }

  void mouseMoveEvent(QMouseEvent* e) override {
    double fx, fy;
    if (at(e->position(), fx, fy))
      status_->showMessage(QString::fromStdString(owner_.readout(fx, fy)));
    else
      status_->clearMessage();
  }

  void leaveEvent(QEvent*) override { status_->clearMessage(); }

  void mousePressEvent(QMouseEvent* e) override {
    double fx, fy;
    if (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ControlModifier) &&
        !owner_.pointAction().empty() && at(e->position(), fx, fy))
      choose(fx, fy);
  }

  void contextMenuEvent(QContextMenuEvent* e) override {
    double fx, fy;
    const std::string action = owner_.pointAction();
    if (action.empty() || !at(e->pos(), fx, fy)) return;
    QMenu menu(this);
    QAction* chosen = menu.addAction(QString::fromStdString(action));
    if (menu.exec(e->globalPos()) == chosen) choose(fx, fy);
  }

 private:
  void choose(double fx, double fy) {
    status_->showMessage(QString::fromStdString(owner_.pointAction()) + "...");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::processEvents();
    const std::string problem = owner_.pointChosen(fx, fy);
    QApplication::restoreOverrideCursor();
    status_->clearMessage();
    if (!problem.empty())
      QMessageBox::warning(this, QString::fromStdString(owner_.pointAction()), QString::fromStdString(problem));
  }

  QSize wanted() const { return full_.scaled(size() * devicePixelRatioF(), Qt::KeepAspectRatio); }

  void rescale() {
    const qreal ratio = devicePixelRatioF();
    scaled_ = QPixmap::fromImage(decode(wanted()));
    scaled_.setDevicePixelRatio(ratio);
    update();
  }

  QRect target() const {
    const QSize shown = full_.scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
  }

  bool at(QPointF pos, double& fx, double& fy) const {
    if (!readable()) return false;
    const QRect t = target();
    if (!t.contains(pos.toPoint()) || t.width() < 2 || t.height() < 2) return false;
    fx = (pos.x() - t.left()) / t.width();
    fy = (pos.y() - t.top()) / t.height();
    return true;
  }

  QString file_;
  PictureWindowOwner& owner_;
  QStatusBar* status_;
  QSize full_;
  QString problem_;
  QPixmap scaled_;
  QTimer settle_;
};

class PictureWindow : public QMainWindow {
 public:
  PictureWindow(const QString& title, const QString& file, PictureWindowOwner& owner) : owner_(owner) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose, false);
    area_ = new PictureArea(file, owner, statusBar());
    setCentralWidget(area_);
    QMenu* fileMenu = menuBar()->addMenu("&File");
    QAction* save = fileMenu->addAction("Save &As...", this, [this] { saveAs(); });
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    save->setEnabled(area_->readable());
    fileMenu->addSeparator();
    QAction* close = fileMenu->addAction("&Close", this, [this] { this->close(); });
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    fileMenu->addAction("Close All &Plot Windows", this, [this] { owner_.closeAll(); });
    QMenu* editMenu = menuBar()->addMenu("&Edit");
    QAction* copy = editMenu->addAction("&Copy Picture", this, [this] {
      QApplication::clipboard()->setImage(area_->decode(QSize()));
    });
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    copy->setEnabled(area_->readable());
  }

  const PictureArea* area() const { return area_; }

 private:
  void saveAs() {
    const QString file = QFileDialog::getSaveFileName(
        this, "Save Picture As", lastDir_,
        "PNG picture (*.png);;PDF document (*.pdf);;PostScript (*.ps);;JPG picture (*.jpg)");
    if (file.isEmpty()) return;
    lastDir_ = QFileInfo(file).absolutePath();
    const std::string also = owner_.replaces(file.toStdString());
    if (!also.empty() &&
        QMessageBox::question(this, "Save As", QString::fromStdString(also) + "\nSave anyway?") != QMessageBox::Yes)
      return;
    const std::string problem = owner_.save(file.toStdString());
    if (!problem.empty()) QMessageBox::warning(this, "Save As", QString::fromStdString(problem));
  }

  PictureWindowOwner& owner_;
  PictureArea* area_;
  QString lastDir_;
};

}  // namespace

int RunPictureWindow(const std::string& title, const std::string& picture, PictureWindowOwner& owner,
                     std::string& problem) {
  if (!IOsDisplayAvailable(problem)) return 1;
  static int argc = 1;
  static char name[] = "tidecharter-view";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);

  PictureWindow window(QString::fromStdString(title), QString::fromStdString(picture), owner);
  if (!window.area()->problem().isEmpty())
    std::fprintf(stderr, "tidecharter-view: %s\n", window.area()->problem().toLocal8Bit().constData());

  // Asked to end: the window closes as if by the user.
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&] {
      char byte;
      [[maybe_unused]] const ssize_t got = ::read(signalPipe[1], &byte, 1);
      window.close();
      app.quit();
    });
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGTERM, SIGHUP, SIGINT}) sigaction(s, &action, nullptr);
  }

  const QSize size = window.area()->readable() ? window.area()->fullSize() : QSize(800, 600);
  const int extra = window.menuBar()->sizeHint().height() + window.statusBar()->sizeHint().height();
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect free = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
  const ScreenArea placed =
      owner.place({free.x(), free.y(), free.width(), free.height()}, size.width(), size.height(), extra);
  window.resize(placed.width, placed.height);
  window.move(placed.x, placed.y);
  // Qt may not notice a local X server that went away while nothing is
  // drawn; the window must not outlive it.
  QTimer displayCheck;
  QObject::connect(&displayCheck, &QTimer::timeout, &app, [&] {
    std::string gone;
    if (!IOsDisplayAvailable(gone)) {
      window.close();
      app.quit();
    }
  });
  displayCheck.start(5000);

  shownBy = &owner;
  static const bool atExit = std::atexit(windowGone) == 0;
  (void)atExit;
  qtHandler = qInstallMessageHandler(lastWords);
  window.show();
  QTimer::singleShot(0, &app, [&] { owner.shown(); });
  const int status = app.exec() == 0 ? 0 : 1;
  windowGone();
  return status;
}

std::string ConvertPicture(const std::string& from, const std::string& to, const std::string& format) {
  QImageReader reader(QString::fromStdString(from));
  reader.setAllocationLimit(512);
  const QImage image = reader.read();
  if (image.isNull()) return "cannot read " + from + ": " + reader.errorString().toStdString();
  QImageWriter writer(QString::fromStdString(to));
  writer.setFormat(QByteArray::fromStdString(format));
  writer.setQuality(90);
  if (!writer.write(image)) return "cannot write " + to + ": " + writer.errorString().toStdString();
  return "";
}

}  // namespace toolkit
