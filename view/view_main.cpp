// tidecharter-view DIR             shows the plot tcferret.bat drew into DIR
// tidecharter-view --save FILE DIR saves it as FILE, with FILE.jnl beside
// tidecharter-view --readout FX FY DIR  prints the status bar's text for
//                  fractions FX, FY of the picture from its top left
// tidecharter-view --ready         starts the plot windows' process ahead of
//                  the first window, and returns at once
//
// One process holds the plot windows of a drive root ($TIDECHARTER_DRIVE_C,
// never taken from DIR) and display: `tidecharter-view DIR` hands DIR to
// it, starting it when none runs, and returns once the window is on the
// screen (status 0) or could not open (status 1, and why on stderr). That
// process is listed in the plot windows' list (tmp/tcferret_windows.pid)
// for tcKillCygwinX.bat, and ends when its last window closes. Closing a
// window removes DIR when DIR is one that tcferret.bat made (ownedview).
#include <sys/file.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "toolkit/picture_window.h"
#include "toolkit/toolkit.h"
#include "view/plot_view.h"
#include "view/viewer.h"
#include "view/viewer_channel.h"

namespace fs = std::filesystem;

namespace {

// Changes to the windows' list are made under the lock that the batch
// scripts take for it.
void listviewer(const std::string& tmp, bool add) {
  const int lock = open((tmp + "/.tcferret_windows.lock").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (lock >= 0) flock(lock, LOCK_EX);
  const std::string list = tmp + "/tcferret_windows.pid";
  const std::string me = std::to_string(getpid());
  if (add) {
    std::ofstream(list, std::ios::app) << me << '\n';
  } else if (fs::exists(list)) {
    std::vector<std::string> kept;
    for (const std::string& line : readlines(list))
      if (line != me) kept.push_back(line);
    std::error_code ignored;
    if (kept.empty()) {
      fs::remove(list, ignored);
    } else {
      const std::string partial = list + "." + me;
      {
        std::ofstream out(partial);
        for (const std::string& line : kept) out << line << '\n';
      }
      fs::rename(partial, list, ignored);
    }
  }
  if (lock >= 0) close(lock);
}

// A connection of a `tidecharter-view DIR` to the windows' process.
struct Asker {
  Viewer* viewer;
  int fd;
  int watch = 0;
  std::string heard;
};

void answer(int fd, const std::string& text) {
  writeline(fd, text);
  close(fd);
}

void heard(void* data) {
  auto* asker = static_cast<Asker*>(data);
  char buffer[4096];
  const ssize_t got = read(asker->fd, buffer, sizeof buffer);
  if (got > 0) asker->heard.append(buffer, static_cast<size_t>(got));
  const auto end = asker->heard.find('\n');
  if (got > 0 && end == std::string::npos && asker->heard.size() < 65536) return;
  toolkit::Unwatch(asker->watch);
  std::unique_ptr<Asker> done(asker);
  if (end == std::string::npos || asker->heard.compare(0, 5, "open ") != 0) {
    close(asker->fd);
    return;
  }
  const int fd = asker->fd;
  asker->viewer->open(asker->heard.substr(5, end - 5), [fd](const std::string& text) { answer(fd, text); });
}

struct Listener {
  Viewer* viewer;
  int fd;
};

void accepted(void* data) {
  auto* listener = static_cast<Listener*>(data);
  const int fd = accept4(listener->fd, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  if (!sameuser(fd)) {
    close(fd);
    return;
  }
  auto* asker = new Asker{listener->viewer, fd, 0, ""};
  asker->watch = toolkit::Watch(fd, heard, asker);
}

// Started ahead of its windows, the process waits this long for one.
constexpr int kReadyMs = 10 * 60 * 1000;

// The windows' process: `first` is its first window's directory, whose
// answer goes to `ready`; later ones come through `listening` (-1: this
// process serves its own window alone). Without a first window it ends
// after kReadyMs unless one came.
int serve(const std::string& first, int ready, int listening, const ViewerChannel& channel) {
  std::string problem;
  if (!toolkit::StartPictureWindows(problem)) {
    writeline(ready, "failed " + problem);
    return 1;
  }
  Viewer viewer(viewerpaths());
  listviewer(viewer.paths().tmp, true);
  Listener listener{&viewer, listening};
  if (listening >= 0) toolkit::Watch(listening, accepted, &listener);
  toolkit::OnTermination([](void* v) { static_cast<Viewer*>(v)->closeall(); }, &viewer);
  if (first.empty()) {
    answer(ready, "ready");
    toolkit::After(kReadyMs, [](void* v) {
      if (static_cast<Viewer*>(v)->empty()) toolkit::QuitPictureWindows();
    }, &viewer);
  } else {
    viewer.open(first, [ready](const std::string& text) { answer(ready, text); });
  }
  toolkit::RunPictureWindows();
  if (listening >= 0) {
    const int lock = lockviewer(channel);
    unlistenviewer(channel, listening);
    if (lock >= 0) close(lock);
  }
  listviewer(viewer.paths().tmp, false);
  return 0;
}

// Starts the windows' process for `dir` in a session of its own and waits
// for its answer. The start's `lock` is let go once the process exists:
// later requests then wait in the listening socket's queue.
int startviewer(const std::string& dir, int listening, int lock, const ViewerChannel& channel) {
  int pipe[2];
  if (pipe2(pipe, O_CLOEXEC) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    if (lock >= 0) close(lock);
    close(pipe[0]);
    setsid();
    // Its output goes to its own log, not to whoever started it.
    const std::string log = viewerpaths().tmp + "/tidecharter-view.log";
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (in >= 0) dup2(in, 0);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    std::_Exit(serve(dir, pipe[1], listening, channel));
  }
  close(pipe[1]);
  if (listening >= 0) close(listening);
  if (lock >= 0) close(lock);
  std::string said;
  const bool answered = child > 0 && readline(pipe[0], said, 120);
  close(pipe[0]);
  if (answered && (said == "shown" || said == "ready")) return 0;
  std::fprintf(stderr, "tidecharter-view: %s\n",
               answered && said.rfind("failed ", 0) == 0 ? said.substr(7).c_str() : "the plot window did not open");
  return 1;
}

// Hands `dir` to the windows' process of this drive root and display,
// starting one where none answers; with no `dir`, only starts one.
int show(const std::string& dir) {
  const std::string absolute = dir.empty() ? "" : fs::absolute(dir).lexically_normal().string();
  const char* display = std::getenv("DISPLAY");
  ViewerChannel channel;
  std::string problem;
  if (!openchannel(IOsDriveRoot(), display ? display : "", channel, problem)) {
    if (absolute.empty()) return 1;
    // Nothing shared can be trusted: a process of this window's own.
    std::fprintf(stderr, "tidecharter-view: %s: the window has a process of its own\n", problem.c_str());
    return startviewer(absolute, -1, -1, channel);
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int lock = lockviewer(channel);
    int fd = connectviewer(channel, problem);
    if (fd < 0 && !problem.empty()) {
      if (lock >= 0) close(lock);
      if (absolute.empty()) return 1;
      std::fprintf(stderr, "tidecharter-view: %s: the window has a process of its own\n", problem.c_str());
      return startviewer(absolute, -1, -1, channel);
    }
    if (fd < 0) return startviewer(absolute, listenviewer(channel, problem), lock, channel);
    if (lock >= 0) close(lock);
    if (absolute.empty()) {
      close(fd);
      return 0;
    }
    std::string said;
    // A process that was ending as this connected gives no answer: the
    // next attempt starts another.
    if (writeline(fd, "open " + absolute) && readline(fd, said, 120)) {
      close(fd);
      if (said == "shown") return 0;
      std::fprintf(stderr, "tidecharter-view: %s\n", said.rfind("failed ", 0) == 0 ? said.substr(7).c_str() : said.c_str());
      return 1;
    }
    close(fd);
  }
  std::fputs("tidecharter-view: the plot windows' process did not answer\n", stderr);
  return 1;
}

int usage() {
  std::fputs("usage: tidecharter-view [--save FILE | --readout FX FY] DIR\n"
             "       tidecharter-view --ready\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader gone away is told by the write's error, not by a signal.
  signal(SIGPIPE, SIG_IGN);
  if (argc == 2 && std::string(argv[1]) == "--ready") return show("");
  std::string save;
  std::string dir;
  double fx = -1, fy = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--save" && i + 1 < argc) {
      save = argv[++i];
    } else if (a == "--readout" && i + 2 < argc) {
      fx = std::atof(argv[++i]);
      fy = std::atof(argv[++i]);
    } else if (!a.empty() && a[0] != '-' && dir.empty()) {
      dir = a;
    } else {
      return usage();
    }
  }
  if (dir.empty()) return usage();
  const PlotFiles files = plotfiles(dir);
  if (fx >= 0) {
    std::printf("%s\n", readouttext(plotkind(readlines(files.commands)), readaxes(files.axes), fx, fy).c_str());
    return 0;
  }
  if (!save.empty()) {
    const std::string problem = saveplot(files, save, SavedCommands::Beside, viewerpaths().bin);
    if (problem.empty()) return 0;
    std::fprintf(stderr, "tidecharter-view: %s\n", problem.c_str());
    return 1;
  }
  return show(dir);
}
