#include "batch/frame_levels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>

namespace {

// The round step nearest to `raw`: 1, 2, 2.5 or 5 times a power of ten.
// `decimals` receives the decimals it needs.
double roundstep(double raw, int& decimals) {
  const int power = static_cast<int>(std::floor(std::log10(raw)));
  const double scale = std::pow(10.0, power);
  double best = 1.0;
  for (double step : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (std::fabs(std::log(step * scale / raw)) < std::fabs(std::log(best * scale / raw))) best = step;
  const double step = best * scale;
  decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)) + (best == 2.5 ? 1 : 0));
  return step;
}

std::string number(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string out = text;
  if (out.find_first_not_of("-0.") == std::string::npos) return "0";
  return out;
}

}  // namespace

std::vector<int> samplemonths(int first, int last, int count) {
  std::vector<int> months;
  const int n = last - first + 1;
  if (n <= 0) return months;
  if (n <= count) {
    for (int m = first; m <= last; ++m) months.push_back(m);
    return months;
  }
  for (int i = 0; i < count; ++i) {
    const int m = first + static_cast<int>(std::lround(static_cast<double>(i) * (n - 1) / (count - 1)));
    if (months.empty() || months.back() != m) months.push_back(m);
  }
  return months;
}

std::string framelevels(const std::vector<std::string>& output) {
  static const std::regex line(R"(\s*TCRANGE\s+(auto|(\d+)[cC])\s+(\S+)\s+(\S+)\s*)");
  std::string kind;
  int centred = 0;
  double lo = HUGE_VAL, hi = -HUGE_VAL;
  for (const std::string& text : output) {
    std::smatch m;
    if (!std::regex_match(text, m, line)) continue;
    const std::string low = m[3], high = m[4];
    char* end = nullptr;
    const double a = std::strtod(low.c_str(), &end);
    if (*end) continue;
    const double b = std::strtod(high.c_str(), &end);
    if (*end || !std::isfinite(a) || !std::isfinite(b)) continue;
    // The first panel with default levels is the one the fill is for.
    if (kind.empty()) {
      kind = m[1];
      centred = m[2].matched ? std::stoi(m[2]) : 0;
    }
    if (m[1] != kind) continue;
    lo = std::min(lo, std::min(a, b));
    hi = std::max(hi, std::max(a, b));
  }
  if (kind.empty()) return "";

  int decimals = 0;
  double first = 0, last = 0, step = 0;
  if (centred > 0) {
    double reach = std::max(std::fabs(lo), std::fabs(hi));
    if (reach == 0) reach = 1;
    step = roundstep(2 * reach / centred, decimals);
    last = std::ceil(reach / step - 1e-9) * step;
    first = -last;
  } else {
    double span = hi - lo;
    if (span <= 0) span = lo != 0 ? std::fabs(lo) / 10 : 1;
    step = roundstep(span / 30, decimals);
    first = std::floor(lo / step + 1e-9) * step;
    last = std::ceil(hi / step - 1e-9) * step;
    if (last <= first) last = first + step;
  }
  const std::string levels =
      "(-inf)(" + number(first, decimals) + "," + number(last, decimals) + "," + number(step, decimals) + ")(inf)";
  // The dialog's levels box holds 44 characters.
  return levels.size() <= 44 ? levels : "";
}
