#include "view/plot_window.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ferret/dates.h"
#include "view/jobs.h"
#include "view/month_requests.h"
#include "view/viewer.h"

namespace fs = std::filesystem;

namespace {

// Frames drawn ahead of the one shown while playing.
constexpr int kAhead = 3;

// The command line of work done ahead of the user (the months' preparation,
// frames drawn ahead, the readout's values): at a lower priority than a
// Plot, whose Ferrets it then leaves alone (tc_ferret_warm.py keeps niced
// requests apart).
std::vector<std::string> behind(std::vector<std::string> words) {
  words.insert(words.begin(), {"nice", "-n", "10"});
  return words;
}

std::string readfile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writelines(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path);
  for (const std::string& line : lines) out << line << '\n';
}

}  // namespace

PlotWindow::PlotWindow(Viewer& viewer, int id, const std::string& dir)
    : viewer_(viewer), id_(id), dir_(dir), owned_(ownedview(dir, viewer.paths().tmp)) {}

PlotWindow::~PlotWindow() = default;

PlotWindow::Frame& PlotWindow::frame(int month) {
  Frame& f = frames_[month];
  if (f.dir.empty()) f.dir = month == 0 ? dir_ : (fs::path(dir_) / "months" / keyofmonth(month)).string();
  return f;
}

PlotFiles PlotWindow::filesof(int month) { return plotfiles(frame(month).dir); }

std::string PlotWindow::monthname(int month) const {
  std::string date(8, ' '), name(9, ' '), numbers(6, ' ');
  int year = 0;
  writedate(month, date, name, year, numbers);
  return date;
}

void PlotWindow::open(std::function<void(const std::string&)> answer) {
  answer_ = std::move(answer);
  Frame& first = frame(0);
  const PlotFiles files = filesof(0);
  first.commands = readlines(files.commands);
  first.axes = readaxes(files.axes);
  first.nodata = nodatareason(readlines(dir_ + "/ferret.log"));
  first.drawn = true;
  request_ = readlines((fs::path(dir_) / "request.ini").string());
  nostep_ = nostepreason(request_, first.commands);
  requested_ = monthofkey(requestvalue(request_, "start"));
  title_ = plottitle(first.commands);
  if (!picturesize(files.postscript, pictureWidth_, pictureHeight_)) {
    pictureWidth_ = 4;
    pictureHeight_ = 3;
  }
  window_ = toolkit::OpenPictureWindow(*this, title_, pictureWidth_, pictureHeight_, areaWidth_, areaHeight_);
  dataoffered(0);
  // Keys and buttons work from the start: a step asked for while the
  // months are being prepared is taken once they are.
  toolkit::SetSteppable(window_, nostep_.empty(), nostep_);
  if (!fs::exists(files.postscript)) {
    toolkit::SetPictureText(window_, "No picture was drawn into " + dir_ + ".");
    toolkit::ShowPictureWindow(window_);
    return;
  }
  render(0);
}

void PlotWindow::close() {
  if (window_) toolkit::ClosePictureWindow(window_);
}

toolkit::ScreenArea PlotWindow::place(const toolkit::ScreenArea& area, int w, int h, int extra) {
  return viewer_.place(area, w, h, extra);
}

// The point's position, and once they are saved for it, its values.
std::string PlotWindow::readout(double fx, double fy) {
  Frame& f = frame(shown_);
  const std::string where = readouttext(plotkind(f.commands), f.axes, fx, fy);
  double x, y;
  int panel = 0;
  if (where.empty() || !axispoint(f.axes, fx, fy, x, y, &panel)) return where;
  if (!f.values.known) {
    fetchvalues(shown_);
    return where;
  }
  const std::string value = valueat(f.values, x, y, panel, static_cast<int>(f.axes.panels.size()));
  return value.empty() ? where : where + "   " + value;
}

// The batch run saves the values of a month as Save Data does, once, in
// the background.
void PlotWindow::fetchvalues(int month) {
  Frame& f = frame(month);
  if (f.valuing || request_.empty() || !f.nodata.empty() || f.failed) return;
  const PlotKind kind = plotkind(f.commands);
  if (kind != PlotKind::Map && kind != PlotKind::SectionNorthSouth && kind != PlotKind::SectionEastWest) return;
  f.valuing = true;
  const std::string dir = f.dir + "/values";
  std::error_code ignored;
  fs::create_directories(dir, ignored);
  std::ofstream(dir + "/request.ini") << monthrequest(request_, month, "values.csv");
  Viewer* viewer = &viewer_;
  const int id = id_;
  startjob(behind({viewer_.paths().program, "--batch", dir + "/request.ini", "--out", dir}),
           dir + "/batch.log", [viewer, id, month, dir](int status) {
             PlotWindow* w = viewer->window(id);
             if (!w || status != 0) return;
             w->frame(month).values = readvalues(dir + "/values.csv");
           });
}

std::string PlotWindow::replaces(const std::string& file) {
  const fs::path journal = journalof(file);
  std::error_code ignored;
  if (!fs::exists(fs::symlink_status(journal, ignored))) return "";
  return journal.filename().string() + " already exists beside it: its commands are replaced too.";
}

std::string PlotWindow::suggestedName() { return savename(request_, shown_, shown_, title_); }

std::string PlotWindow::save(const std::string& file, bool commands) {
  return saveplot(filesof(shown_), file, commands ? SavedCommands::Replace : SavedCommands::None,
                  viewer_.paths().bin);
}

std::string PlotWindow::pointAction() {
  const Frame& f = frame(shown_);
  const bool has = plotkind(f.commands) == PlotKind::Map && !pointrequest(f.commands, 0, 0, "x.ps").empty();
  return has ? "Time Series at This Point (Ctrl+click)" : "";
}

std::string PlotWindow::noPointAction() {
  return "A time series at a point (Ctrl+click) is offered on maps of temperature, salinity, potential "
         "density, dynamic height, altimetric height and SST.";
}

// The batch run fills the time-series dialog and writes its command file;
// tcferret.bat draws that in a window of its own.
std::string PlotWindow::pointChosen(double fx, double fy) {
  const Frame& f = frame(shown_);
  double lon, lat;
  if (!axispoint(f.axes, fx, fy, lon, lat)) return "The point lies outside the map.";
  const ViewerPaths& paths = viewer_.paths();
  std::string made = (fs::path(paths.tmp) / "point.XXXXXX").string();
  if (!mkdtemp(made.data())) return "No time series could be drawn here:\ncannot make a directory in " + paths.tmp;
  const std::string work = made;
  std::ofstream((fs::path(work) / "point.ini").string()) << pointrequest(f.commands, lon, lat, "series.ps");
  toolkit::SetStatus(window_, "Drawing the time series at this point...");
  Viewer* viewer = &viewer_;
  const int id = id_;
  startjob({paths.program, "--batch", work + "/point.ini", "--out", work}, work + "/batch.log",
           [viewer, id, work](int status) {
             const std::vector<std::string> journal = readlines(work + "/series.jnl");
             std::error_code ignored;
             PlotWindow* w = viewer->window(id);
             if (status != 0 || journal.empty()) {
               std::string said;
               for (const std::string& line : readlines(work + "/batch.log")) said += line + "\n";
               fs::remove_all(work, ignored);
               if (w) toolkit::TellProblem(w->window_, "Time Series at This Point", "No time series could be drawn here:\n" + said);
               return;
             }
             // Drawn in a window: the same command file without its
             // metafile line and the batch run's heading.
             const std::string commands =
                 (fs::path(viewer->paths().tmp) / ("tcferretinpoint" + std::to_string(getpid()) + "_" +
                                                  fs::path(work).filename().string() + ".txt")).string();
             writelines(commands, windowcommands(journal));
             // Its request goes with it, for its Save Data.
             const std::string request = fs::path(commands).replace_extension(".ini").string();
             std::ofstream(request) << rewritten(readlines(work + "/point.ini"), {"output"}, {});
             fs::remove_all(work, ignored);
             startjob({"/bin/sh", viewer->paths().bin + "/tcferret.bat", commands}, "",
                      [commands, request](int) {
                        std::remove(commands.c_str());
                        std::remove(request.c_str());
                      });
             if (w) toolkit::SetStatus(w->window_, "");
           });
  return "";
}

void PlotWindow::closeAll() { startjob({"/bin/sh", viewer_.paths().bin + "/tcKillCygwinX.bat"}, "", [](int) {}); }

void PlotWindow::resized(int width, int height) {
  // Sharper once the window has grown; a smaller one scales down.
  if (width <= areaWidth_ && height <= areaHeight_) return;
  areaWidth_ = std::max(width, areaWidth_);
  areaHeight_ = std::max(height, areaHeight_);
  ensure(shown_);
}

int PlotWindow::next(int month) const {
  const auto at = months_.upper_bound(month);
  return at == months_.end() ? months_.begin()->first : at->first;
}

void PlotWindow::step(toolkit::Step how) {
  if (!prepared_) {
    // Taken once the months are there.
    if (nostep_.empty()) pending_ = how;
    toolkit::SetStatus(window_, nostep_.empty() ? "The months of this picture are being prepared..." : nostep_);
    return;
  }
  const int from = wanted_ == 0 ? requested_ : wanted_;
  const int first = months_.begin()->first, last = months_.rbegin()->first;
  int to = from;
  switch (how) {
    case toolkit::Step::Previous: to = from - 1; break;
    case toolkit::Step::Next: to = from + 1; break;
    case toolkit::Step::YearBack: to = from - 12; break;
    case toolkit::Step::YearForward: to = from + 12; break;
    case toolkit::Step::First: to = first; break;
    case toolkit::Step::Last: to = last; break;
  }
  if (to < first || to > last) {
    const bool before = to < first;
    const std::string end = monthname(before ? first : last);
    const bool year = how == toolkit::Step::YearBack || how == toolkit::Step::YearForward;
    toolkit::SetStatus(window_, end + " is the " + (before ? "first" : "last") + " month of the data" +
                                    (year && from != (before ? first : last)
                                         ? ": a year " + std::string(before ? "before " : "after ") +
                                               monthname(from) + " lies beyond it."
                                         : "."));
    return;
  }
  if (!months_.count(to)) {
    toolkit::SetStatus(window_, "The batch run wrote no command file for " + monthname(to) + ".");
    return;
  }
  want(to);
}

void PlotWindow::want(int month) {
  wanted_ = month;
  ensure(month);
  if (wanted_ == month && frame(month).drawn && viewer_.cache().find(this, month, areaWidth_, areaHeight_)) return;
  if (!frame(month).failed) toolkit::SetStatus(window_, "Drawing " + monthname(month) + "...");
}

void PlotWindow::play(bool on, int speed) {
  speed_ = speed;
  if (!prepared_) {
    toolkit::SetPlaying(window_, false);
    toolkit::SetStatus(window_, nostep_.empty() ? "The months of this picture are still being prepared." : nostep_);
    return;
  }
  playing_ = on;
  if (timer_) toolkit::Cancel(timer_);
  timer_ = 0;
  due_ = false;
  if (on) tick();
  else toolkit::SetStatus(window_, "Paused at " + monthname(wanted_ ? wanted_ : requested_) + ".");
}

// Play's clock: the next month is due; shown as soon as it is there.
void PlotWindow::tick() {
  timer_ = 0;
  if (!playing_) return;
  const int from = wanted_ == 0 ? requested_ : wanted_;
  const int to = next(from);
  wanted_ = to;
  due_ = true;
  ensure(to);
  prefetch();
}

void PlotWindow::ensure(int month) {
  Frame& f = frame(month);
  if (f.failed) return arrived(month);
  if (!f.drawn) return draw(month);
  if (viewer_.cache().find(this, month, areaWidth_, areaHeight_)) return arrived(month);
  render(month);
}

void PlotWindow::draw(int month, bool ahead) {
  Frame& f = frame(month);
  if (f.drawing || (ahead && !viewer_.maydraw())) return;
  f.drawing = true;
  viewer_.drawing(1);
  std::error_code ignored;
  fs::create_directories(f.dir, ignored);
  const std::vector<std::string> journal = readlines(months_[month]);
  writelines(f.dir + "/commands.txt", windowcommands(journal));
  Viewer* viewer = &viewer_;
  const int id = id_;
  std::vector<std::string> words = {"/bin/sh", viewer_.paths().bin + "/tcferret.bat", f.dir + "/commands.txt", f.dir};
  if (ahead) words = behind(words);
  startjob(words, f.dir + "/draw.log",
           [viewer, id, month](int status) {
             viewer->drawing(-1);
             PlotWindow* w = viewer->window(id);
             if (!w) return;
             Frame& f = w->frame(month);
             f.drawing = false;
             const PlotFiles files = plotfiles(f.dir);
             f.commands = readlines(files.commands);
             f.axes = readaxes(files.axes);
             f.nodata = nodatareason(readlines(f.dir + "/ferret.log"));
             if (status != 0 || !fs::exists(files.postscript)) {
               f.failed = true;
               const std::vector<std::string> said = readlines(f.dir + "/draw.log");
               f.problem = "Ferret could not draw " + w->monthname(month) + (said.empty() ? "" : ":\n" + said.back());
               w->arrived(month);
             } else {
               f.drawn = true;
               w->render(month);
             }
             w->prefetch();
           });
}

void PlotWindow::render(int month) {
  const int width = areaWidth_, height = areaHeight_;
  const auto busy = rendering_.find(month);
  if (busy != rendering_.end() && busy->second == width) return;
  rendering_[month] = width;
  const PlotFiles files = filesof(month);
  int w = pictureWidth_, h = pictureHeight_;
  picturesize(files.postscript, w, h);
  // The picture fitted into the area, by its long side.
  const double scale = std::min(double(width) / std::max(w, 1), double(height) / std::max(h, 1));
  const int pixels = std::max(64, static_cast<int>(std::max(w, h) * scale));
  const std::string out = frame(month).dir + "/shown_" + std::to_string(pixels) + ".png";
  Viewer* viewer = &viewer_;
  const int id = id_;
  std::vector<std::string> words = {"/bin/sh", "-c", ". \"$0\"; tc_ps_screen \"$1\" \"$2\" \"$3\"",
                                    viewer_.paths().bin + "/tc_paths.sh", files.postscript, out, std::to_string(pixels)};
  // A month drawn ahead is rendered as the work ahead is, below a Plot.
  if (month != wanted_ && month != shown_) words = behind(words);
  startjob(words, "", [viewer, id, month, width, height, out](int status) {
             std::string picture = status == 0 ? readfile(out) : "";
             std::remove(out.c_str());
             PlotWindow* w = viewer->window(id);
             if (!w) return;
             if (w->rendering_[month] == width) w->rendering_.erase(month);
             if (picture.empty()) {
               w->frame(month).failed = true;
               w->frame(month).problem = "Ghostscript could not render " + w->frame(month).dir + "/picture.ps";
             } else {
               viewer->cache().put(w, month, width, height, std::move(picture));
             }
             if (width == w->areaWidth_ && height == w->areaHeight_) w->arrived(month);
           });
}

void PlotWindow::arrived(int month) {
  const bool first = month == 0 && shown_ == 0 && !prepared_;
  if (month != wanted_ && !first) return;
  if (playing_ && !due_) return;
  display(month);
  if (first && answer_) {
    toolkit::ShowPictureWindow(window_);
    return;
  }
  if (playing_) {
    due_ = false;
    timer_ = toolkit::After(1000 / std::max(1, speed_), [](void* w) { static_cast<PlotWindow*>(w)->tick(); }, this);
  }
  prefetch();
}

void PlotWindow::display(int month) {
  Frame& f = frame(month);
  const std::string* picture = viewer_.cache().find(this, month, areaWidth_, areaHeight_);
  if (f.failed) {
    toolkit::SetPictureText(window_, f.problem);
  } else if (!picture || !toolkit::SetPicture(window_, *picture)) {
    toolkit::SetPictureText(window_, "The picture of " + (month ? monthname(month) : title_) + " cannot be read.");
  }
  shown_ = month;
  dataoffered(month);
  if (month) {
    title_ = plottitle(f.commands);
    toolkit::SetTitle(window_, title_);
    toolkit::SetStatus(window_, playing_ ? "Playing: " + monthname(month) : "");
  }
}

// Ferret draws ahead, at a lower priority than the pictures asked for:
// while playing, the months to come; else the months a key is likeliest
// to ask for next.
void PlotWindow::prefetch() {
  if (!prepared_ || months_.empty()) return;
  const int from = wanted_ ? wanted_ : requested_;
  std::vector<int> ahead;
  if (playing_) {
    for (int month = from, n = 0; n < kAhead; ++n) ahead.push_back(month = next(month));
  } else {
    ahead = {from + 1, from - 1, from + 12, from - 12};
  }
  for (int month : ahead) {
    if (!viewer_.maydraw()) break;
    if (!months_.count(month)) continue;
    const Frame& f = frame(month);
    if (!f.drawn && !f.drawing && !f.failed) draw(month, true);
  }
}

void PlotWindow::prepare() {
  if (!nostep_.empty() || preparing_ || requested_ == 0) return;
  preparing_ = true;
  const std::string dir = (fs::path(dir_) / "months").string();
  std::error_code ignored;
  fs::create_directories(dir, ignored);
  std::ofstream(dir + "/request.ini") << monthsrequest(request_, "2004-01..latest", "m{yyyy}{mm}.jnl");
  Viewer* viewer = &viewer_;
  const int id = id_;
  // Beside the program's own Plot, which must not wait for it.
  startjob(behind({viewer_.paths().program, "--batch", dir + "/request.ini", "--out", dir}), dir + "/batch.log",
           [viewer, id](int status) {
             if (PlotWindow* w = viewer->window(id)) w->prepared(status);
           });
}

void PlotWindow::prepared(int status) {
  preparing_ = false;
  const std::string dir = (fs::path(dir_) / "months").string();
  months_ = monthfiles(dir);
  if (months_.empty() || !months_.count(requested_)) {
    const std::vector<std::string> said = readlines(dir + "/batch.log");
    nostep_ = "The months of this picture could not be prepared" +
              (said.empty() ? std::string(".") : ": " + said.back());
    (void)status;
    toolkit::SetSteppable(window_, false, nostep_);
    return;
  }
  levels_ = chosenlevels(readlines(months_.begin()->second));
  prepared_ = true;
  toolkit::SetSteppable(window_, true, "");
  if (pending_) {
    const toolkit::Step how = *pending_;
    pending_.reset();
    return step(how);
  }
  prefetch();
}

void PlotWindow::saveAnimation() {
  if (!prepared_) return;
  toolkit::AnimationChoice choice;
  std::vector<int> months;
  for (const auto& m : months_) {
    months.push_back(m.first);
    choice.months.push_back(monthname(m.first));
  }
  const int current = wanted_ ? wanted_ : requested_;
  const auto at = std::find(months.begin(), months.end(), current);
  choice.first = static_cast<int>(at == months.end() ? 0 : at - months.begin());
  choice.last = std::min(static_cast<int>(months.size()) - 1, choice.first + 11);
  choice.speed = speed_;
  struct Naming {
    const PlotWindow* window;
    const std::vector<int>* months;
  } naming{this, &months};
  choice.nameData = &naming;
  choice.name = [](const toolkit::AnimationChoice& c, void* data) {
    const auto* n = static_cast<const Naming*>(data);
    const std::vector<std::string>& request = n->window->request_;
    return savename(request, (*n->months)[c.first], (*n->months)[c.last], "");
  };
  if (!toolkit::AskAnimation(window_, choice)) return;
  const int frames = choice.last - choice.first + 1;
  if (frames > 240 &&
      !toolkit::AskYesNo(window_, "Save Animation",
                         std::to_string(frames) + " frames take a while to draw. Save them all?"))
    return;
  const fs::path target(choice.file);
  const std::string dir = (fs::path(dir_) / "animation").string();
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  fs::create_directories(dir, ignored);
  std::vector<std::string> extra = {"speed = " + std::to_string(choice.speed)};
  if (!levels_.empty()) extra.push_back("fill = " + levels_);
  std::ofstream(dir + "/request.ini") << monthsrequest(
      request_, keyofmonth(months[choice.first]) + ".." + keyofmonth(months[choice.last]),
      target.filename().string(), extra);
  toolkit::SetStatus(window_, "Saving " + std::to_string(frames) + " months as " + target.filename().string() + "...");
  Viewer* viewer = &viewer_;
  const int id = id_;
  const std::string file = choice.file;
  startjob({viewer_.paths().program, "--batch", dir + "/request.ini", "--out", target.parent_path().string()},
           dir + "/batch.log", [viewer, id, dir, file](int status) {
             PlotWindow* w = viewer->window(id);
             if (!w) return;
             if (status == 0) {
               toolkit::SetStatus(w->window_, "Saved " + file + ".");
               return;
             }
             std::string said;
             for (const std::string& line : readlines(dir + "/batch.log")) said += line + "\n";
             toolkit::SetStatus(w->window_, "");
             toolkit::TellProblem(w->window_, "Save Animation", "The animation could not be saved:\n" + said);
           });
}

void PlotWindow::saveData() {
  std::string file;
  if (!toolkit::AskDataFile(window_, savename(request_, shown_, shown_, title_), file)) return;
  const fs::path target(file);
  const std::string dir = frame(shown_).dir + "/saved";
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  fs::create_directories(dir, ignored);
  std::ofstream(dir + "/request.ini") << monthrequest(request_, shown_, target.filename().string());
  toolkit::SetStatus(window_, "Saving the data as " + target.filename().string() + "...");
  Viewer* viewer = &viewer_;
  const int id = id_;
  startjob({viewer_.paths().program, "--batch", dir + "/request.ini", "--out", target.parent_path().string()},
           dir + "/batch.log", [viewer, id, dir, file](int status) {
             PlotWindow* w = viewer->window(id);
             if (!w) return;
             if (status == 0) return toolkit::SetStatus(w->window_, "Saved " + file + ".");
             std::string said;
             for (const std::string& line : readlines(dir + "/batch.log")) said += line + "\n";
             toolkit::SetStatus(w->window_, "");
             toolkit::TellProblem(w->window_, "Save Data", "The data could not be saved:\n" + said);
           });
}

// Save Data writes what the picture shows, through the dialog's request.
void PlotWindow::dataoffered(int month) {
  const Frame& f = frame(month);
  if (request_.empty())
    toolkit::SetDataSaving(window_, false, "this picture was not drawn from a dialog");
  else if (!f.nodata.empty())
    toolkit::SetDataSaving(window_, false, "no data: " + f.nodata);
  else
    toolkit::SetDataSaving(window_, !f.failed, "no picture");
}

void PlotWindow::shown() {
  if (answer_) answer_("shown");
  answer_ = nullptr;
  prepare();
}

void PlotWindow::closing() {
  playing_ = false;
  if (timer_) toolkit::Cancel(timer_);
  timer_ = 0;
  viewer_.cache().forget(this);
  std::error_code ignored;
  if (owned_) fs::remove_all(dir_, ignored);
  window_ = nullptr;
  viewer_.closed(id_);
}
