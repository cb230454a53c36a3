// tidecharter-view DIR            shows the plot tcferret.bat drew into DIR
// tidecharter-view --save FILE DIR saves it as FILE, with FILE.jnl beside
// tidecharter-view --readout FX FY DIR  prints the status bar's text for
//                  fractions FX, FY of the picture from its top left
//
// The window is listed in the plot windows' list (tmp/tcferret_windows.pid)
// for tcKillCygwinX.bat; closing it removes DIR when DIR is one that
// tcferret.bat made for it (ownedview). The drive root is the one the
// viewer was started for ($TIDECHARTER_DRIVE_C), never taken from DIR.
#include <sys/file.h>
#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "toolkit/picture_window.h"
#include "toolkit/toolkit.h"
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

// Whether a viewer other than this one is listed and still running: the
// cascade starts afresh once every window was closed.
bool otherwindows(const fs::path& tmp) {
  for (const std::string& line : readlines((tmp / "tcferret_windows.pid").string())) {
    const pid_t pid = static_cast<pid_t>(std::atol(line.c_str()));
    if (pid > 0 && pid != getpid() && (kill(pid, 0) == 0 || errno == EPERM)) return true;
  }
  return false;
}

class PlotWindow : public toolkit::PictureWindowOwner {
 public:
  PlotWindow(const PlotFiles& files, const fs::path& tmp, bool owned)
      : files_(files), tmp_(tmp), owned_(owned) {
    const std::vector<std::string> commands = readlines(files.commands);
    kind_ = plotkind(commands);
    title_ = plottitle(commands);
    axes_ = readaxes(files.axes);
  }

  const std::string& title() const { return title_; }

  toolkit::ScreenArea place(const toolkit::ScreenArea& area, int w, int h, int extra) override {
    // The last window's place, kept beside the windows' list.
    ListLock lock(tmp_);
    const std::string record = (tmp_ / ".tcferret_last_window").string();
    toolkit::ScreenArea last;
    std::ifstream in(record);
    if (!(in >> last.x >> last.y >> last.width >> last.height) || !otherwindows(tmp_)) last = {};
    const toolkit::ScreenArea next = cascade(area, last, w, h, extra);
    std::ofstream(record) << next.x << ' ' << next.y << ' ' << next.width << ' ' << next.height << '\n';
    return next;
  }

  std::string readout(double fx, double fy) override { return readouttext(kind_, axes_, fx, fy); }
  std::string replaces(const std::string& file) override {
    const fs::path journal = journalof(file);
    std::error_code ignored;
    if (!fs::exists(fs::symlink_status(journal, ignored))) return "";
    return journal.filename().string() + " already exists beside it: its commands are replaced too.";
  }
  std::string save(const std::string& file) override { return saveplot(files_, file, true); }
  std::string pointAction() override {
    const bool has = kind_ == PlotKind::Map && !pointrequest(readlines(files_.commands), 0, 0, "x.ps").empty();
    return has ? "Time Series at This Point (Ctrl+click)" : "";
  }

  // The batch run fills the time-series dialog and writes its command
  // file; tcferret.bat draws that in a window of its own.
  std::string pointChosen(double fx, double fy) override {
    double lon, lat;
    if (!axispoint(axes_, fx, fy, lon, lat)) return "The point lies outside the map.";
    // Its own directory in the drive's tmp, whatever DIR is.
    std::string made = (tmp_ / "point.XXXXXX").string();
    if (!mkdtemp(made.data())) return "No time series could be drawn here:\ncannot make a directory in " + tmp_.string();
    const fs::path work = made;
    std::error_code ignored;
    const fs::path request = work / "point.ini";
    std::ofstream(request.string()) << pointrequest(readlines(files_.commands), lon, lat, "series.ps");
    const fs::path log = work / "batch.log";
    const std::string drive = IOsDriveRoot();
    const std::string self = fs::read_symlink("/proc/self/exe", ignored).string();
    fs::path program = fs::path(self).parent_path() / "tidecharter";
    if (!fs::exists(program)) program = "tidecharter";
    const int status = runprogram({"/usr/bin/env", "TIDECHARTER_DRIVE_C=" + drive, program.string(), "--batch",
                            request.string(), "--out", work.string()},
                           log.string());
    const std::vector<std::string> journal = readlines((work / "series.jnl").string());
    if (status != 0 || journal.empty()) {
      std::string said;
      for (const std::string& line : readlines(log.string())) said += line + "\n";
      fs::remove_all(work, ignored);
      return "No time series could be drawn here:\n" + said;
    }
    // Drawn in a window: the same command file without its metafile line
    // and the batch run's heading.
    const fs::path commands = tmp_ / ("tcferretinpoint" + std::to_string(getpid()) + ".txt");
    {
      std::ofstream out(commands.string());
      for (const std::string& line : windowcommands(journal)) out << line << '\n';
    }
    fs::remove_all(work, ignored);
    if (!getenv("TIDECHARTER_VIEW")) setenv("TIDECHARTER_VIEW", self.c_str(), 1);
    // Not waited for: the new window's batch file returns once it is shown.
    const std::string script = (tmp_.parent_path() / "bin" / "tcferret.bat").string();
    runprogram({"/bin/sh", "-c", "{ sh \"$0\" \"$1\"; rm -f \"$1\"; } > /dev/null 2>&1 &", script, commands.string()},
        "/dev/null");
    return "";
  }

  void closeAll() override {
    const std::string script = (tmp_.parent_path() / "bin" / "tcKillCygwinX.bat").string();
    char* argv[] = {const_cast<char*>("/bin/sh"), const_cast<char*>(script.c_str()), nullptr};
    pid_t pid;
    posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ);
  }

  // tcferret.bat waits for this; a directory the viewer did not get from
  // it is left as it is.
  void shown() override {
    if (owned_) std::ofstream((fs::path(files_.dir) / "shown").string()) << "shown\n";
  }

  void closing() override {
    listwindow(tmp_, false);
    std::error_code ignored;
    if (owned_) fs::remove_all(files_.dir, ignored);
  }

 private:
  PlotFiles files_;
  fs::path tmp_;
  bool owned_;
  PlotKind kind_;
  std::string title_;
  PlotAxes axes_;
};

int usage() {
  std::fputs("usage: tidecharter-view [--save FILE | --readout FX FY] DIR\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
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
    }
    else if (!a.empty() && a[0] != '-' && dir.empty())
      dir = a;
    else
      return usage();
  }
  if (dir.empty()) return usage();
  const PlotFiles files = plotfiles(dir);
  if (fx >= 0) {
    std::printf("%s\n", readouttext(plotkind(readlines(files.commands)), readaxes(files.axes), fx, fy).c_str());
    return 0;
  }
  if (!save.empty()) {
    const std::string problem = saveplot(files, save, false);
    if (problem.empty()) return 0;
    std::fprintf(stderr, "tidecharter-view: %s\n", problem.c_str());
    return 1;
  }

  const fs::path tmp = fs::path(IOsDriveRoot()) / "tidecharter" / "tmp";
  // Its own process group: tcKillCygwinX.bat ends the group.
  setsid();
  PlotWindow window(files, tmp, ownedview(dir, tmp.string()));
  listwindow(tmp, true);
  std::string problem;
  const int status = toolkit::RunPictureWindow(window.title(), files.picture, window, problem);
  if (status != 0) {
    window.closing();
    std::fprintf(stderr, "tidecharter-view: %s\n", problem.c_str());
  }
  return status;
}
