#include "plots/plot_request.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "plots/plot_kinds.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

namespace {

bool haskey(const PlotKind& kind, const char* key) {
  for (const std::string& k : kind.batchKeys)
    if (k == key) return true;
  return false;
}

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The selected item of menu `field` as the batch run finds it again: its
// text when no other item reads the same and the text survives the request
// file (no comment mark after a blank), else its number where numbers are
// taken.
bool menuchoice(int field, const char* key, bool numbers, std::string& value, std::string& problem) {
  std::vector<std::string> items;
  WDialogGetMenuItems(field, items);
  int item = 0;
  WDialogGetMenu(field, item);
  if (item < 1 || item > static_cast<int>(items.size())) {
    InfoError(1);
    problem = std::string(key) + ": no item chosen";
    return false;
  }
  const std::string text = trimmed(items[item - 1]);
  bool plain = !text.empty() && text.find(" ;") == std::string::npos && text.find(" #") == std::string::npos &&
               text.find('\t') == std::string::npos;
  for (int i = 1; plain && i < item; ++i) plain = menuwords(items[i - 1]) != menuwords(text);
  if (plain) {
    value = text;
  } else if (numbers) {
    value = std::to_string(item);
  } else {
    problem = std::string(key) + ": item " + std::to_string(item) + " has no text a request can name";
    return false;
  }
  return true;
}

// The shortest decimal text that reads back as `value`.
std::string decimal(float value) {
  char text[64];
  for (int decimals = 0; decimals <= 12; ++decimals) {
    std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value));
    if (std::stof(text) == value) break;
  }
  return text;
}

bool edge(int box, int letterMenu, float limit, std::string& out, std::string& problem) {
  float value = 0.0f;
  InfoError(1);
  WDialogGetReal(box, value);
  const bool read = InfoError(1) == 0;
  std::string letter;
  if (!read || !(value >= 0.0f && value <= limit) || !menuchoice(letterMenu, "region", false, letter, problem)) {
    if (problem.empty()) problem = "region: an edge that is not a number from 0 to " + decimal(limit);
    return false;
  }
  out = decimal(value) + letter;
  return true;
}

bool pressure(const PlotKind& kind, std::string& value, std::string& problem) {
  static const std::regex number(R"(\d{1,5}(\.\d{1,3})?)");
  std::string upper(20, ' '), lower(20, ' ');
  int item = 0;
  WDialogGetMenu(kind.upper, item, &upper);
  WDialogGetMenu(kind.lower, item, &lower);
  InfoError(1);
  upper = trimmed(upper);
  lower = trimmed(lower);
  if (!std::regex_match(upper, number) || !std::regex_match(lower, number)) {
    problem = "pressure: \"" + upper + "\" to \"" + lower + "\" is not a pressure range in dbar";
    return false;
  }
  value = upper == lower ? upper : upper + "-" + lower;
  return true;
}

// YYYY-MM of a month and a year menu; an end menu without a selection
// means the start's month or year, as the plot procedures read it.
bool month(int monthMenu, int yearMenu, int startMonth, int startYear, const char* key, std::string& value,
           int& monthItem, int& yearItem, std::string& problem) {
  WDialogGetMenu(monthMenu, monthItem);
  WDialogGetMenu(yearMenu, yearItem);
  InfoError(1);
  if (monthItem == -999) monthItem = startMonth;
  if (yearItem == -999) yearItem = startYear;
  std::vector<std::string> years;
  WDialogGetMenuItems(yearMenu, years);
  const std::string year =
      yearItem >= 1 && yearItem <= static_cast<int>(years.size()) ? trimmed(years[yearItem - 1]) : "";
  if (monthItem < 1 || monthItem > 12 || year.size() != 4) {
    problem = std::string(key) + ": no month of the year menus chosen";
    return false;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%s-%02d", year.c_str(), monthItem);
  value = text;
  return true;
}

}  // namespace

std::string menuwords(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\t';
    if (blank && (out.empty() || out.back() == ' ' || out.back() == '-')) continue;
    if (c == '-' && !out.empty() && out.back() == ' ') out.pop_back();
    out += blank ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string plotrequestsection(const PlotKind& kind, const std::string& name, std::string& problem) {
  problem.clear();
  std::vector<std::pair<std::string, std::string>> keys{{"kind", kind.batchName}};
  auto menu = [&](const char* key, int field) {
    std::string value;
    if (!menuchoice(field, key, true, value, problem)) return false;
    keys.emplace_back(key, value);
    return true;
  };
  if (!menu("property", kPlotPropertyMenu) || !menu("plot", kPlotTypeMenu)) return "";
  if (haskey(kind, "direction") && !menu("direction", kVertDirectionMenu)) return "";
  if (haskey(kind, "land") && !menu("land", kPlotLandMenu)) return "";
  std::string value;
  if (haskey(kind, "pressure")) {
    if (!pressure(kind, value, problem)) return "";
    keys.emplace_back("pressure", value);
  }
  if (haskey(kind, "vectors")) {
    std::string x, y;
    if (!menuchoice(kMapVectorXMenu, "vectors", false, x, problem) ||
        !menuchoice(kMapVectorYMenu, "vectors", false, y, problem))
      return "";
    keys.emplace_back("vectors", x + " " + y);
  }

  // The region as the boxes hold it: a chosen location has put its own
  // there, and the plot procedures match it again from them. A section's
  // other edge is ignored by its procedure; it goes as the one it runs along.
  std::string south, north, west, east;
  if (!edge(kPlotSouthBox, kPlotSouthLetterMenu, 90.0f, south, problem) ||
      !edge(kPlotNorthBox, kPlotNorthLetterMenu, 90.0f, north, problem) ||
      !edge(kPlotWestBox, kPlotWestLetterMenu, 400.0f, west, problem) ||
      !edge(kPlotEastBox, kPlotEastLetterMenu, 400.0f, east, problem))
    return "";
  if (haskey(kind, "direction")) {
    int direction = 0;
    WDialogGetMenu(kVertDirectionMenu, direction);
    if (direction == 1) east = west;
    if (direction == 2) north = south;
  }
  keys.emplace_back("region", south + "-" + north + " " + west + "-" + east);

  if (haskey(kind, "fill")) {
    int levels = 0;
    WDialogGetRadioButton(kPlotDefaultLevelsRadio, levels);
    std::string typed(44, ' ');
    if (levels == 2) WDialogGetString(kPlotLevelsBox, typed);
    typed = trimmed(typed);
    keys.emplace_back("fill", typed.empty() ? "default" : typed);
  }

  // Last, so that a reader asking for months instead drops the last two lines.
  int startMonth = 0, startYear = 0, endMonth = 0, endYear = 0;
  if (!month(kind.startMonth, kind.startYear, -999, -999, "start", value, startMonth, startYear, problem)) return "";
  keys.emplace_back("start", value);
  if (!month(kind.endMonth, kind.endYear, startMonth, startYear, "end", value, endMonth, endYear, problem)) return "";
  keys.emplace_back("end", value);

  std::string text = "[" + name + "]\n";
  for (const auto& [key, v] : keys) text += key + " = " + v + "\n";
  return text;
}

void writeplotrequest(const PlotSlot& slot) {
  const std::string code = slot.outputName.substr(0, slot.outputName.find_first_of("0123456789"));
  const PlotKind* kind = nullptr;
  for (const PlotKind& k : plotkinds())
    if (code == k.code) kind = &k;
  std::filesystem::path file = IOsHostPath(trimmed(slot.windowsPath));
  file.replace_extension(".ini");
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  if (!kind) return;
  WDialogSelect(kind->dialog);
  std::string problem;
  const std::string section = plotrequestsection(*kind, slot.outputName, problem);
  if (section.empty()) return;
  std::filesystem::path partial = file;
  partial += ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << section;
    if (!out.flush()) {
      out.close();
      std::filesystem::remove(partial, ignored);
      return;
    }
  }
  std::filesystem::rename(partial, file, ignored);
  if (ignored) std::filesystem::remove(partial, ignored);
}
