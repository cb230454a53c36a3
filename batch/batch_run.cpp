#include "batch/batch_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "core/core_state.h"
#include "batch/batch_front_end.h"
#include "batch/fill_dialog.h"
#include "batch/request_file.h"
#include "ferret/command_file.h"
#include "ferret/dates.h"
#include "toolkit/toolkit.h"
#include "update/end_dates.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kBatchPlot = "c:\\tidecharter\\bin\\tcBatchPlot.bat";

// One picture on its way from the request file to its file.
struct Picture {
  const ProductRequest* request = nullptr;
  std::vector<std::string> errors;  // whole messages; the picture is not drawn
  fs::path picture;                 // where it goes
  std::string shown;                // the same as the user named it
  fs::path commandFile, log;        // in the run's directory
  Clock::time_point started;
  double seconds = 0.0;
};

// The run's own directory for command files, end dates and logs; removed
// at the end.
class WorkDirectory {
 public:
  WorkDirectory() {
    std::random_device random;
    for (int attempt = 0; attempt < 20 && path_.empty(); ++attempt) {
      char name[40];
      std::snprintf(name, sizeof name, "tidecharter-batch-%08x", static_cast<unsigned>(random()));
      std::error_code error;
      const fs::path candidate = fs::temp_directory_path(error) / name;
      if (!error && fs::create_directory(candidate, error) && !error) path_ = candidate;
    }
  }
  ~WorkDirectory() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string collapsed(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

bool writable(const fs::path& dir) {
  const fs::path probe = dir / ".tidecharter-batch-probe";
  bool ok = static_cast<bool>(std::ofstream(probe));
  std::error_code ignored;
  fs::remove(probe, ignored);
  return ok;
}

// The program's end-date files are taken when they were written after the
// data and the scripts that read them last changed; only reading them
// keeps this run out of the program's way.
bool programenddatesfresh() {
  std::error_code error;
  fs::file_time_type oldest = fs::file_time_type::max();
  for (const char* name : {"ArgoEndDate.txt", "AvisoEndDate.txt", "ReynoldsEndDate.txt"}) {
    const fs::file_time_type t = fs::last_write_time(IOsHostPath(std::string("c:\\tidecharter\\tmp\\") + name), error);
    if (error) return false;
    oldest = std::min(oldest, t);
  }
  std::vector<fs::path> sources = {IOsHostPath("c:\\tidecharter\\ferret\\TMAP\\go\\GetDates.jnl"),
                                   IOsHostPath("c:\\tidecharter\\ferret\\TMAP\\go\\tc_end_date.jnl")};
  for (const fs::directory_entry& e : fs::directory_iterator(IOsHostPath("c:\\tidecharter\\data"), error))
    sources.push_back(e.path());
  if (error) return false;
  for (const fs::path& source : sources) {
    const fs::file_time_type t = fs::last_write_time(source, error);
    if (error || t >= oldest) return false;
  }
  return true;
}

// The end dates: the program's own when they are fresh, else asked of
// Ferret in the run's directory while the dialogs start. Returns the
// directory they are read from after `started` (a program to wait for, or
// -1).
fs::path startenddates(const fs::path& work, int& started) {
  started = -1;
  if (programenddatesfresh()) return IOsHostPath("c:\\tidecharter\\tmp");
  started = IOsStartProgram({kBatchPlot, "-dates", work.string()}, (work / "dates.log").string());
  return work;
}

// The names of the data sets whose end date is unknown.
std::vector<std::string> readenddates(CoreState& app, const fs::path& dir, int started) {
  int code = 0;
  while (started > 0) {
    const int ended = IOsWaitProgram(code);
    if (ended == started || ended < 0) break;
  }
  struct {
    const char* file;
    const char* data;
    int* end;
  } dates[] = {{"ArgoEndDate.txt", "Argo", &app.argoend},
               {"AvisoEndDate.txt", "Aviso", &app.avisoend},
               {"ReynoldsEndDate.txt", "Reynolds", &app.reynoldsend}};
  std::vector<std::string> unknown;
  for (auto& d : dates) {
    const fs::path file = dir / d.file;
    *d.end = readenddatefile(file.string());
    if (!fs::exists(file)) unknown.push_back(d.data);
  }
  return unknown;
}

// A path as one word of a shell's command line: quoted when it holds
// anything but letters, digits and / . _ - + , : @ %.
std::string shellword(const std::string& path) {
  if (!path.empty() && path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789/._-+,:@%") == std::string::npos)
    return path;
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Comment lines heading a picture's command file: enough to tell where it
// came from and to draw it again, in the host's own paths.
std::vector<std::string> heading(const RequestFile& file, const ProductRequest& p, const fs::path& picture,
                                 const CoreState& app) {
  fs::path journal = picture;
  journal.replace_extension(".jnl");
  return {"! " + picture.string() + ", drawn by tidecharter --batch",
          "! request: " + fs::absolute(file.path).lexically_normal().string() + " [" + p.name + "]",
          "! data end dates: Argo " + compactdate(app.argoend) + ", Aviso " + compactdate(app.avisoend) +
              ", Reynolds " + compactdate(app.reynoldsend),
          "! program: Tidecharter " + collapsed(app.versiontext),
          "! draw it again: " + IOsHostPath("c:\\tidecharter\\bin\\tcferret.bat") + " " +
              shellword(journal.string()) + " (PostScript into " + IOsHostPath("c:\\tidecharter\\tmp") +
              ", named on the metafile line)"};
}

// Where a picture would be written when the directories already there are
// followed: a symbolic link must not lead it out of the output directory.
// Returns the problem, or "".
std::string leadsout(const fs::path& base, const fs::path& picture) {
  std::error_code ignored, error, baseError;
  fs::path there = picture.parent_path();
  while (there != base && there.has_relative_path() &&
         fs::symlink_status(there, ignored).type() == fs::file_type::not_found)
    there = there.parent_path();
  const fs::path real = fs::weakly_canonical(there, error);
  const fs::path realBase = fs::weakly_canonical(base, baseError);
  const fs::path inside = real.lexically_relative(realBase);
  if (error || baseError || inside.empty() || *inside.begin() == "..")
    return there.string() + " leads out of the output directory " + base.string();
  return "";
}

// Fills the picture's dialog and presses Create JPG; the command file is
// then written, or the reasons it was refused are in pic.errors.
void prepare(CoreState& app, BatchFrontEnd& front, const RequestFile& file, const fs::path& base,
             const fs::path& shownBase, const fs::path& work, const std::vector<std::string>& unknownEnds,
             int number, Picture& pic) {
  const ProductRequest& p = *pic.request;
  const FilledDialog filled = filldialog(app, p, unknownEnds);
  if (!filled.errors.empty()) {
    dropdialog(p);
    for (const std::string& e : filled.errors) pic.errors.push_back(productmessage(file, p, e));
    return;
  }
  const std::string output = expandoutput(p.output, filled.startIndex);
  pic.picture = (base / output).lexically_normal();
  pic.shown = (shownBase / output).lexically_normal().string();
  const std::string out = leadsout(base, pic.picture);
  if (!out.empty()) {
    dropdialog(p);
    pic.errors.push_back(productmessage(file, p, "output: " + pic.shown + ": " + out));
    return;
  }
  pic.commandFile = work / (std::to_string(number) + ".jnl");
  pic.log = work / (std::to_string(number) + ".log");
  front.begin(pic.commandFile.string(), heading(file, p, pic.picture, app));
  pressplot(app, p);
  for (const UserMessage& m : front.refusals())
    pic.errors.push_back(productmessage(file, p, m.title + ": " + messagetext(m, ' ', true)));
  if (!front.ready() && pic.errors.empty())
    pic.errors.push_back(productmessage(file, p, "no command file could be written in " + work.string()));
}

// Two pictures must not share a file, nor the .jnl beside it.
void refuseshared(const RequestFile& file, std::vector<Picture>& pictures) {
  std::map<fs::path, Picture*> owners;
  for (Picture& pic : pictures) {
    if (!pic.errors.empty()) continue;
    fs::path journal = pic.picture;
    journal.replace_extension(".jnl");
    auto [it, added] = owners.emplace(journal, &pic);
    if (added) continue;
    for (Picture* both : {it->second, &pic}) {
      const Picture* other = both == &pic ? it->second : &pic;
      both->errors.push_back(productmessage(
          file, *both->request,
          "output: " + both->shown + " and " + other->shown + " of [" + other->request->name +
              "] would share " + journal.filename().string() + "; give them different names"));
    }
  }
}

std::string goline(const fs::path& commandFile) {
  std::ifstream in(commandFile);
  std::string line;
  while (std::getline(in, line)) {
    const std::string text = collapsed(line.substr(std::min(line.find_first_not_of(' '), line.size())));
    if (text.size() > 3 && (text.compare(0, 3, "go ") == 0 || text.compare(0, 3, "GO ") == 0)) return text;
  }
  return "";
}

// Why tcBatchPlot.bat failed: its own last word on it, else its status.
std::string failure(const fs::path& log, int code) {
  std::ifstream in(log);
  std::string line, last, own;
  const std::string prefix = "tcBatchPlot.bat: ";
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    last = line;
    if (line.compare(0, prefix.size(), prefix) == 0) own = line.substr(prefix.size());
  }
  if (!own.empty()) return own;
  if (!last.empty()) return last;
  return "tcBatchPlot.bat ended with status " + std::to_string(code);
}

void printerrors(const Picture& pic) {
  for (const std::string& e : pic.errors) std::fprintf(stderr, "%s\n", e.c_str());
}

// Draws the prepared pictures, one per processor at a time, and says how
// each went as it ends.
void draw(const RequestFile& file, std::vector<Picture>& pictures) {
  const int slots = std::max(1, IOsProcessorCount());
  std::map<int, Picture*> running;
  std::size_t next = 0;
  for (;;) {
    while (!IOsInterrupted() && static_cast<int>(running.size()) < slots && next < pictures.size()) {
      Picture& pic = pictures[next++];
      if (!pic.errors.empty()) continue;
      std::error_code error;
      fs::create_directories(pic.picture.parent_path(), error);
      if (error) {
        pic.errors.push_back(productmessage(file, *pic.request, "cannot make " +
                                                pic.picture.parent_path().string() + ": " + error.message()));
        printerrors(pic);
        continue;
      }
      pic.started = Clock::now();
      const int pid = IOsStartProgram({kBatchPlot, pic.commandFile.string(), pic.picture.string()}, pic.log.string());
      if (pid < 0) {
        pic.errors.push_back(productmessage(file, *pic.request, std::string("cannot start ") + kBatchPlot));
        printerrors(pic);
        continue;
      }
      running[pid] = &pic;
    }
    if (running.empty()) break;
    int code = 0;
    const int pid = IOsWaitProgram(code);
    const auto it = running.find(pid);
    if (it == running.end()) {
      if (pid < 0) break;
      continue;
    }
    Picture& pic = *it->second;
    running.erase(it);
    pic.seconds = std::chrono::duration<double>(Clock::now() - pic.started).count();
    if (code != 0 && IOsInterrupted()) {
      pic.errors.push_back("interrupted");  // ended by us: no message of Ferret's
    } else if (code != 0) {
      pic.errors.push_back(productmessage(file, *pic.request, failure(pic.log, code)));
      printerrors(pic);
    } else {
      char seconds[24];
      std::snprintf(seconds, sizeof seconds, " (%.1f s)", pic.seconds);
      std::printf("%s\n", productmessage(file, *pic.request, "wrote " + pic.shown + seconds).c_str());
      std::fflush(stdout);
    }
  }
  for (; next < pictures.size(); ++next)
    if (pictures[next].errors.empty()) pictures[next].errors.push_back("interrupted");
}

}  // namespace

int batchmain(const BatchOptions& options) {
  const Clock::time_point began = Clock::now();
  const RequestFile file = readrequestfile(options.requestFile);
  for (const std::string& e : file.errors) std::fprintf(stderr, "%s\n", e.c_str());
  if (!file.errors.empty()) return 1;

  fs::path given = options.outDir.empty() ? fs::path(options.requestFile).parent_path() : fs::path(options.outDir);
  if (given.empty()) given = ".";
  const fs::path base = fs::absolute(given).lexically_normal();
  // Every picture in it would be refused for its command file's heading;
  // refused here, the directory is not made either.
  if (!commandlinesafe(base.string())) {
    std::fprintf(stderr, "tidecharter: the output directory's name holds a control character, so nothing is drawn: %s\n",
                 visiblecontrols(base.string()).c_str());
    return 1;
  }
  BatchSetupProgress setup;
  if (!preparedriveroot(setup)) return 1;
  if (!fs::exists(IOsHostPath(kBatchPlot))) {
    std::fprintf(stderr,
                 "tidecharter: %s is missing in the drive root %s; lay it out with installation/install.sh\n",
                 kBatchPlot, IOsDriveRoot().c_str());
    return 1;
  }
  std::error_code error;
  if (options.check) {
    // Nothing is made: the directory, or the nearest that is there, must be one.
    fs::path there = base;
    while (!fs::exists(there, error) && there.has_relative_path()) there = there.parent_path();
    if (!fs::is_directory(there, error)) error = std::make_error_code(std::errc::not_a_directory);
  } else {
    fs::create_directories(base, error);
    if (!error && !writable(base)) error = std::make_error_code(std::errc::permission_denied);
  }
  if (error) {
    std::fprintf(stderr, "tidecharter: cannot write pictures in %s: %s\n", base.c_str(), error.message().c_str());
    return 1;
  }
  // An interrupt ends the pictures being drawn and is noted; the run then
  // removes its own directory before it ends as interrupted (main).
  IOsWindUpOnInterrupt();
  const WorkDirectory work;
  if (work.path().empty()) {
    std::fprintf(stderr, "tidecharter: cannot make a directory of its own in the temporary directory\n");
    return 1;
  }

  CoreState app;
  int datesRun = -1;
  finishstoppedcommit();
  const fs::path datesDir = startenddates(work.path(), datesRun);
  WInitialiseHeadless();
  readversiontext(app);
  const bool located = loadlocations(app);
  const std::vector<std::string> unknownEnds = readenddates(app, datesDir, datesRun);
  if (!located || IOsInterrupted()) return 1;

  BatchFrontEnd front;
  app.frontend = &front;
  std::vector<Picture> pictures;
  for (const ProductRequest& p : file.products) {
    Picture pic;
    pic.request = &p;
    pic.errors = p.errors;
    if (pic.errors.empty())
      prepare(app, front, file, base, given, work.path(), unknownEnds, static_cast<int>(pictures.size()) + 1,
              pic);
    pictures.push_back(std::move(pic));
  }
  refuseshared(file, pictures);
  for (const Picture& pic : pictures) printerrors(pic);

  int good = 0;
  if (options.check) {
    for (const Picture& pic : pictures) {
      if (!pic.errors.empty()) continue;
      ++good;
      std::printf("%s\n", productmessage(file, *pic.request, "would draw " + pic.shown + ": " +
                                                                 goline(pic.commandFile)).c_str());
    }
    std::printf("%s: %d of %zu pictures would be drawn\n", file.path.c_str(), good, pictures.size());
  } else {
    draw(file, pictures);
    for (const Picture& pic : pictures) good += pic.errors.empty() ? 1 : 0;
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
    std::printf("%s: %d of %zu pictures written in %.1f s%s\n", file.path.c_str(), good, pictures.size(), seconds,
                IOsInterrupted() ? ", then interrupted" : "");
  }
  WindowClose();
  return good == static_cast<int>(pictures.size()) ? 0 : 1;
}
