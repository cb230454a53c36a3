#include "plots/plot_common.h"
#include "plots/linedrawing.h"

#include <cmath>

#include "core/core_state.h"
#include "plots/notanoption.h"
#include "ferret/dates.h"
#include "ferret/record.h"
#include "plots/plot_procedures.h"
#include "core/user_message.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int kDialog = 109;

// The quantity the curve runs along, which must take two different values.
enum Axis { kTime, kPressure, kLatitude, kLongitude };

Axis axisof(int property) {
  switch (property) {
    case 2: case 6: case 9: case 10: return kPressure;
    case 3: case 7: return kLatitude;
    case 4: case 8: return kLongitude;
    default: return kTime;
  }
}

bool validproperty(int property) { return property >= 1 && property <= 13; }
bool validplottype(int plottype) { return plottype >= 1 && plottype <= 3; }

const char* goscriptbase(int property) {
  if (property <= 4) return "go fer_temp_line";
  if (property <= 8) return "go fer_psal_line";
  if (property <= 10) return "go fer_temp_psal";
  if (property == 11) return "go fer_dyn_ht_line";
  if (property == 12) return "go fer_alt_ht_line";
  return "go fer_sst_line";
}

std::string goscript(int property, int plottype) {
  static const char* const suffix[3] = {" ", "_yearly_anom ", "_monthly_anom "};
  return std::string(goscriptbase(property)) + suffix[plottype - 1];
}

// The x-axis selector; 0 when the go line has none.
int selector(int property, int plottype) {
  static const int sel[10] = {1, 2, 3, 4, 1, 2, 3, 4, 1, 2};
  if (property <= 10) return sel[property - 1];
  return plottype == 2 ? 0 : 1;
}

// Titles of plot types 2 and 3, quoted, with their trailing blanks.
std::string title(int property, int plottype) {
  const char* data;
  if (property <= 4) data = "Argo Temperature";
  else if (property <= 8) data = "Argo Salinity";
  else if (property == 11) data = "Argo Dynamic Height";
  else if (property == 12) data = "Aviso Altimetric Height";
  else data = "Reynolds SST";
  const std::string kind = plottype == 2 ? " Difference from Four Year Mean (2004-2007)"
                                         : " Anomaly from Monthly Mean";
  const int blanks = property == 13 && plottype == 3 ? 17 : 0;
  return "\"" + std::string(data) + kind + "\"" + std::string(blanks, ' ');
}

std::string labeltext(const std::string& inner) { return "\"@C016" + inner + "\""; }

std::string latmark(int item) { return item == 2 ? "^oS" : "^oN"; }
std::string lonmark(int item) { return item == 2 ? "^oW" : "^oE"; }

std::string pressuretext(const LineRequest& r) {
  if (r.upper == r.lower) return labeltext(FormatI(r.upper, 4) + " dbar");
  return labeltext("Averaged " + FormatI(r.upper, 4) + "-" + FormatI(r.lower, 4) + " dbar");
}

std::string timetext(const LineRequest& r) {
  std::string start(8, ' '), end(8, ' '), name(9, ' '), num(6, ' ');
  int year = 0;
  writedate(r.startIndex, start, name, year, num);
  if (r.startIndex == r.endIndex) return labeltext(start + " " + std::string(10, ' '));
  writedate(r.endIndex, end, name, year, num);
  return labeltext(start + " - " + end);
}

std::string latitudetext(const LineRequest& r) {
  std::string s = FormatF(std::fabs(r.south), 4, 1) + " " + latmark(r.southItem);
  if (r.south != r.north) s += " - " + FormatF(std::fabs(r.north), 4, 1) + " " + latmark(r.northItem);
  else s += std::string(11, ' ');
  return labeltext(s);
}

std::string longitudetext(const LineRequest& r) {
  std::string s = FormatF(r.west, 5, 1) + " " + lonmark(r.westItem);
  if (r.west != r.east) s += " - " + FormatF(r.east, 5, 1) + lonmark(r.eastItem) + " ";
  else s += std::string(12, ' ');
  return labeltext(s);
}

std::string annotation(const char* y, const std::string& text) {
  return std::string("label/nouser 7.05,") + y + ",0,0,0.15 " + text;
}

}  // namespace

bool lineonemonth(int property, int plottype) {
  return plottype == 3 && (property == 2 || property == 3 || property == 4 || property == 6 ||
                           property == 7 || property == 8);
}

bool linenotanoption(int property, int plottype) {
  return (property == 9 || property == 10) && (plottype == 2 || plottype == 3);
}

void prepareline(LineRequest& r) {
  prepareregion(r);
  r.startIndex = monthindex(r.startYear, r.startMonth);
  r.endIndex = monthindex(r.endYear, r.endMonth);
}

void readlinedrawing(LineRequest& r) {
  readregionrequest(r);
  prepareline(r);
}

int linepressurecheck(const LineRequest& r) { return r.upper > r.lower ? 1 : 0; }

int linerequestcheck(LineRequest& r, int argoend, int avisoend, int reynoldsend) {
  int dataend = argoend, message = 2;
  if (r.property == 12) dataend = avisoend, message = 3;
  if (r.property == 13) dataend = reynoldsend, message = 4;
  if (r.startIndex > dataend || r.endIndex > dataend) return message;

  if (lineonemonth(r.property, r.plottype)) {
    r.endIndex = r.startIndex;
  } else if (r.endYear < r.startYear || (r.endYear == r.startYear && r.startMonth > r.endMonth)) {
    return 5;
  }

  switch (axisof(r.property)) {
    case kTime: return r.startIndex == r.endIndex ? 6 : 0;
    case kPressure: return r.upper == r.lower ? 7 : 0;
    case kLatitude: return r.south == r.north ? 8 : 0;
    case kLongitude: return r.west == r.east ? 9 : 0;
  }
  return 0;
}

UserMessage linemessage(int number, int argoend, int avisoend, int reynoldsend) {
  const std::string two = "This calculation requires two  ";
  switch (number) {
    case 1:
      return {"Input Error", "Please re-enter 2) Vertical units, such that ",
              "Min is less than or equal to Max value."};
    case 2:
      return {"Input out of range", " Argo grid current through " + compactdate(argoend), ""};
    case 3:
      return {"Input out of range", "Aviso grid current through " + compactdate(avisoend), ""};
    case 4:
      return {"Input out of range", "Reynolds SST grid current through " + compactdate(reynoldsend), ""};
    case 5:
      return {"Input error", "Please enter End date either equal to",
              "or greater than Start date."};
    case 6: return {"Input Error", two, "different time values."};
    case 7: return {"Input Error", two, "different pressure values."};
    case 8: return {"Input Error", two, "different latitude values."};
    case 9: return {"Input Error", two, "different longitude values."};
    default: return {};
  }
}

std::vector<std::string> linedrawinglines(const LineRequest& r) {
  std::vector<std::string> lines;
  const int p = r.property;
  if (!validproperty(p) || !validplottype(r.plottype) || linenotanoption(p, r.plottype)) return lines;

  // The go line carries the longitudes as typed, without the 360 that other
  // kinds add to a band across 0 degrees east.
  ListRecord go;
  go.add(goscript(p, r.plottype));
  if (int sel = selector(p, r.plottype)) go.add(sel);
  go.add(r.startIndex).add(r.endIndex).add(r.upper).add(r.lower);
  go.add(r.south).add(r.north).add(r.west).add(r.east);
  lines.push_back(go.line());

  if (r.plottype != 1) lines.push_back("label/nouser 4.10,6.10,0,0,0.15 " + title(p, r.plottype));

  if (p == 1 || p == 3 || p == 4 || p == 5 || p == 7 || p == 8)
    lines.push_back(annotation("0.70", pressuretext(r)));
  else if (p == 9)
    lines.push_back(annotation("1.00", pressuretext(r)));

  if (p == 2 || p == 6 || p >= 9) lines.push_back(annotation("0.70", timetext(r)));
  else if (p == 3 || p == 4 || p == 7 || p == 8) lines.push_back(annotation("0.40", timetext(r)));

  if (p == 4 || p == 8) lines.push_back(annotation("0.10", latitudetext(r)));
  else if (p != 3 && p != 7) lines.push_back(annotation("0.40", latitudetext(r)));

  if (p != 4 && p != 8) lines.push_back(annotation("0.10", longitudetext(r)));

  if (r.matched >= 2)
    lines.push_back("label/nouser 2.50,0.10,0,0,0.15 " + labeltext(FormatA(r.name, 34)));
  return lines;
}

PlotLines linedrawingbody(const LineRequest& r) {
  PlotLines body;
  body.option = !linenotanoption(r.property, r.plottype);
  if (body.option) body.lines = linedrawinglines(r);
  return body;
}

bool writelinedrawingfile(const PlotSlot& slot, int action, const LineRequest& r) {
  return writeplotfile(slot, action, linedrawingbody(r));
}

void lineviewfields(CoreState& app) {
  WDialogSelect(kDialog);
  int property = 0, choice = 0, plottype = 0;
  WDialogGetMenu(kPlotPropertyMenu, property);
  WDialogGetMenu(kPlotLocationMenu, choice);
  if (choice != 1) buoyselect(app.locations, choice, "line");
  WDialogGetMenu(kPlotTypeMenu, plottype);
  const int endState = lineonemonth(property, plottype) ? 0 : 1;
  for (int field : {kPlotEndLabel, kPlotEndMonthMenu, kPlotEndYearMenu})
    WDialogFieldState(field, endState);
  const int pressureState = property == 12 || property == 13 ? 0 : 1;
  for (int field : {kPlotUnitsLabel, kPlotUpperMenu, kPlotUpperLabel, kPlotLowerMenu,
                    kPlotLowerLabel, kPlotPressureLabel})
    WDialogFieldState(field, pressureState);
}

void plotlinedrawing(CoreState& app) {
  WDialogSelect(kDialog);
  WDialogShow(-1, -1, 0, 2);
  PlotSlot slot;
  if (!beginplotrequest(app, app.lin, slot)) return;

  LineRequest r;
  readlinedrawing(r);
  if (int m = linepressurecheck(r)) {
    refuse(app, linemessage(m, app.argoend, app.avisoend, app.reynoldsend));
    return;
  }
  matchlocation(app, r);
  if (int m = linerequestcheck(r, app.argoend, app.avisoend, app.reynoldsend)) {
    refuse(app, linemessage(m, app.argoend, app.avisoend, app.reynoldsend));
    return;
  }
  namelocation(app, r);

  const PlotLines body = linedrawingbody(r);
  if (!writerequestfile(app, slot, app.lin.action, body)) {
    if (!body.option) refuse(app, notanoption());
    return;
  }
  runplotrequest(app, app.lin, slot, 4, 0, 0);
}
