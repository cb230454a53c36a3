// tidecharter-view DIR            shows the plot tcferret.bat drew into DIR
// tidecharter-view --save FILE DIR saves it as FILE, with FILE.jnl beside
//
// The window is listed in the plot windows' list (tmp/tcferret_windows.pid)
// for tcKillCygwinX.bat; closing it removes DIR.
#include <sys/file.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "toolkit/picture_window.h"
#include "view/plot_view.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

// Changes to the windows' list and the last window's place are made under
// the lock that the batch scripts take for the list.
class ListLock {
 public:
  explicit ListLock(const fs::path& tmp)
      : fd_(open((tmp / ".tcferret_windows.lock").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)) {
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~ListLock() {
    if (fd_ >= 0) close(fd_);
  }

 private:
  int fd_;
};

void listwindow(const fs::path& tmp, bool add) {
  ListLock lock(tmp);
  const fs::path list = tmp / "tcferret_windows.pid";
  const std::string me = std::to_string(getpid());
  if (add) {
    std::ofstream(list.string(), std::ios::app) << me << '\n';
    return;
  }
  std::vector<std::string> kept;
  for (const std::string& line : readlines(list.string()))
    if (line != me) kept.push_back(line);
  if (!fs::exists(list)) return;
  std::error_code ignored;
  if (kept.empty()) {
    fs::remove(list, ignored);
    return;
  }
  const fs::path partial = tmp / ("tcferret_windows.pid." + me);
  {
    std::ofstream out(partial.string());
    for (const std::string& line : kept) out << line << '\n';
  }
  fs::rename(partial, list, ignored);
}

class PlotWindow : public toolkit::PictureWindowOwner {
 public:
  PlotWindow(const PlotFiles& files, const fs::path& tmp) : files_(files), tmp_(tmp) {
    const std::vector<std::string> commands = readlines(files.commands);
    kind_ = plotkind(commands);
    title_ = plottitle(commands);
    axes_ = readaxes(files.axes);
  }

  const std::string& title() const { return title_; }

  toolkit::ScreenArea place(const toolkit::ScreenArea& area, int w, int h, int extra) override {
    ListLock lock(tmp_);
    toolkit::ScreenArea last;
    std::istringstream in(readlines((tmp_ / ".tcferret_last_window").string()).empty()
                              ? ""
                              : readlines((tmp_ / ".tcferret_last_window").string()).front());
    if (!(in >> last.x >> last.y >> last.width >> last.height)) last = {};
    const toolkit::ScreenArea next = cascade(area, last, w, h, extra);
    std::ofstream((tmp_ / ".tcferret_last_window").string())
        << next.x << ' ' << next.y << ' ' << next.width << ' ' << next.height << '\n';
    return next;
  }

  std::string readout(double fx, double fy) override { return readouttext(kind_, axes_, fx, fy); }
  std::string save(const std::string& file) override { return saveplot(files_, file); }
  std::string pointAction() override { return ""; }
  void pointChosen(double, double) override {}

  void closeAll() override {
    const std::string script = (tmp_.parent_path() / "bin" / "tcKillCygwinX.bat").string();
    char* argv[] = {const_cast<char*>("/bin/sh"), const_cast<char*>(script.c_str()), nullptr};
    pid_t pid;
    posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ);
  }

  void shown() override { std::ofstream((fs::path(files_.dir) / "shown").string()) << "shown\n"; }

  void closing() override {
    listwindow(tmp_, false);
    std::error_code ignored;
    fs::remove_all(files_.dir, ignored);
  }

 private:
  PlotFiles files_;
  fs::path tmp_;
  PlotKind kind_;
  std::string title_;
  PlotAxes axes_;
};

int usage() {
  std::fputs("usage: tidecharter-view [--save FILE] DIR\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string save;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--save" && i + 1 < argc)
      save = argv[++i];
    else if (!a.empty() && a[0] != '-' && dir.empty())
      dir = a;
    else
      return usage();
  }
  if (dir.empty()) return usage();
  const PlotFiles files = plotfiles(dir);
  if (!save.empty()) {
    const std::string problem = saveplot(files, save);
    if (problem.empty()) return 0;
    std::fprintf(stderr, "tidecharter-view: %s\n", problem.c_str());
    return 1;
  }

  // The window's directory lies in the drive's tmp, where the list is.
  const fs::path tmp = fs::absolute(dir).lexically_normal().parent_path();
  // Its own process group: tcKillCygwinX.bat ends the group.
  setsid();
  PlotWindow window(files, tmp);
  listwindow(tmp, true);
  std::string problem;
  const int status = toolkit::RunPictureWindow(window.title(), files.picture, window, problem);
  if (status != 0) {
    window.closing();
    std::fprintf(stderr, "tidecharter-view: %s\n", problem.c_str());
  }
  return status;
}
