#include "batch/batch_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>

#include "core/core_state.h"
#include "batch/batch_front_end.h"
#include "batch/batch_jobs.h"
#include "batch/fill_dialog.h"
#include "batch/frame_levels.h"
#include "batch/product_frames.h"
#include "batch/request_file.h"
#include "ferret/command_file.h"
#include "ferret/dates.h"
#include "toolkit/toolkit.h"
#include "update/end_dates.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kBatchPlot = "c:\\tidecharter\\bin\\tcBatchPlot.bat";
const char* const kBatchAnimate = "c:\\tidecharter\\bin\\tcBatchAnimate.bat";
// Months the range pass looks at for one colour scale.
constexpr int kRangeMonths = 24;

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

// The files a product writes: its pictures or data files and the .jnl
// beside each, its command files, or its animation or series.
std::vector<fs::path> filesof(const Product& product) {
  if (product.joined()) return {product.animation};
  std::vector<fs::path> files;
  for (const Frame& frame : product.frames) {
    files.push_back(frame.target);
    fs::path journal = frame.target;
    journal.replace_extension(".jnl");
    if (product.form != OutputForm::CommandFile) files.push_back(journal);
  }
  return files;
}

// Two sections must not share a file, nor the .jnl beside a picture.
void refuseshared(const RequestFile& file, std::vector<Product>& products) {
  std::map<fs::path, Product*> owners;
  for (Product& product : products) {
    if (!product.errors.empty()) continue;
    for (const fs::path& written : filesof(product)) {
      auto [it, added] = owners.emplace(written, &product);
      if (added || it->second == &product) continue;
      Product* other = it->second;
      for (Product* both : {other, &product}) {
        const Product* them = both == &product ? other : &product;
        auto shown = [](const Product& p) {
          return p.joined() ? p.shownAnimation : p.frames.front().shown;
        };
        both->errors.push_back(productmessage(
            file, *both->request,
            "output: " + shown(*both) + " and " + shown(*them) + " of [" + them->request->name + "] would share " +
                written.filename().string() + "; give them different names"));
      }
      break;
    }
  }
}

std::vector<std::string> readlines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string goline(const fs::path& commandFile) {
  for (const std::string& line : readlines(commandFile)) {
    std::string text;
    for (char c : line.substr(std::min(line.find_first_not_of(' '), line.size())))
      if (c != ' ' || (!text.empty() && text.back() != ' ')) text += c;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (text.size() > 3 && (text.compare(0, 3, "go ") == 0 || text.compare(0, 3, "GO ") == 0)) return text;
  }
  return "";
}

// Why a batch script failed: its own last word on it, else its status.
std::string failure(const fs::path& log, int code, const std::string& script) {
  std::string last, own;
  const std::string prefix = script + ": ";
  for (const std::string& line : readlines(log)) {
    if (line.empty()) continue;
    last = line;
    if (line.compare(0, prefix.size(), prefix) == 0) own = line.substr(prefix.size());
  }
  if (!own.empty()) return own;
  if (!last.empty()) return last;
  return script + " ended with status " + std::to_string(code);
}

void say(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

void complain(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

std::string seconds(Clock::time_point since) {
  char text[24];
  std::snprintf(text, sizeof text, " (%.1f s)", std::chrono::duration<double>(Clock::now() - since).count());
  return text;
}

bool makedirectory(const RequestFile& file, const Product& product, const fs::path& dir, std::string& failed) {
  std::error_code error;
  fs::create_directories(dir, error);
  if (!error) return true;
  failed = "cannot make " + dir.string() + ": " + error.message();
  complain(productmessage(file, *product.request, failed));
  return false;
}

// One colour scale for the months of each section that draws several with
// the default levels: the range pass over some of its months, split among
// the processors and run side by side, then every month's command file
// again with the levels chosen from all their values.
void sharelevels(FrameContext& run, std::vector<Product>& products) {
  struct Pass {
    Product* product;
    std::vector<fs::path> logs;  // of its parts
    std::vector<std::string> said;
    std::string failed;
  };
  std::vector<Pass> passes;
  std::vector<BatchJob> jobs;
  const int parts = std::max(1, IOsProcessorCount());
  for (Product& product : products) {
    const ProductRequest& p = *product.request;
    if (!product.errors.empty() || !p.first.given || product.frames.size() < 2 || !p.fill.empty()) continue;
    // Data have no colours.
    if (product.form == OutputForm::Data || product.form == OutputForm::Series) continue;
    if (!takeslevels(run, product)) continue;
    const int first = product.frames.front().month;
    const std::vector<int> months = samplemonths(first, product.frames.back().month, kRangeMonths);
    Pass pass{&product, {}, {}, ""};
    for (int part = 0; part < parts && part < static_cast<int>(months.size()); ++part) {
      const std::string name = "range" + std::to_string(passes.size() + 1) + "-" + std::to_string(part + 1);
      std::ofstream out(run.work / (name + ".jnl"));
      out << "define symbol tcrange = 1\n";
      for (std::size_t i = part; i < months.size(); i += parts)
        out << goline(product.frames[months[i] - first].commandFile) << "\n";
      pass.logs.push_back(run.work / (name + ".log"));
    }
    passes.push_back(pass);
  }
  for (std::size_t n = 0; n < passes.size(); ++n) {
    for (const fs::path& log : passes[n].logs) {
      fs::path commands = log;
      commands.replace_extension(".jnl");
      jobs.push_back({{kBatchPlot, "-levels", commands.string()}, log.string(), nullptr,
                      [&passes, n, log](int status) {
                        Pass& pass = passes[n];
                        if (status != 0) {
                          if (pass.failed.empty() && status != kNotRun)
                            pass.failed = failure(log, status, "tcBatchPlot.bat");
                          return;
                        }
                        const std::vector<std::string> lines = readlines(log);
                        pass.said.insert(pass.said.end(), lines.begin(), lines.end());
                      }});
    }
  }
  runjobs(jobs);
  if (IOsInterrupted()) return;
  for (Pass& pass : passes) {
    // Panels with fixed levels give none; a pass that failed leaves each
    // month Ferret's own choice, and says so.
    if (!pass.failed.empty()) {
      complain(productmessage(run.file, *pass.product->request,
                              "no one colour scale for its months (" + pass.failed +
                                  "); each month has levels of its own"));
      continue;
    }
    const std::string levels = framelevels(pass.said);
    if (!levels.empty() && !presslevels(run, *pass.product, levels))
      for (const std::string& e : pass.product->errors) complain(e);
  }
}

// The command files alone (a .jnl output), each written under a temporary
// name beside its place and renamed.
void writecommandfiles(const RequestFile& file, Product& product) {
  for (Frame& frame : product.frames) {
    if (!makedirectory(file, product, frame.target.parent_path(), frame.failed)) continue;
    const fs::path partial = frame.target.parent_path() /
                             ("." + frame.target.filename().string() + "." + std::to_string(getpid()) + ".partial");
    std::ifstream in(frame.commandFile, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    bool written = fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    std::error_code error(written ? 0 : errno, std::generic_category());
    if (fd >= 0 && close(fd) != 0 && written) {
      written = false;
      error.assign(errno, std::generic_category());
    }
    if (written) fs::rename(partial, frame.target, error);
    if (!written || error) {
      std::error_code ignored;
      if (fd >= 0) fs::remove(partial, ignored);
      frame.failed = "cannot write " + frame.shown + ": " + error.message();
      complain(productmessage(file, *product.request, frame.failed));
      continue;
    }
    frame.done = true;
    say(productmessage(file, *product.request, "wrote " + frame.shown));
  }
}

// Ferret draws every picture and animation frame, and saves the data of
// every data file and series month, side by side; each picture or data
// file is told as it ends.
void drawframes(const RequestFile& file, std::vector<Product>& products) {
  std::vector<BatchJob> jobs;
  for (Product& product : products) {
    if (!product.errors.empty() || product.form == OutputForm::CommandFile) continue;
    const bool animation = product.joined();
    for (Frame& frame : product.frames) {
      Product* p = &product;
      Frame* f = &frame;
      std::vector<std::string> command = {kBatchPlot, frame.commandFile.string(), frame.target.string()};
      if (product.form == OutputForm::Series) command.insert(command.begin() + 1, "-save");
      jobs.push_back(
          {command, frame.log.string(),
           [&file, p, f] {
             f->started = Clock::now();
             return makedirectory(file, *p, f->target.parent_path(), f->failed);
           },
           [&file, p, f, animation](int status) {
             const std::string months = p->monthly() ? f->shown + ": " : "";
             if (status == kNotRun && IOsInterrupted()) {
               f->failed = "interrupted";
             } else if (status == kNotRun) {
               f->failed = std::string("cannot start ") + kBatchPlot;
               complain(productmessage(file, *p->request, months + f->failed));
             } else if (status != 0 && IOsInterrupted()) {
               f->failed = "interrupted";  // ended by us: no message of Ferret's
             } else if (status != 0) {
               f->failed = failure(f->log, status, "tcBatchPlot.bat");
               std::error_code ignored;
               f->done = f->failed.compare(0, 9, "no data: ") == 0 && fs::exists(f->target, ignored);
               complain(productmessage(file, *p->request, months + f->failed));
             } else {
               f->done = true;
               if (!animation) say(productmessage(file, *p->request, "wrote " + f->shown + seconds(f->started)));
             }
           }});
    }
  }
  runjobs(jobs);
}

// Each animation whose frames are all there (empty ones included), by
// ffmpeg, and each data series whose months are all saved (those without
// data included), along its time axis; side by side.
void animate(const RequestFile& file, std::vector<Product>& products) {
  std::vector<BatchJob> jobs;
  for (Product& product : products) {
    if (!product.errors.empty() || !product.joined()) continue;
    const bool series = product.form == OutputForm::Series;
    const auto missing = std::count_if(product.frames.begin(), product.frames.end(),
                                       [](const Frame& f) { return !f.done; });
    if (missing > 0) {
      if (!IOsInterrupted())
        complain(productmessage(file, *product.request,
                                (series ? "no data file: " : "no animation: ") + std::to_string(missing) +
                                    " of its " + std::to_string(product.frames.size()) + " months were not " +
                                    (series ? "saved" : "drawn")));
      continue;
    }
    Product* p = &product;
    auto started = std::make_shared<Clock::time_point>();
    const fs::path log = product.frameDirectory / "join.log";
    std::vector<std::string> command = {kBatchAnimate, std::to_string(product.request->speed),
                                        product.frameDirectory.string(), product.animation.string()};
    if (series) {
      // The first month's heading names the request, end dates and program.
      command = {kBatchPlot, "-stack", product.animation.string(), product.frames.front().commandFile.string()};
      for (const Frame& frame : product.frames) command.push_back(frame.target.string());
    }
    const std::string script = series ? "tcBatchPlot.bat" : "tcBatchAnimate.bat";
    jobs.push_back({command,
                    log.string(),
                    [&file, p, started] {
                      *started = Clock::now();
                      std::string failed;
                      return makedirectory(file, *p, p->animation.parent_path(), failed);
                    },
                    [&file, p, started, log, series, script, command](int status) {
                      if (IOsInterrupted()) return;
                      if (status != 0) {
                        complain(productmessage(file, *p->request,
                                                status == kNotRun ? "cannot start " + command.front()
                                                                  : failure(log, status, script)));
                        return;
                      }
                      p->animated = true;
                      const std::string rate = " at " + std::to_string(p->request->speed) + " a second";
                      say(productmessage(file, *p->request,
                                         "wrote " + p->shownAnimation + ", " + std::to_string(p->frames.size()) +
                                             " months" + (series ? "" : rate) + seconds(*started)));
                    }});
  }
  runjobs(jobs);
}

// How many files a product was to write, and how many it wrote: every
// picture, data file or command file, or its one animation or series
// (with no empty frame or month without data).
std::pair<int, int> tally(const Product& product) {
  if (!product.errors.empty()) return {1, 0};
  if (product.joined()) {
    const bool whole = std::all_of(product.frames.begin(), product.frames.end(),
                                   [](const Frame& f) { return f.done && f.failed.empty(); });
    return {1, product.animated && whole ? 1 : 0};
  }
  const int good = static_cast<int>(std::count_if(product.frames.begin(), product.frames.end(),
                                                  [](const Frame& f) { return f.done && f.failed.empty(); }));
  return {static_cast<int>(product.frames.size()), good};
}

// The animations need ffmpeg; without it they are refused before anything
// is drawn.
bool haveffmpeg() {
  const char* given = std::getenv("TC_FFMPEG");
  const std::string program = given && *given ? given : "ffmpeg";
  if (program.find('/') != std::string::npos) return access(program.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (std::size_t at = 0; at <= dirs.size();) {
    const std::size_t colon = std::min(dirs.find(':', at), dirs.size());
    const std::string dir = dirs.substr(at, colon - at);
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    at = colon + 1;
  }
  return false;
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
  FrameContext run{app, front, file, base, given, work.path(), unknownEnds};
  const bool ffmpeg = haveffmpeg();
  std::vector<Product> products;
  for (const ProductRequest& p : file.products) {
    Product product;
    product.request = &p;
    product.errors = p.errors;
    product.form = outputform(p.output, p.first.given);
    if (product.errors.empty() && product.form == OutputForm::Animation && !ffmpeg)
      product.errors.push_back(productmessage(file, p,
                                              "output: " + p.output +
                                                  ": an animation needs ffmpeg, which is not installed; install "
                                                  "the Debian package ffmpeg"));
    if (product.errors.empty()) prepareproduct(run, product);
    products.push_back(std::move(product));
  }
  refuseshared(file, products);
  for (const Product& product : products)
    for (const std::string& e : product.errors) complain(e);

  int good = 0, total = 0;
  if (options.check) {
    for (const Product& product : products) {
      ++total;
      if (!product.errors.empty()) continue;
      ++good;
      const Frame& first = product.frames.front();
      std::string what = first.shown;
      if (product.joined())
        what = product.shownAnimation + ", " + std::to_string(product.frames.size()) + " months";
      else if (product.frames.size() > 1)
        what += " to " + product.frames.back().shown + ", " + std::to_string(product.frames.size()) + " months";
      say(productmessage(file, *product.request, "would draw " + what + ": " + goline(first.commandFile)));
    }
    std::printf("%s: %d of %d pictures would be drawn\n", file.path.c_str(), good, total);
  } else {
    sharelevels(run, products);
    for (Product& product : products)
      if (product.errors.empty() && product.form == OutputForm::CommandFile && !IOsInterrupted())
        writecommandfiles(file, product);
    if (!IOsInterrupted()) drawframes(file, products);
    if (!IOsInterrupted()) animate(file, products);
    for (const Product& product : products) {
      const auto [wanted, written] = tally(product);
      total += wanted;
      good += written;
    }
    const double taken = std::chrono::duration<double>(Clock::now() - began).count();
    std::printf("%s: %d of %d pictures written in %.1f s%s\n", file.path.c_str(), good, total, taken,
                IOsInterrupted() ? ", then interrupted" : "");
  }
  WindowClose();
  return good == total ? 0 : 1;
}
