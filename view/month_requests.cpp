#include "view/month_requests.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The key of a "key = value" line, lower case; "" for other lines.
std::string keyof(const std::string& line) {
  const std::string t = trimmed(line);
  if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[') return "";
  const auto equals = t.find('=');
  return equals == std::string::npos ? "" : lower(trimmed(t.substr(0, equals)));
}

std::string gofirstword(const std::vector<std::string>& commands) {
  for (const std::string& line : commands) {
    std::istringstream in(line);
    std::string go, script;
    if (in >> go >> script && lower(go) == "go") return lower(script);
  }
  return "";
}

}  // namespace

std::string requestvalue(const std::vector<std::string>& request, const std::string& key) {
  bool inside = false;
  for (const std::string& line : request) {
    const std::string t = trimmed(line);
    if (!t.empty() && t[0] == '[') {
      if (inside) break;
      inside = true;
      continue;
    }
    if (keyof(line) != key) continue;
    std::string value = trimmed(t.substr(t.find('=') + 1));
    // A comment after a blank ends the value.
    for (const char* mark : {" ;", " #", "\t;", "\t#"}) {
      const auto at = value.find(mark);
      if (at != std::string::npos) value = trimmed(value.substr(0, at));
    }
    return value;
  }
  return "";
}

std::string rewritten(const std::vector<std::string>& request, const std::vector<std::string>& drop,
                      const std::vector<std::string>& add) {
  std::vector<std::string> replaced = drop;
  for (const std::string& line : add) replaced.push_back(keyof(line));
  std::string text;
  bool section = false;
  for (const std::string& line : request) {
    const std::string t = trimmed(line);
    if (!t.empty() && t[0] == '[') {
      if (section) break;
      section = true;
    }
    if (std::find(replaced.begin(), replaced.end(), keyof(line)) != replaced.end()) continue;
    text += line + "\n";
  }
  for (const std::string& line : add) text += line + "\n";
  return text;
}

std::string monthrequest(const std::vector<std::string>& request, int month, const std::string& output) {
  if (month == 0) return rewritten(request, {}, {"output = " + output});
  return rewritten(request, {"months"},
                   {"start = " + keyofmonth(month), "end = " + keyofmonth(month), "output = " + output});
}

std::string monthsrequest(const std::vector<std::string>& request, const std::string& months,
                          const std::string& output, const std::vector<std::string>& extra) {
  std::vector<std::string> add = {"months = " + months, "output = " + output};
  add.insert(add.end(), extra.begin(), extra.end());
  return rewritten(request, {"start", "end"}, add);
}

int monthofkey(const std::string& text) {
  int year = 0, month = 0;
  char dash = 0, rest = 0;
  if (std::sscanf(text.c_str(), "%4d%c%2d%c", &year, &dash, &month, &rest) != 3 || dash != '-') return 0;
  if (year < 2004 || month < 1 || month > 12) return 0;
  return (year - 2004) * 12 + month;
}

std::string keyofmonth(int month) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d", 2004 + (month - 1) / 12, (month - 1) % 12 + 1);
  return text;
}

std::string nostepreason(const std::vector<std::string>& request, const std::vector<std::string>& commands) {
  const std::string script = gofirstword(commands);
  for (const char* timeAxis : {"hovmoller", "time_series", "_line", "nino_ind", "wwv"})
    if (script.find(timeAxis) != std::string::npos)
      return "This picture has time on an axis: there is no month to step.";
  if (request.empty()) return "This picture was not drawn from a dialog: there is no month to step.";
  const std::string start = requestvalue(request, "start");
  const std::string end = requestvalue(request, "end");
  if (monthofkey(start) == 0) return "This picture has no month of its own to step.";
  if (!end.empty() && end != start)
    return "This picture averages the months " + start + " to " + end + ": there is no single month to step.";
  return "";
}

std::map<int, std::string> monthfiles(const std::string& dir) {
  std::map<int, std::string> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    int year = 0, month = 0;
    char rest[8] = {};
    if (name.size() == 11 && std::sscanf(name.c_str(), "m%4d%2d.%3s", &year, &month, rest) == 3 &&
        std::string(rest) == "jnl" && year >= 2004 && month >= 1 && month <= 12)
      files[(year - 2004) * 12 + month] = entry.path().string();
  }
  return files;
}

std::string chosenlevels(const std::vector<std::string>& journal) {
  for (const std::string& line : journal) {
    const std::string t = trimmed(line);
    if (t.rfind("! levels ", 0) == 0) return trimmed(t.substr(9));
    if (!t.empty() && t[0] != '!') break;
  }
  return "";
}

std::string nodatareason(const std::vector<std::string>& ferretlog) {
  for (const std::string& line : ferretlog) {
    const auto at = line.find("Empty frame:");
    if (at != std::string::npos) return trimmed(line.substr(at + 12));
  }
  return "";
}
