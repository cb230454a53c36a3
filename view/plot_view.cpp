#include "view/plot_view.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

extern char** environ;

std::vector<std::string> readlines(const std::string& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

PlotFiles plotfiles(const std::string& dir) {
  const fs::path d(dir);
  return {dir, (d / "picture.png").string(), (d / "picture.ps").string(), (d / "commands.txt").string(),
          (d / "axes.txt").string()};
}

PlotAxes readaxes(const std::string& file) {
  PlotAxes a;
  bool page = false, x = false, y = false;
  for (const std::string& line : readlines(file)) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    if (word == "page")
      page = bool(in >> a.pageWidth >> a.pageHeight >> a.xOrigin >> a.yOrigin >> a.xLength >> a.yLength);
    else if (word == "x")
      x = bool(in >> a.xMin >> a.xMax);
    else if (word == "y")
      y = bool(in >> a.yMin >> a.yMax);
    else if (word == "time")
      in >> a.timeUnitDays >> a.timeYear >> a.timeMonth >> a.timeDay;
    else if (word == "xtime")
      a.xTime = true;
    else if (word == "ytime")
      a.yTime = true;
  }
  a.known = page && x && y && a.pageWidth > 0 && a.pageHeight > 0 && a.xLength > 0 && a.yLength > 0;
  if ((a.xTime || a.yTime) && a.timeUnitDays <= 0) a.known = false;
  return a;
}

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The go line's script name, "fer_psal_map" of " go fer_psal_map 54 ...".
std::string goscript(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    std::istringstream in(line);
    std::string go, script;
    if (in >> go >> script && lower(go) == "go") return lower(script);
  }
  return "";
}

std::string degrees(double v, char positive, char negative) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%c", std::fabs(v), v < 0 ? negative : positive);
  return text;
}

std::string longitude(double v) {
  v = std::fmod(v, 360.0);
  if (v < 0) v += 360.0;
  if (v > 180.0) return degrees(360.0 - v, 'W', 'W');
  return degrees(v, 'E', 'E');
}

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", v);
  return text;
}

// Days since 1 January of year 1 (proleptic Gregorian) and back.
long daynumber(int year, int month, int day) {
  const int y = year - (month <= 2);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097L + doe;
}

std::string monthtext(const PlotAxes& a, double value) {
  static const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const long days = daynumber(a.timeYear, a.timeMonth, a.timeDay) + std::lround(std::floor(value * a.timeUnitDays));
  // Back from the day number: count months from March of year 0.
  const long era = (days >= 0 ? days : days - 146096) / 146097;
  const long doe = days - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const long year = yoe + era * 400 + (month <= 2);
  char text[32];
  std::snprintf(text, sizeof text, "%s %ld", names[month - 1], year);
  return text;
}

}  // namespace

PlotKind plotkind(const std::vector<std::string>& commandLines) {
  const std::string script = goscript(commandLines);
  if (script.find("hovmoller") != std::string::npos) return PlotKind::Hovmoller;
  if (script.find("time_series") != std::string::npos || script.find("_line") != std::string::npos)
    return PlotKind::TimeSeries;
  if (script.find("section") != std::string::npos) return PlotKind::Section;
  if (script.find("map") != std::string::npos) return PlotKind::Map;
  return PlotKind::Unknown;
}

std::string plottitle(const std::vector<std::string>& commandLines) {
  std::string title;
  for (const std::string& line : commandLines) {
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || lower(word) != "label") continue;
    const auto open = line.find('"');
    const auto close = line.rfind('"');
    if (open == std::string::npos || close <= open + 1) continue;
    std::string text = line.substr(open + 1, close - open - 1);
    // Ferret's degree sign and other escapes are not for a title bar.
    for (const char* code : {"^o", "@AS", "@SR", "@P1"}) {
      for (auto at = text.find(code); at != std::string::npos; at = text.find(code))
        text.erase(at, std::strlen(code));
    }
    // Blanks that place a label on the page mean nothing in a title.
    std::istringstream words(text);
    std::string part, joined;
    while (words >> part) joined += (joined.empty() ? "" : " ") + part;
    if (joined.empty()) continue;
    title += (title.empty() ? "" : " - ") + joined;
  }
  return title.empty() ? "Tidecharter plot" : title;
}

std::string readouttext(PlotKind kind, const PlotAxes& a, double fx, double fy) {
  if (!a.known) return "";
  const double px = fx * a.pageWidth;
  const double py = (1.0 - fy) * a.pageHeight;
  const double ux = (px - a.xOrigin) / a.xLength;
  const double uy = (py - a.yOrigin) / a.yLength;
  if (ux < 0 || ux > 1 || uy < 0 || uy > 1) return "";
  const double x = a.xMin + ux * (a.xMax - a.xMin);
  const double y = a.yMin + uy * (a.yMax - a.yMin);
  const std::string xs = a.xTime ? monthtext(a, x) : number(x);
  const std::string ys = a.yTime ? monthtext(a, y) : number(y);
  switch (kind) {
    case PlotKind::Map:
      return "Longitude " + longitude(x) + "   Latitude " + degrees(y, 'N', 'S');
    case PlotKind::Section:
      return "Position " + number(x) + "   Pressure " + number(y) + " dbar";
    case PlotKind::TimeSeries:
      return (a.xTime ? "Month " + xs + "   Value " + ys : "Value " + xs + "   Month " + ys);
    case PlotKind::Hovmoller:
      return a.yTime ? "Position " + xs + "   Month " + ys : "Month " + xs + "   Position " + ys;
    case PlotKind::Unknown:
      break;
  }
  return "x " + xs + "   y " + ys;
}

toolkit::ScreenArea cascade(const toolkit::ScreenArea& area, const toolkit::ScreenArea& last,
                            int pictureWidth, int pictureHeight, int extraHeight) {
  // The window manager's frame is not known before the window is shown.
  const int frame = 32;
  const int step = 32;
  toolkit::ScreenArea next;
  const double aspect = pictureWidth > 0 && pictureHeight > 0 ? double(pictureWidth) / pictureHeight : 4.0 / 3;
  // Three quarters of the free area, so that several windows cascade.
  int height = std::max(120, area.height * 3 / 4 - extraHeight - frame);
  int width = static_cast<int>(height * aspect);
  if (width > area.width * 3 / 4) {
    width = area.width * 3 / 4;
    height = static_cast<int>(width / aspect);
  }
  next.width = std::max(width, 160);
  next.height = height + extraHeight;
  next.x = area.x;
  next.y = area.y;
  if (last.width > 0) {
    next.x = last.x + step;
    next.y = last.y + step;
    if (next.x + next.width > area.x + area.width || next.y + next.height + frame > area.y + area.height) {
      next.x = area.x;
      next.y = area.y;
    }
  }
  return next;
}

namespace {

bool copyfile(const std::string& from, const std::string& to, std::string& problem) {
  std::error_code error;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  if (error) problem = "cannot write " + to + ": " + error.message();
  return !error;
}

bool run(const std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool landscape(const std::string& postscript) {
  for (const std::string& line : readlines(postscript)) {
    if (line.rfind("%%PageOrientation:", 0) == 0) return line.find("Landscape") != std::string::npos;
    if (line.rfind("%%EndComments", 0) == 0) break;
  }
  return false;
}

}  // namespace

std::string saveplot(const PlotFiles& files, const std::string& target) {
  const fs::path picture(target);
  const std::string extension = lower(picture.extension().string());
  if (extension != ".png" && extension != ".jpg" && extension != ".jpeg" && extension != ".pdf" &&
      extension != ".ps")
    return "Save As writes .png, .jpg, .pdf or .ps pictures, not " + picture.filename().string();
  fs::path journal = picture;
  journal.replace_extension(".jnl");
  const fs::path dir = picture.parent_path().empty() ? fs::path(".") : picture.parent_path();
  // Written under other names and renamed when both are complete, so that
  // a failure leaves nothing behind.
  const fs::path partial = dir / ("." + picture.filename().string() + ".partial");
  const fs::path partialJournal = dir / ("." + journal.filename().string() + ".partial");
  std::string problem;
  if (extension == ".png") {
    copyfile(files.picture, partial.string(), problem);
  } else if (extension == ".jpg" || extension == ".jpeg") {
    problem = toolkit::ConvertPicture(files.picture, partial.string(), "jpg");
  } else if (!fs::exists(files.postscript)) {
    problem = "no PostScript of this plot was kept";
  } else if (extension == ".ps") {
    copyfile(files.postscript, partial.string(), problem);
  } else if (!run({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite", "-dAutoRotatePages=/None",
                   "-sOutputFile=" + partial.string(), "-c",
                   landscape(files.postscript) ? "<</Orientation 3>> setpagedevice" : "",
                   "-f", files.postscript})) {
    problem = "Ghostscript could not write " + target;
  }
  if (problem.empty()) {
    std::ofstream out(partialJournal);
    out << "! " << fs::absolute(picture).lexically_normal().string() << ", drawn by tidecharter-view\n";
    for (const std::string& line : readlines(files.commands)) out << line << '\n';
    out.close();
    if (!out) problem = "cannot write " + journal.string() + " in " + dir.string();
  }
  std::error_code error;
  if (problem.empty()) fs::rename(partialJournal, journal, error);
  if (problem.empty() && !error) fs::rename(partial, picture, error);
  if (error && problem.empty()) problem = "cannot write " + target + ": " + error.message();
  if (!problem.empty()) {
    std::error_code ignored;
    fs::remove(partial, ignored);
    fs::remove(partialJournal, ignored);
    if (error) fs::remove(journal, ignored);
    if (!fs::is_directory(dir, ignored)) return "cannot save into " + dir.string() + ": no such directory";
    if (access(dir.c_str(), W_OK) != 0) return "cannot save into " + dir.string() + ": it cannot be written";
  }
  return problem;
}
