#include "view/plot_values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace {

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = !quoted;
      }
    } else if (c == ',' && !quoted) {
      out.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  out.push_back(field);
  return out;
}

bool numberin(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end && *end == '\0';
}

// The nearest of the ascending `grid` to `v` (round the globe when
// `circle`), within half a spacing; -1 when none.
int nearest(const std::vector<double>& grid, double v, bool circle) {
  if (grid.empty()) return -1;
  int best = -1;
  double distance = 1e300;
  for (std::size_t i = 0; i < grid.size(); ++i) {
    double d = std::fabs(grid[i] - v);
    if (circle) d = std::fmin(d, 360.0 - std::fmod(d, 360.0));
    if (d < distance) {
      distance = d;
      best = static_cast<int>(i);
    }
  }
  const double spacing = grid.size() > 1 ? (grid.back() - grid.front()) / double(grid.size() - 1) : 1.0;
  return distance <= spacing * 0.75 ? best : -1;
}

}  // namespace

PlotValues readvalues(const std::string& csv) {
  PlotValues v;
  std::ifstream in(csv);
  std::string line;
  std::vector<std::string> titles;
  while (std::getline(in, line))
    if (!line.empty() && line[0] != '#') {
      titles = fields(line);
      break;
    }
  if (titles.size() < 3) return v;
  v.longitude = titles[0].rfind("longitude", 0) == 0;
  for (std::size_t k = 2; k < titles.size(); ++k) {
    const std::string& t = titles[k];
    const auto open = t.rfind(" (");
    v.names.push_back(open == std::string::npos ? t : t.substr(0, open));
    v.units.push_back(open == std::string::npos ? "" : t.substr(open + 2, t.size() - open - 3));
  }
  std::map<std::pair<double, double>, std::vector<std::string>> rows;
  while (std::getline(in, line)) {
    std::vector<std::string> f = fields(line);
    double x, y;
    if (f.size() != titles.size() || !numberin(f[0], x) || !numberin(f[1], y)) return PlotValues{};
    if (v.longitude) x = std::fmod(std::fmod(x, 360.0) + 360.0, 360.0);
    v.xs.push_back(x);
    v.ys.push_back(y);
    rows[{x, y}] = std::vector<std::string>(f.begin() + 2, f.end());
  }
  for (std::vector<double>* axis : {&v.xs, &v.ys}) {
    std::sort(axis->begin(), axis->end());
    axis->erase(std::unique(axis->begin(), axis->end()), axis->end());
  }
  v.values.assign(v.xs.size() * v.ys.size() * v.names.size(), "");
  for (const auto& row : rows) {
    const auto i = std::lower_bound(v.xs.begin(), v.xs.end(), row.first.first) - v.xs.begin();
    const auto j = std::lower_bound(v.ys.begin(), v.ys.end(), row.first.second) - v.ys.begin();
    for (std::size_t k = 0; k < v.names.size(); ++k)
      v.values[(i * v.ys.size() + j) * v.names.size() + k] = row.second[k];
  }
  v.known = !rows.empty();
  return v;
}

std::string valueat(const PlotValues& values, double x, double y, int panel, int panels) {
  if (!values.known) return "";
  if (values.longitude) x = std::fmod(std::fmod(x, 360.0) + 360.0, 360.0);
  const int i = nearest(values.xs, x, values.longitude);
  const int j = nearest(values.ys, y, false);
  if (i < 0 || j < 0) return "";
  const std::size_t n = values.names.size();
  std::string text;
  for (std::size_t k = 0; k < n; ++k) {
    if (static_cast<int>(n) == panels && static_cast<int>(k) != panel) continue;
    const std::string& saved = values.values[(i * values.ys.size() + j) * n + k];
    double number = 0;
    if (!numberin(saved, number)) continue;
    // As many digits as a readout needs.
    char value[32];
    std::snprintf(value, sizeof value, "%.4g", number);
    text += (text.empty() ? "" : "   ") + values.names[k] + " " + value +
            (values.units[k].empty() ? "" : " " + values.units[k]);
  }
  return text;
}
