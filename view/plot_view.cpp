#include "view/plot_view.h"

#include "ferret/dates.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
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
  return {dir, (d / "picture.ps").string(), (d / "commands.txt").string(), (d / "axes.txt").string()};
}

namespace {
bool landscape(const std::string& postscript);
}  // namespace

bool picturesize(const std::string& postscript, int& width, int& height) {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool box = false;
  std::ifstream in(postscript);
  std::string line;
  while (!box && std::getline(in, line) && line.rfind("%%EndComments", 0) != 0)
    if (line.rfind("%%BoundingBox:", 0) == 0)
      box = std::sscanf(line.c_str() + 14, "%lf %lf %lf %lf", &x0, &y0, &x1, &y1) == 4 && x1 > x0 && y1 > y0;
  if (!box) return false;
  const bool turned = landscape(postscript);
  // A landscape plot lies turned on its page; the picture is upright.
  width = static_cast<int>(turned ? y1 - y0 : x1 - x0);
  height = static_cast<int>(turned ? x1 - x0 : y1 - y0);
  return true;
}

int rasterize(const std::string& bin, const std::string& postscript, const std::string& out,
              const std::string& device, int pixels) {
  return runprogram({"/bin/sh", "-c", ". \"$0\"; tc_ps_raster \"$1\" \"$2\" \"$3\" \"$4\"",
                     bin + "/tc_paths.sh", postscript, out, device, std::to_string(pixels)},
                    "/dev/null");
}

PlotAxes readaxes(const std::string& file) {
  PlotAxes a;
  AxesPanel last;
  bool page = false, x = false, y = false;
  for (const std::string& line : readlines(file)) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    if (word == "page")
      page = bool(in >> a.pageWidth >> a.pageHeight >> last.xOrigin >> last.yOrigin >> last.xLength >> last.yLength);
    else if (word == "x")
      x = bool(in >> last.xMin >> last.xMax);
    else if (word == "y")
      y = bool(in >> last.yMin >> last.yMax);
    else if (word == "reversed")
      in >> last.xReversed >> last.yReversed;
    else if (word == "viewport")
      in >> last.vpX >> last.vpY >> last.vpScale;
  }
  for (const std::string& line : readlines((fs::path(file).parent_path() / "panels.txt").string())) {
    std::istringstream in(line);
    std::string word;
    AxesPanel p;
    if (in >> word && word == "panel" &&
        in >> p.vpX >> p.vpY >> p.vpScale >> p.xOrigin >> p.yOrigin >> p.xLength >> p.yLength >> p.xMin >> p.xMax >>
            p.yMin >> p.yMax)
      a.panels.push_back(p);
  }
  if (a.panels.empty() && x && y) a.panels.push_back(last);
  a.known = page && a.pageWidth > 0 && a.pageHeight > 0 && !a.panels.empty();
  for (const AxesPanel& p : a.panels) a.known = a.known && p.xLength > 0 && p.yLength > 0 && p.vpScale > 0;
  return a;
}

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The go line's script name, "fer_psal_map" of " go fer_psal_map 54 ...".
// The go line's script and its first argument, lower case.
std::string goscript(const std::vector<std::string>& lines, std::string* first = nullptr) {
  for (const std::string& line : lines) {
    std::istringstream in(line);
    std::string go, script, argument;
    if (in >> go >> script && lower(go) == "go") {
      if (first && in >> argument) *first = lower(argument);
      return lower(script);
    }
  }
  return "";
}

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
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

std::string monthtext(double index) {
  std::string date, name, numbers;
  int year = 0;
  writedate(static_cast<int>(std::lround(index)), date, name, year, numbers);
  return date;
}

}  // namespace

PlotKind plotkind(const std::vector<std::string>& commandLines) {
  std::string direction;
  const std::string script = goscript(commandLines, &direction);
  if (script.find("hovmoller") != std::string::npos) return PlotKind::Hovmoller;
  if (script.find("time_series") != std::string::npos) return PlotKind::TimeSeries;
  if (script.find("_line") != std::string::npos) return PlotKind::Line;
  if (script.find("section") != std::string::npos)
    return direction == "e" ? PlotKind::SectionEastWest : PlotKind::SectionNorthSouth;
  // The derived products' maps too (the isotherm, heat potential and
  // mixed-layer depth).
  if (script.find("map") != std::string::npos || script == "fer_depth20" || script == "fer_tchp" ||
      script == "fer_mld")
    return PlotKind::Map;
  return PlotKind::Unknown;
}

std::string plottitle(const std::vector<std::string>& commandLines) {
  std::string title;
  for (const std::string& line : commandLines) {
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || lower(word).rfind("label", 0) != 0) continue;
    const auto open = line.find('"');
    const auto close = line.rfind('"');
    if (open == std::string::npos || close <= open + 1) continue;
    std::string text = line.substr(open + 1, close - open - 1);
    // Ferret's degree sign, fonts and colours are not for a title bar.
    for (const char* code : {"^o", "@AS", "@SR", "@P1"}) {
      for (auto at = text.find(code); at != std::string::npos; at = text.find(code))
        text.erase(at, std::strlen(code));
    }
    for (auto at = text.find("@C"); at != std::string::npos && at + 5 <= text.size(); at = text.find("@C", at))
      text.erase(at, 5);
    // Blanks that place a label on the page mean nothing in a title.
    std::istringstream words(text);
    std::string part, joined;
    while (words >> part) joined += (joined.empty() ? "" : " ") + part;
    if (joined.empty()) continue;
    title += (title.empty() ? "" : " - ") + joined;
  }
  // A line drawing's go script draws its property's name itself, so its
  // labels alone would not say what is drawn.
  const std::string script = goscript(commandLines);
  static const struct {
    const char* prefix;
    const char* name;
  } properties[] = {{"fer_temp_line", "Argo Temperature"},       {"fer_psal_line", "Argo Salinity"},
                    {"fer_dyn_ht_line", "Argo Dynamic Height"},  {"fer_alt_ht_line", "Aviso Altimetric Height"},
                    {"fer_sst_line", "Reynolds SST"}};
  for (const auto& p : properties) {
    if (script.rfind(p.prefix, 0) != 0) continue;
    const std::string name = std::string(p.name) + (script.find("_anom") != std::string::npos ? " Anomaly" : "");
    title = title.empty() ? name : name + " - " + title;
  }
  return title.empty() ? "Tidecharter plot" : title;
}

bool axispoint(const PlotAxes& a, double fx, double fy, double& x, double& y, int* panel) {
  if (!a.known) return false;
  const double px = fx * a.pageWidth, py = (1.0 - fy) * a.pageHeight;
  for (const AxesPanel& p : a.panels) {
    if (panel) *panel = static_cast<int>(&p - a.panels.data());
    const double ux = (px - p.vpX * a.pageWidth - p.xOrigin / p.vpScale) / (p.xLength / p.vpScale);
    const double uy = (py - p.vpY * a.pageHeight - p.yOrigin / p.vpScale) / (p.yLength / p.vpScale);
    if (ux < 0 || ux > 1 || uy < 0 || uy > 1) continue;
    x = p.xReversed ? p.xMax - ux * (p.xMax - p.xMin) : p.xMin + ux * (p.xMax - p.xMin);
    y = p.yReversed ? p.yMax - uy * (p.yMax - p.yMin) : p.yMin + uy * (p.yMax - p.yMin);
    return true;
  }
  return false;
}

std::string pointrequest(const std::vector<std::string>& commandLines, double lon, double lat,
                         const std::string& output) {
  // The go line: " go fer_<property>_map A B U L S N W E ...".
  std::vector<std::string> words;
  for (const std::string& line : commandLines) {
    std::istringstream in(line);
    std::string word;
    words.clear();
    while (in >> word) words.push_back(word);
    if (words.size() >= 6 && lower(words[0]) == "go") break;
    words.clear();
  }
  if (words.empty()) return "";
  const std::string script = lower(words[1]);
  // The line drawing of the property against month where there is one;
  // potential density has only the time series against pressure.
  static const struct {
    const char* script;
    const char* kind;
    const char* property;
    bool pressure;
  } series[] = {
      {"fer_temp_map", "line", "argo temperature vs. time", true},
      {"fer_psal_map", "line", "argo salinity vs. time", true},
      {"fer_dyn_ht_map", "line", "argo dynamic height vs. time", true},
      {"fer_alt_ht_map", "line", "aviso altimetric height vs. time", false},
      {"fer_sst_map", "line", "reynolds sst vs. time", false},
      {"fer_podens_map", "time series", "argo potential density (depth", true},
  };
  for (const auto& s : series) {
    if (script != s.script) continue;
    lon = std::fmod(lon, 360.0);
    if (lon < 0) lon += 360.0;
    char region[64];
    std::snprintf(region, sizeof region, "%.1f%c %.1fE", std::fabs(lat), lat < 0 ? 'S' : 'N', lon);
    std::string text = "[point]\nkind = " + std::string(s.kind) + "\nproperty = " + s.property + "\n";
    if (s.pressure) {
      // A time series against pressure needs a range; the map's own level
      // heads it.
      const int upper = std::atoi(words[4].c_str());
      int lower = std::atoi(words[5].c_str());
      if (std::string(s.kind) == "time series" && lower <= upper) lower = upper + 500;
      text += "pressure = " + (upper == lower ? std::to_string(upper)
                                              : std::to_string(upper) + "-" + std::to_string(lower)) + "\n";
    }
    return text + "region = " + region + "\nstart = 2004-01\nend = latest\noutput = " + output + "\n";
  }
  return "";
}

std::string readouttext(PlotKind kind, const PlotAxes& a, double fx, double fy) {
  double x, y;
  if (!axispoint(a, fx, fy, x, y)) return "";
  switch (kind) {
    case PlotKind::Map:
      return "Longitude " + longitude(x) + "   Latitude " + degrees(y, 'N', 'S');
    case PlotKind::SectionNorthSouth:
      return "Latitude " + degrees(x, 'N', 'S') + "   Pressure " + number(y) + " dbar";
    case PlotKind::SectionEastWest:
      return "Longitude " + longitude(x) + "   Pressure " + number(y) + " dbar";
    case PlotKind::TimeSeries:
      return "Month " + monthtext(x) + "   Pressure " + number(y) + " dbar";
    case PlotKind::Line:
      return "Month " + monthtext(x) + "   Value " + number(y);
    case PlotKind::Hovmoller:
      return "Longitude " + longitude(x) + "   Month " + monthtext(y);
    case PlotKind::Unknown:
      break;
  }
  return "x " + number(x) + "   y " + number(y);
}

toolkit::ScreenArea cascade(const toolkit::ScreenArea& area, const toolkit::ScreenArea& last,
                            int pictureWidth, int pictureHeight, int extraHeight) {
  // The window manager's frame is not known before the window is shown.
  const int frame = 48;
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

// Ferret's PostScript names its orientation in the page's set-up, after
// the header's comments.
bool landscape(const std::string& postscript) {
  // Only the header is read: the picture is drawn on the screen's thread.
  std::ifstream in(postscript);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("%%PageOrientation:", 0) == 0) return line.find("Landscape") != std::string::npos;
    if (line.rfind("%%EndPageSetup", 0) == 0) break;
  }
  return false;
}

// A new file in `dir` that nobody else can have named first (mkstemp:
// O_CREAT|O_EXCL, never through a link), holding a copy of `from`; its
// name, or "" with `problem` set.
std::string placedcopy(const std::string& from, const fs::path& dir, const std::string& name,
                       std::string& problem) {
  std::string made = (dir / ("." + name + ".XXXXXX")).string();
  const int out = mkstemp(made.data());
  if (out < 0) {
    problem = "cannot write in " + dir.string() + ": " + std::strerror(errno);
    return "";
  }
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  bool done = in >= 0;
  char buffer[1 << 16];
  for (ssize_t got; done && (got = read(in, buffer, sizeof buffer)) != 0;) {
    done = got > 0;
    for (ssize_t at = 0; done && at < got;) {
      const ssize_t put = write(out, buffer + at, static_cast<size_t>(got - at));
      done = put > 0;
      at += put;
    }
  }
  // As a file made with the user's umask would be.
  const mode_t mask = umask(0);
  umask(mask);
  done = done && fchmod(out, 0666 & ~mask) == 0;
  done = close(out) == 0 && done;
  if (in >= 0) close(in);
  if (!done) {
    problem = "cannot write " + (dir / name).string() + ": " + std::strerror(errno ? errno : EIO);
    unlink(made.c_str());
    return "";
  }
  return made;
}

}  // namespace

std::string journalof(const std::string& target) {
  fs::path journal(target);
  return journal.replace_extension(".jnl").string();
}

bool ownedview(const std::string& dir, const std::string& tmp) {
  std::error_code error;
  const fs::path d = fs::absolute(dir, error).lexically_normal();
  struct stat info {};
  if (error || d.filename().string().rfind("view.", 0) != 0) return false;
  if (fs::weakly_canonical(d.parent_path(), error) != fs::weakly_canonical(tmp, error) || error) return false;
  if (lstat(d.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) return false;
  const std::string mark = (d / kViewMark).string();
  return lstat(mark.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == getuid();
}

std::string saveplot(const PlotFiles& files, const std::string& target, SavedCommands commands,
                     const std::string& bin) {
  const fs::path picture(target);
  const std::string extension = lower(picture.extension().string());
  if (extension != ".png" && extension != ".jpg" && extension != ".jpeg" && extension != ".pdf" &&
      extension != ".ps")
    return "Save As writes .png, .jpg, .pdf or .ps pictures, not " + picture.filename().string();
  const fs::path journal = journalof(target);
  const fs::path dir = picture.parent_path().empty() ? fs::path(".") : picture.parent_path();
  std::error_code error;
  if (!fs::is_directory(dir, error)) return "cannot save into " + dir.string() + ": no such directory";
  if (access(dir.c_str(), W_OK) != 0) return "cannot save into " + dir.string() + ": it cannot be written";
  if (commands == SavedCommands::Beside && fs::exists(fs::symlink_status(journal, error)))
    return journal.string() + " exists: the commands of another picture would be lost; "
           "save under another name or remove it";
  // Both made in a private directory first, then placed beside the
  // target under new names and renamed over it, so that a failure leaves
  // nothing behind.
  std::string scratch = (fs::temp_directory_path(error) / "tcsave.XXXXXX").string();
  if (!mkdtemp(scratch.data())) return std::string("cannot make a scratch directory: ") + std::strerror(errno);
  const std::string made = (fs::path(scratch) / ("saved" + extension)).string();
  const std::string madeJournal = (fs::path(scratch) / "saved.jnl").string();
  std::string problem;
  if (!fs::exists(files.postscript)) {
    problem = "no PostScript of this plot was kept";
  } else if (extension == ".png" || extension == ".jpg" || extension == ".jpeg") {
    // Sharp on a maximised 4K screen.
    if (rasterize(bin, files.postscript, made, extension == ".png" ? "png16m" : "jpeg", 3840) != 0)
      problem = "Ghostscript could not write " + target;
  } else if (extension == ".ps") {
    fs::copy_file(files.postscript, made, fs::copy_options::overwrite_existing, error);
    if (error) problem = "cannot copy the PostScript: " + error.message();
  } else if (runprogram({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite", "-dAutoRotatePages=/None",
                   "-sOutputFile=" + made, "-c",
                   landscape(files.postscript) ? "<</Orientation 3>> setpagedevice" : "",
                   "-f", files.postscript}, "") != 0) {
    problem = "Ghostscript could not write " + target;
  }
  if (problem.empty() && commands != SavedCommands::None) {
    std::ofstream out(madeJournal);
    out << "! " << fs::absolute(picture).lexically_normal().string() << ", drawn by tidecharter-view\n";
    for (const std::string& line : readlines(files.commands)) out << line << '\n';
    out.close();
    if (!out) problem = "cannot write the commands in " + scratch;
  }
  std::string placed, placedJournal;
  if (problem.empty()) placed = placedcopy(made, dir, picture.filename().string(), problem);
  if (problem.empty() && commands != SavedCommands::None)
    placedJournal = placedcopy(madeJournal, dir, journal.filename().string(), problem);
  if (problem.empty() && !placedJournal.empty() && rename(placedJournal.c_str(), journal.c_str()) != 0)
    problem = "cannot write " + journal.string() + ": " + std::strerror(errno);
  if (problem.empty() && rename(placed.c_str(), picture.c_str()) != 0) {
    problem = "cannot write " + target + ": " + std::strerror(errno);
    if (!placedJournal.empty()) unlink(journal.c_str());
  }
  if (!problem.empty()) {
    if (!placed.empty()) unlink(placed.c_str());
    if (!placedJournal.empty()) unlink(placedJournal.c_str());
  }
  fs::remove_all(scratch, error);
  return problem;
}

std::string savename(const std::vector<std::string>& request, int first, int last, const std::string& title) {
  auto word = [](const std::string& text) {
    std::string out;
    for (char c : text) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (std::isalnum(u) || c == '-' || c == '.') out += static_cast<char>(std::tolower(u));
      else if (!out.empty() && out.back() != '_') out += '_';
    }
    while (!out.empty() && out.back() == '_') out.pop_back();
    return out;
  };
  auto value = [&request](const std::string& key) {
    for (const std::string& line : request) {
      const auto equals = line.find('=');
      if (equals == std::string::npos || lower(trim(line.substr(0, equals))) != key) continue;
      return trim(line.substr(equals + 1));
    }
    return std::string();
  };
  auto key = [](int month) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d", 2004 + (month - 1) / 12, (month - 1) % 12 + 1);
    return std::string(text);
  };
  const std::string property = value("property");
  if (property.empty()) {
    const std::string name = word(title);
    return name.empty() ? "tidecharter_plot" : name.substr(0, 60);
  }
  const std::string start = first > 0 ? key(first) : value("start");
  const std::string end = first > 0 ? key(last) : value("end");
  std::string name = word(property.substr(0, property.find(" - "))) + "_" + start;
  if (!end.empty() && end != start) name += "_" + end;
  const std::string pressure = value("pressure");
  if (!pressure.empty()) name += "_" + pressure + "dbar";
  return name;
}

int runprogram(const std::vector<std::string>& words, const std::string& log) {
  std::vector<char*> argv;
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!log.empty()) {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  pid_t pid;
  const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> windowcommands(const std::vector<std::string>& journal) {
  std::vector<std::string> kept;
  for (const std::string& line : journal) {
    std::istringstream in(line);
    std::string a, b, c;
    in >> a >> b >> c;
    if (lower(a) == "set" && lower(b) == "mode" && lower(c).rfind("metafile", 0) == 0) continue;
    if (a.rfind("!", 0) == 0) continue;
    kept.push_back(line);
  }
  return kept;
}
