#include "toolkit/picture_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QRadioButton>
#include <QScreen>
#include <QSocketNotifier>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <csignal>
#include <map>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

#include "toolkit/toolkit.h"

namespace toolkit {
namespace {

QApplication* application = nullptr;
int signalPipe[2] = {-1, -1};
void (*terminationAsked)(void*) = nullptr;
void* terminationData = nullptr;
std::map<int, std::unique_ptr<QObject>> watches;
int nextId = 1;
QtMessageHandler qtHandler = nullptr;

void noteSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

void closeEveryWindow();

// Qt ends the process when its display goes away (by exit, or by abort
// after a fatal message): the owners still tidy up first.
void lastWords(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) closeEveryWindow();
  if (qtHandler) qtHandler(type, context, text);
}

QString qs(const std::string& text) { return QString::fromStdString(text); }

// Saving starts in the folder saved to last (by any window), else the
// pictures' folder or home.
QString lastFolder;

QString savefolder() {
  if (!lastFolder.isEmpty()) return lastFolder;
  const QString home = QDir::homePath();
  return QDir(home + "/Pictures").exists() ? home + "/Pictures" : home;
}

void savedin(const QString& file) { lastFolder = QFileInfo(file).absolutePath(); }

}  // namespace

// The picture, scaled to the area once per size: the owner renders it at
// the area's size, so most pictures are drawn as they come.
class PictureArea : public QWidget {
 public:
  PictureArea(PictureWindowOwner& owner, QStatusBar* status) : owner_(owner), status_(status) {
    setMouseTracking(true);
    setMinimumSize(160, 120);
    // A click on the picture takes the keys back from the speed box.
    setFocusPolicy(Qt::ClickFocus);
    settle_.setSingleShot(true);
    settle_.setInterval(80);
    QObject::connect(&settle_, &QTimer::timeout, this, [this] {
      const QSize pixels = size() * devicePixelRatioF();
      owner_.resized(pixels.width(), pixels.height());
      update();
    });
  }

  bool set(const std::string& encoded) {
    QImage image;
    if (!image.loadFromData(reinterpret_cast<const uchar*>(encoded.data()), static_cast<int>(encoded.size())))
      return false;
    image_ = std::move(image);
    text_.clear();
    scaled_ = QPixmap();
    update();
    return true;
  }

  void settext(const QString& text) {
    text_ = text;
    image_ = QImage();
    scaled_ = QPixmap();
    update();
  }

  bool readable() const { return !image_.isNull(); }
  const QImage& image() const { return image_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (image_.isNull()) {
      p.setPen(Qt::black);
      p.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, text_);
      return;
    }
    const QRect t = target();
    const QSize pixels = t.size() * devicePixelRatioF();
    if (scaled_.isNull() || scaled_.size() != pixels) {
      scaled_ = QPixmap::fromImage(image_.size() == pixels
                                       ? image_
                                       : image_.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
      scaled_.setDevicePixelRatio(devicePixelRatioF());
    }
    p.drawPixmap(t.topLeft(), scaled_);
  }

  void resizeEvent(QResizeEvent*) override { settle_.start(); }

  void mouseMoveEvent(QMouseEvent* e) override {
    double fx, fy;
    if (at(e->position(), fx, fy))
      status_->showMessage(qs(owner_.readout(fx, fy)));
  }

  void mousePressEvent(QMouseEvent* e) override {
    double fx, fy;
    if (e->button() != Qt::LeftButton || !(e->modifiers() & Qt::ControlModifier) || !at(e->position(), fx, fy))
      return;
    if (owner_.pointAction().empty()) status_->showMessage(qs(owner_.noPointAction()));
    else choose(fx, fy);
  }

  void contextMenuEvent(QContextMenuEvent* e) override {
    double fx, fy;
    const std::string action = owner_.pointAction();
    if (action.empty() || !at(e->pos(), fx, fy)) return;
    QMenu menu(this);
    QAction* chosen = menu.addAction(qs(action));
    if (menu.exec(e->globalPos()) == chosen) choose(fx, fy);
  }

 private:
  void choose(double fx, double fy) {
    status_->showMessage(qs(owner_.pointAction()) + "...");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::processEvents();
    const std::string problem = owner_.pointChosen(fx, fy);
    QApplication::restoreOverrideCursor();
    status_->clearMessage();
    if (!problem.empty()) QMessageBox::warning(this, qs(owner_.pointAction()), qs(problem));
  }

  QRect target() const {
    const QSize shown = image_.size().scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
  }

  bool at(QPointF pos, double& fx, double& fy) const {
    if (image_.isNull()) return false;
    const QRect t = target();
    if (!t.contains(pos.toPoint()) || t.width() < 2 || t.height() < 2) return false;
    fx = (pos.x() - t.left()) / t.width();
    fy = (pos.y() - t.top()) / t.height();
    return true;
  }

  PictureWindowOwner& owner_;
  QStatusBar* status_;
  QImage image_;
  QString text_;
  QPixmap scaled_;
  QTimer settle_;
};

class PictureWindow : public QMainWindow {
 public:
  PictureWindow(const QString& title, PictureWindowOwner& owner) : owner_(owner) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose, true);
    area_ = new PictureArea(owner, statusBar());
    setCentralWidget(area_);

    QMenu* fileMenu = menuBar()->addMenu("&File");
    save_ = fileMenu->addAction("Save &As...", this, [this] { saveAs(); });
    save_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    animation_ = fileMenu->addAction("Save A&nimation...", this, [this] { owner_.saveAnimation(); });
    data_ = fileMenu->addAction("Save &Data...", this, [this] { owner_.saveData(); });
    fileMenu->addSeparator();
    QAction* close = fileMenu->addAction("&Close", this, [this] { this->close(); });
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    fileMenu->addAction("Close All &Plot Windows", this, [this] { owner_.closeAll(); });
    QMenu* editMenu = menuBar()->addMenu("&Edit");
    copy_ = editMenu->addAction("&Copy Picture", this, [this] { QApplication::clipboard()->setImage(area_->image()); });
    copy_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));

    QToolBar* bar = addToolBar("Months");
    bar->setMovable(false);
    bar->setFocusPolicy(Qt::NoFocus);
    const struct {
      QStyle::StandardPixmap icon;
      const char* text;
      Step step;
      QKeySequence key;
      bool onBar;
    } steps[] = {
        {QStyle::SP_MediaSeekBackward, "Previous Month (Left)", Step::Previous, Qt::Key_Left, true},
        {QStyle::SP_MediaSeekForward, "Next Month (Right)", Step::Next, Qt::Key_Right, true},
        {QStyle::SP_MediaSkipBackward, "A Year Back (Page Up)", Step::YearBack, Qt::Key_PageUp, false},
        {QStyle::SP_MediaSkipForward, "A Year Forward (Page Down)", Step::YearForward, Qt::Key_PageDown, false},
        {QStyle::SP_MediaSkipBackward, "First Month (Home)", Step::First, Qt::Key_Home, false},
        {QStyle::SP_MediaSkipForward, "Last Month (End)", Step::Last, Qt::Key_End, false},
    };
    for (const auto& s : steps) {
      QAction* action = new QAction(style()->standardIcon(s.icon), s.text, this);
      action->setShortcut(s.key);
      const Step step = s.step;
      connect(action, &QAction::triggered, this, [this, step] {
        if (steppable_) owner_.step(step);
        else statusBar()->showMessage(reason_);
      });
      addAction(action);
      if (s.onBar) {
        bar->addAction(action);
        stepButtons_.push_back(action);
      }
    }
    play_ = new QAction(style()->standardIcon(QStyle::SP_MediaPlay), "Play (Space)", this);
    play_->setShortcut(Qt::Key_Space);
    connect(play_, &QAction::triggered, this, [this] {
      if (!steppable_) return statusBar()->showMessage(reason_);
      setplaying(!playing_);
      owner_.play(playing_, speed_->value());
    });
    addAction(play_);
    bar->addAction(play_);
    speed_ = new QSpinBox(bar);
    speed_->setRange(1, 10);
    speed_->setValue(2);
    speed_->setSuffix(" frames/s");
    speed_->setFocusPolicy(Qt::ClickFocus);
    speed_->setToolTip("Play speed");
    connect(speed_, &QSpinBox::valueChanged, this, [this](int value) {
      if (playing_) owner_.play(true, value);
    });
    // The speed set, the keys step and play again.
    connect(speed_, &QSpinBox::editingFinished, this, [this] { area_->setFocus(); });
    bar->addWidget(speed_);
  }

  PictureArea* area() { return area_; }
  PictureWindowOwner& owner() { return owner_; }

  void setsteppable(bool on, const QString& reason) {
    steppable_ = on;
    reason_ = reason;
    for (QAction* a : stepButtons_) a->setEnabled(on);
    play_->setEnabled(on);
    speed_->setEnabled(on);
    animation_->setEnabled(on);
  }

  void setplaying(bool on) {
    playing_ = on;
    play_->setIcon(style()->standardIcon(on ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    play_->setText(on ? "Pause (Space)" : "Play (Space)");
  }

  void setdatasaving(bool on, const QString& reason) {
    data_->setEnabled(on);
    data_->setText(on ? "Save &Data..." : "Save Data (" + reason + ")");
  }

  void pictureset() {
    save_->setEnabled(area_->readable());
    copy_->setEnabled(area_->readable());
  }

  void gone() {
    if (gone_) return;
    gone_ = true;
    owner_.closing();
  }

 protected:
  void closeEvent(QCloseEvent* e) override {
    QMainWindow::closeEvent(e);
    gone();
  }

  void showEvent(QShowEvent* e) override {
    QMainWindow::showEvent(e);
    if (!announced_) {
      announced_ = true;
      // Once the first frame is painted.
      QTimer::singleShot(0, this, [this] { owner_.shown(); });
    }
  }

 private:
  // The commands go beside the picture unless unticked.
  void saveAs() {
    static bool withCommands = true;
    QFileDialog dialog(this, "Save Picture As", savefolder() + "/" + qs(owner_.suggestedName()) + ".png",
                       "PNG picture (*.png);;PDF document (*.pdf);;PostScript (*.ps);;JPG picture (*.jpg)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* commands = new QCheckBox("Save the Ferret commands beside it (.jnl), to draw it again", &dialog);
    commands->setChecked(withCommands);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
      grid->addWidget(commands, grid->rowCount(), 0, 1, -1);
    // The type chosen names the file.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
      const QString suffix = filter.section("*.", 1).section(')', 0, 0);
      dialog.setDefaultSuffix(suffix);
    });
    dialog.setDefaultSuffix("png");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString file = dialog.selectedFiles().first();
    savedin(file);
    withCommands = commands->isChecked();
    const std::string also = withCommands ? owner_.replaces(file.toStdString()) : "";
    if (!also.empty() &&
        QMessageBox::question(this, "Save As", qs(also) + "\nSave anyway?") != QMessageBox::Yes)
      return;
    const std::string problem = owner_.save(file.toStdString(), withCommands);
    if (!problem.empty()) QMessageBox::warning(this, "Save As", qs(problem));
  }

  PictureWindowOwner& owner_;
  PictureArea* area_;
  QAction* save_;
  QAction* copy_;
  QAction* animation_;
  QAction* data_;
  QAction* play_;
  QSpinBox* speed_;
  std::vector<QAction*> stepButtons_;
  bool steppable_ = false;
  bool playing_ = false;
  bool announced_ = false;
  bool gone_ = false;
  QString reason_;
};

namespace {

void closeEveryWindow() {
  if (!application) return;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* window = dynamic_cast<PictureWindow*>(w)) window->gone();
}

}  // namespace

bool StartPictureWindows(std::string& problem) {
  if (application) return true;
  if (!IOsDisplayAvailable(problem)) return false;
  static int argc = 1;
  static char name[] = "tidecharter-view";
  static char* argv[] = {name, nullptr};
  application = new QApplication(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  qtHandler = qInstallMessageHandler(lastWords);
  static const bool atExit = std::atexit(closeEveryWindow) == 0;
  (void)atExit;
  // Qt may not notice a local X server that went away while nothing is
  // drawn; no window may outlive it.
  auto* displayCheck = new QTimer(application);
  QObject::connect(displayCheck, &QTimer::timeout, application, [] {
    std::string gone;
    if (!IOsDisplayAvailable(gone)) {
      closeEveryWindow();
      QApplication::exit(0);
    }
  });
  displayCheck->start(5000);
  return true;
}

int RunPictureWindows() { return application ? QApplication::exec() : 1; }

void QuitPictureWindows() {
  if (application) QApplication::exit(0);
}

PictureWindow* OpenPictureWindow(PictureWindowOwner& owner, const std::string& title, int pictureWidth,
                                 int pictureHeight, int& areaWidth, int& areaHeight) {
  auto* window = new PictureWindow(qs(title), owner);
  const int extra = window->menuBar()->sizeHint().height() + window->statusBar()->sizeHint().height() +
                    window->findChild<QToolBar*>()->sizeHint().height();
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect free = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
  const ScreenArea placed = owner.place({free.x(), free.y(), free.width(), free.height()},
                                        pictureWidth > 0 ? pictureWidth : 800, pictureHeight > 0 ? pictureHeight : 600,
                                        extra);
  window->resize(placed.width, placed.height);
  window->move(placed.x, placed.y);
  const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
  areaWidth = static_cast<int>(placed.width * ratio);
  areaHeight = static_cast<int>((placed.height - extra) * ratio);
  return window;
}

void ShowPictureWindow(PictureWindow* window) {
  window->show();
  window->raise();
}

void ClosePictureWindow(PictureWindow* window) { window->close(); }

bool SetPicture(PictureWindow* window, const std::string& encoded) {
  const bool set = window->area()->set(encoded);
  window->pictureset();
  return set;
}

void SetPictureText(PictureWindow* window, const std::string& text) {
  window->area()->settext(qs(text));
  window->pictureset();
}

void SetTitle(PictureWindow* window, const std::string& title) { window->setWindowTitle(qs(title)); }

void SetStatus(PictureWindow* window, const std::string& text) { window->statusBar()->showMessage(qs(text)); }

void SetSteppable(PictureWindow* window, bool steppable, const std::string& reason) {
  window->setsteppable(steppable, qs(reason));
}

void SetPlaying(PictureWindow* window, bool playing) { window->setplaying(playing); }

void SetDataSaving(PictureWindow* window, bool offered, const std::string& reason) {
  window->setdatasaving(offered, qs(reason));
}

bool AskDataFile(PictureWindow* window, const std::string& name, std::string& file) {
  QFileDialog files(window, "Save Data As", savefolder() + "/" + qs(name) + ".csv",
                    "CSV table (*.csv);;NetCDF file (*.nc)");
  files.setAcceptMode(QFileDialog::AcceptSave);
  files.setOption(QFileDialog::DontUseNativeDialog);
  files.setDefaultSuffix("csv");
  QObject::connect(&files, &QFileDialog::filterSelected, &files, [&files](const QString& filter) {
    files.setDefaultSuffix(filter.section("*.", 1).section(')', 0, 0));
  });
  if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty()) return false;
  file = files.selectedFiles().first().toStdString();
  savedin(files.selectedFiles().first());
  return true;
}

void SetBusy(PictureWindow* window, bool busy) {
  if (busy) window->setCursor(Qt::BusyCursor);
  else window->unsetCursor();
}

bool AskAnimation(PictureWindow* window, AnimationChoice& choice) {
  QDialog dialog(window);
  dialog.setWindowTitle("Save Animation");
  auto* form = new QFormLayout(&dialog);
  auto* from = new QComboBox(&dialog);
  auto* to = new QComboBox(&dialog);
  for (const std::string& m : choice.months) {
    from->addItem(qs(m));
    to->addItem(qs(m));
  }
  from->setCurrentIndex(choice.first);
  to->setCurrentIndex(choice.last);
  auto* speed = new QSpinBox(&dialog);
  speed->setRange(1, 10);
  speed->setValue(choice.speed);
  speed->setSuffix(" frames/s");
  auto* gif = new QRadioButton("GIF", &dialog);
  auto* mp4 = new QRadioButton("MP4 video", &dialog);
  (choice.mp4 ? mp4 : gif)->setChecked(true);
  auto* formats = new QWidget(&dialog);
  auto* formatRow = new QHBoxLayout(formats);
  formatRow->setContentsMargins(0, 0, 0, 0);
  formatRow->addWidget(gif);
  formatRow->addWidget(mp4);
  form->addRow("From", from);
  form->addRow("To", to);
  form->addRow("Speed", speed);
  form->addRow("Format", formats);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, &dialog);
  form->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    if (from->currentIndex() > to->currentIndex()) {
      QMessageBox::warning(&dialog, "Save Animation", "The first month comes after the last.");
      return;
    }
    dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) return false;
  choice.first = from->currentIndex();
  choice.last = to->currentIndex();
  choice.speed = speed->value();
  choice.mp4 = mp4->isChecked();
  const QString suffix = choice.mp4 ? "mp4" : "gif";
  const QString name = choice.name ? qs(choice.name(choice, choice.nameData)) + "." + suffix : QString();
  QFileDialog files(window, "Save Animation As", savefolder() + "/" + name,
                    choice.mp4 ? "MP4 video (*.mp4)" : "GIF animation (*.gif)");
  files.setAcceptMode(QFileDialog::AcceptSave);
  files.setOption(QFileDialog::DontUseNativeDialog);
  files.setDefaultSuffix(suffix);
  if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty()) return false;
  choice.file = files.selectedFiles().first().toStdString();
  savedin(files.selectedFiles().first());
  return true;
}

bool AskYesNo(PictureWindow* window, const std::string& title, const std::string& text) {
  return QMessageBox::question(window, qs(title), qs(text)) == QMessageBox::Yes;
}

void TellProblem(PictureWindow* window, const std::string& title, const std::string& text) {
  QMessageBox::warning(window, qs(title), qs(text));
}

int Watch(int fd, void (*ready)(void*), void* data) {
  auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, [ready, data] { ready(data); });
  const int id = nextId++;
  watches[id] = std::move(notifier);
  return id;
}

void Unwatch(int watch) {
  auto at = watches.find(watch);
  if (at == watches.end()) return;
  // Quiet before its descriptor is closed; not deleted inside its own
  // signal.
  if (auto* notifier = qobject_cast<QSocketNotifier*>(at->second.get())) notifier->setEnabled(false);
  if (auto* timer = qobject_cast<QTimer*>(at->second.get())) timer->stop();
  at->second.release()->deleteLater();
  watches.erase(at);
}

int After(int ms, void (*due)(void*), void* data) {
  auto timer = std::make_unique<QTimer>();
  timer->setSingleShot(true);
  const int id = nextId++;
  QObject::connect(timer.get(), &QTimer::timeout, [id, due, data] {
    Cancel(id);
    due(data);
  });
  timer->start(ms);
  watches[id] = std::move(timer);
  return id;
}

void Cancel(int timer) { Unwatch(timer); }

void OnTermination(void (*asked)(void*), void* data) {
  terminationAsked = asked;
  terminationData = data;
  if (signalPipe[0] >= 0 || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
  Watch(signalPipe[1], [](void*) {
    char byte;
    [[maybe_unused]] const ssize_t got = ::read(signalPipe[1], &byte, 1);
    if (terminationAsked) terminationAsked(terminationData);
  }, nullptr);
  struct sigaction action {};
  action.sa_handler = noteSignal;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGTERM, SIGHUP, SIGINT}) sigaction(s, &action, nullptr);
}

}  // namespace toolkit
