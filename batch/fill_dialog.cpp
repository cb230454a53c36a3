#include "batch/fill_dialog.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "core/core_state.h"
#include "ferret/dates.h"
#include "plots/plot_kinds.h"
#include "plots/plot_procedures.h"
#include "plots/plot_request.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int kOutOfRange = 1009;

std::string quote(const std::string& text) { return '"' + text + '"'; }

std::vector<std::string> menuitems(int field) {
  std::vector<std::string> items;
  WDialogGetMenuItems(field, items);
  return items;
}

void selectitem(int field, int item) {
  const std::vector<std::string> items = menuitems(field);
  WDialogPutMenu(field, items, static_cast<int>(items.size()), item);
}

bool alldigits(const std::string& text) {
  if (text.empty() || text.size() > 6) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// The item of menu `field` that `wanted` names, counting from item `first`:
// its text, a unique prefix of it, or with `numbers` its item number. 0 when
// there is none, with the reason in `errors`.
int choose(int field, const std::string& key, const std::string& wanted, std::vector<std::string>& errors,
           bool numbers = true, int first = 1) {
  const std::vector<std::string> items = menuitems(field);
  const std::string w = menuwords(wanted);
  std::vector<int> prefixed;
  std::string offered;
  for (int i = first; i <= static_cast<int>(items.size()); ++i) {
    const std::string item = menuwords(items[i - 1]);
    if (item.empty()) continue;
    offered += (offered.empty() ? "" : ", ") + items[i - 1];
    if (item == w) {
      selectitem(field, i);
      return i;
    }
    if (!w.empty() && item.compare(0, w.size(), w) == 0) prefixed.push_back(i);
  }
  int found = prefixed.size() == 1 ? prefixed[0] : 0;
  if (found == 0 && numbers && alldigits(w)) {
    const int n = std::stoi(w);
    if (n >= first && n <= static_cast<int>(items.size()) && !menuwords(items[n - 1]).empty()) found = n;
  }
  if (found) {
    selectitem(field, found);
    return found;
  }
  if (prefixed.size() > 1) {
    std::string matches;
    for (int i : prefixed) matches += (matches.empty() ? "" : ", ") + items[i - 1];
    errors.push_back(key + ": " + quote(wanted) + " matches more than one item: " + matches);
  } else {
    errors.push_back(key + ": " + quote(wanted) + " matches no item; one of " + offered +
                     (numbers ? ", or an item number" : ""));
  }
  return 0;
}

std::string edgetext(const Edge& e) {
  std::ostringstream text;
  text << e.value << e.hemisphere;
  return text.str();
}

void putedge(int valueField, int letterField, const Edge& edge, std::vector<std::string>& errors) {
  InfoError(1);
  // More decimals than the box shows are kept, as a user's typing keeps them.
  const std::string format =
      edge.decimals > 2 ? "(f" + std::to_string(edge.decimals + 5) + "." + std::to_string(edge.decimals) + ")" : "";
  WDialogPutReal(valueField, edge.value, format);
  if (InfoError(1) == kOutOfRange)
    errors.push_back("region: " + edgetext(edge) + " is beyond what this dialog accepts there");
  choose(letterField, "region", std::string(1, edge.hemisphere), errors, false);
}

// A pressure as the dialog takes it: an item of the editable menu when it
// is one, else typed into the menu's box; the plot procedure checks it.
void putpressure(int field, const std::string& text) {
  std::vector<std::string> items = menuitems(field);
  for (int i = 1; i <= static_cast<int>(items.size()); ++i)
    if (items[i - 1] == text) return selectitem(field, i);
  WDialogPutMenu(field, items, static_cast<int>(items.size()), 0, &text);
}

// The data set the chosen property comes from, and its end month.
struct DataSet {
  const char* name;
  int end;
};

DataSet dataset(const CoreState& app) {
  int item = 0;
  std::string text(100, ' ');
  WDialogGetMenu(kPlotPropertyMenu, item, &text);
  const std::string t = menuwords(text);
  if (t.find("reynolds") != std::string::npos) return {"Reynolds", app.reynoldsend};
  if (t.find("aviso") != std::string::npos) return {"Aviso", app.avisoend};
  return {"Argo", app.argoend};
}

void putmonth(const PlotKind& k, bool start, const MonthChoice& m, const DataSet& data,
              const std::vector<std::string>& unknownEnds, std::vector<std::string>& errors) {
  const char* key = start ? "start" : "end";
  if (m.latest && std::find(unknownEnds.begin(), unknownEnds.end(), data.name) != unknownEnds.end()) {
    errors.push_back(std::string(key) + ": latest: the " + data.name + " data's end date is unknown");
    return;
  }
  const int index = m.latest ? data.end - m.before : (m.year - 2004) * 12 + m.month;
  std::string date(8, ' '), monthname(9, ' '), numtext(6, ' ');
  int year = 0;
  writedate(index, date, monthname, year, numtext);
  const int month = index - 12 * ((index - 1) / 12);
  const int yearField = start ? k.startYear : k.endYear;
  const std::vector<std::string> years = menuitems(yearField);
  int yearItem = 0;
  for (int i = 1; i <= static_cast<int>(years.size()); ++i)
    if (index >= 1 && years[i - 1] == std::to_string(year)) yearItem = i;
  if (years.empty()) {
    errors.push_back(std::string(key) + ": the dialog has no year menu");
    return;
  }
  if (yearItem == 0) {
    errors.push_back(std::string(key) + ": " + (index >= 1 ? date : "a month before Jan 2004") +
                     " is not a month of the dialog, Jan " + years.front() + " to Dec " +
                     (years.back().empty() ? years[years.size() - 2] : years.back()));
    return;
  }
  selectitem(start ? k.startMonth : k.endMonth, month);
  selectitem(yearField, yearItem);
}

}  // namespace

FilledDialog filldialog(CoreState& app, const ProductRequest& r, const std::vector<std::string>& unknownEnds) {
  FilledDialog out;
  std::vector<std::string>& errors = out.errors;
  const PlotKind& k = *r.kind;
  loadparameterdialog(app, k.dialog);
  datayears(app, k.dialog);
  if (std::find(unknownEnds.begin(), unknownEnds.end(), "Argo") == unknownEnds.end()) datadefaults(app, k.dialog);

  if (!r.property.empty()) choose(kPlotPropertyMenu, "property", r.property, errors);
  k.fields(app);
  WDialogSelect(k.dialog);

  if (!r.plot.empty()) choose(kPlotTypeMenu, "plot", r.plot, errors);
  if (!r.direction.empty()) choose(kVertDirectionMenu, "direction", r.direction, errors);
  if (!r.land.empty()) choose(kPlotLandMenu, "land", r.land, errors);
  if (r.vectorsGiven) {
    choose(kMapVectorXMenu, "vectors", r.vectorX, errors, false);
    choose(kMapVectorYMenu, "vectors", r.vectorY, errors, false);
  }
  if (r.pressureGiven) {
    putpressure(k.upper, r.upperText);
    putpressure(k.lower, r.lowerText);
  }
  if (!r.location.empty()) choose(kPlotLocationMenu, "location", r.location, errors, false, 2);
  if (r.region.given) {
    putedge(kPlotSouthBox, kPlotSouthLetterMenu, r.region.south, errors);
    putedge(kPlotNorthBox, kPlotNorthLetterMenu, r.region.north, errors);
    putedge(kPlotWestBox, kPlotWestLetterMenu, r.region.west, errors);
    putedge(kPlotEastBox, kPlotEastLetterMenu, r.region.east, errors);
    if (r.kind->state == &CoreState::ver) {
      int direction = 0;
      WDialogGetMenu(kVertDirectionMenu, direction);
      const Edge &s = r.region.south, &n = r.region.north, &w = r.region.west, &e = r.region.east;
      if (direction == 1 && (w.value != e.value || w.hemisphere != e.hemisphere))
        errors.push_back("region: a north-south section runs along one longitude; give one, as in 60S-65N 140W");
      if (direction == 2 && (s.value != n.value || s.hemisphere != n.hemisphere))
        errors.push_back("region: an east-west section runs along one latitude; give one, as in 0N 130E-80W");
    }
  }
  if (r.start.given) putmonth(k, true, r.start, dataset(app), unknownEnds, errors);
  if (r.end.given) putmonth(k, false, r.end, dataset(app), unknownEnds, errors);
  if (r.fillGiven && r.fill.empty()) {
    WDialogPutRadioButton(kPlotDefaultLevelsRadio);
  } else if (r.fillGiven) {
    WDialogPutRadioButton(kPlotOwnLevelsRadio);
    WDialogFieldState(kPlotLevelsBox, 1);
    WDialogPutString(kPlotLevelsBox, r.fill);
  }

  k.fields(app);
  WDialogSelect(k.dialog);
  if (r.fillGiven && !r.fill.empty()) {
    int levels = 0;
    WDialogGetRadioButton(kPlotDefaultLevelsRadio, levels);
    if (levels != 2) errors.push_back("fill: the dialog offers only the default levels for this property");
  }

  int month = 0, yearItem = 0;
  WDialogGetMenu(k.startMonth, month);
  WDialogGetMenu(k.startYear, yearItem);
  out.startIndex = monthindex(yearItem, month);
  WDialogGetMenu(k.endMonth, month);
  WDialogGetMenu(k.endYear, yearItem);
  out.endIndex = monthindex(yearItem, month);
  WDialogGetMenu(kPlotPropertyMenu, out.property);
  WDialogGetMenu(kPlotTypeMenu, out.plotType);
  InfoError(1);
  return out;
}

void pressplot(CoreState& app, const ProductRequest& r) {
  const PlotKind& k = *r.kind;
  WDialogSelect(k.dialog);
  app.itype = PushButton;
  app.message = MessageRecord{};
  app.message.win = k.dialog;
  app.message.value1 = kPlotJpgButton;
  k.plot(app);
  dropdialog(r);
}

void dropdialog(const ProductRequest& r) {
  WDialogSelect(r.kind->dialog);
  WDialogUnload();
}
