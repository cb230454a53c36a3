#include "core/drive_setup.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "build_info.h"
#include "toolkit/toolkit.h"

namespace fs = std::filesystem;

namespace {

// What the program cannot start without, below <root>/tidecharter.
const char* const kNeeded[] = {"bin/tc_paths.sh",
                               "bin/tcferret.bat",
                               "bin/tcBatchPlot.bat",
                               "bin/pacific/TDC_city_locations.csv",
                               "bin/pacific/versioninfo.txt",
                               "ferret/TMAP/go/GetDates.jnl",
                               "Help/README_tdc.txt",
                               "data/RG_ArgoClim_Temperature.nc",
                               "data/RG_ArgoClim_Salinity.nc",
                               "data/RG_ArgoClim_Stations.nc",
                               "data/Aviso_ADT.nc",
                               "data/Reynolds_SST.nc",
                               "tmp"};

// The lines a running program adds to its output file, as they come.
class OutputLines {
 public:
  explicit OutputLines(const std::string& path) : in_(path, std::ios::binary) {}
  // The complete lines written since the last call; with `all`, also an
  // unfinished last one.
  std::vector<std::string> next(bool all = false) {
    char buffer[4096];
    while (in_) {
      in_.read(buffer, sizeof buffer);
      pending_.append(buffer, static_cast<std::size_t>(in_.gcount()));
    }
    in_.clear();
    std::vector<std::string> lines;
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1))
      lines.push_back(pending_.substr(0, end));
    if (all && !pending_.empty()) {
      lines.push_back(pending_);
      pending_.clear();
    }
    for (const std::string& l : lines)
      if (!l.empty()) last_ = l;
    return lines;
  }
  const std::string& last() const { return last_; }

 private:
  std::ifstream in_;
  std::string pending_, last_;
};

}  // namespace

std::string installationsource() {
  const std::string self = IOsProgramFile();
  if (self.empty()) return "";
  std::error_code error;
  const fs::path bindir = fs::path(self).parent_path();
  const fs::path installed = (bindir / TIDECHARTER_INSTALLATION_FROM_BINDIR).lexically_normal();
  if (fs::is_regular_file(installed / "install.sh", error)) return installed.string();
  const fs::path sources = TIDECHARTER_SOURCE_INSTALLATION;
  if (fs::equivalent(bindir, TIDECHARTER_BUILD_DIR, error) && fs::is_regular_file(sources / "install.sh", error))
    return sources.string();
  return "";
}

std::string setupreason(const std::string& root) {
  const fs::path home = fs::path(root) / "tidecharter";
  std::error_code error;
  if (!fs::is_directory(home, error)) return "first start";
  if (fs::exists(home / "install.unfinished", error)) return "an earlier set-up did not finish";
  std::ifstream record(home / "installation.txt");
  if (!record) return "";
  std::string line, version;
  while (std::getline(record, line))
    if (line.rfind("version ", 0) == 0) version = line.substr(8);
  if (version != TIDECHARTER_VERSION) return "laid out by version " + version + ", this is " TIDECHARTER_VERSION;
  for (const char* needed : kNeeded)
    if (!fs::exists(home / needed, error)) return "tidecharter/" + std::string(needed) + " is missing";
  return "";
}

bool preparedriveroot(SetupProgress& progress) {
  const std::string root = IOsDriveRoot();
  const std::string reason = setupreason(root);
  if (reason.empty()) return true;
  const auto began = std::chrono::steady_clock::now();
  const std::string source = installationsource();
  if (source.empty()) {
    progress.failed(root, "no installation to lay it out from was found beside " + IOsProgramFile());
    return false;
  }
  const fs::path tmp = fs::path(root) / "tidecharter" / "tmp";
  std::error_code error;
  fs::create_directories(tmp, error);
  // install.sh removes the mark when it has laid out everything; until
  // then every start tries again.
  if (!error && !std::ofstream(fs::path(root) / "tidecharter" / "install.unfinished"))
    error = std::make_error_code(std::errc::permission_denied);
  if (error) {
    progress.failed(root, error.message());
    return false;
  }
  progress.begin(root, source, reason);
  const std::string log = (tmp / "setup.log").string();
  const int pid = IOsStartProgram({"/bin/sh", source + "/install.sh", root}, log);
  if (pid < 0) {
    progress.failed(root, "cannot start " + source + "/install.sh");
    return false;
  }
  OutputLines output(log);
  int code = 0;
  for (;;) {
    const int ended = IOsWaitProgram(code, 0);
    for (const std::string& l : output.next()) progress.line(l);
    if (ended == pid) break;
    if (ended < 0) {
      code = -1;
      break;
    }
    progress.tick();
    IOsWait(10);
  }
  for (const std::string& l : output.next(true)) progress.line(l);
  // Interrupted: install.sh has been ended, its mark stays for the next start.
  if (IOsInterrupted()) return false;
  if (code != 0) {
    progress.failed(root, (output.last().empty() ? "install.sh failed" : output.last()) + " (all of it in " +
                              log + ")");
    return false;
  }
  const std::string left = setupreason(root);
  if (!left.empty()) {
    progress.failed(root, "still not laid out after install.sh: " + left + " (see " + log + ")");
    return false;
  }
  progress.end(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
  return true;
}
