#include "plots/plot_common.h"
#include "plots/timeseries.h"

#include <cmath>

#include "core/core_state.h"
#include "ferret/dates.h"
#include "ferret/record.h"
#include "plots/fill_levels.h"
#include "plots/plot_procedures.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int kDialog = 104;
const char* const kFillHint = "e.g.(2,6,0.5)(6,30,2)(lo,hi,delta) No spaces";

// Depth against time (1, 3, 5); every other property is drawn as time
// against longitude.
bool depthgroup(int property) { return property == 1 || property == 3 || property == 5; }

bool validproperty(int property) { return property >= 1 && property <= 9; }
bool validplottype(int plottype) { return plottype >= 1 && plottype <= 3; }

const char* goscript(int property, int plottype) {
  static const char* const scripts[9][3] = {
      {"go fer_temp_time_series ", "go fer_temp_time_series_yearly_anom ",
       "go fer_temp_time_series_monthly_anom "},
      {"go fer_temp_hovmoller ", "go fer_temp_hovmoller_yearly_anom ",
       "go fer_temp_hovmoller_monthly_anom "},
      {"go fer_psal_time_series ", "go fer_psal_time_series_yearly_anom ",
       "go fer_psal_time_series_monthly_anom "},
      {"go fer_psal_hovmoller ", "go fer_psal_hovmoller_yearly_anom ",
       "go fer_psal_hovmoller_monthly_anom "},
      {"go fer_podens_time_series ", "go fer_podens_time_series_yearly_anom ",
       "go fer_podens_time_series_monthly_anom "},
      {"go fer_podens_hovmoller ", "go fer_podens_hovmoller_yearly_anom ",
       "go fer_podens_hovmoller_monthly_anom "},
      {"go fer_dyn_ht_hovmoller ", "go fer_dyn_ht_hovmoller_yearly_anom ",
       "go fer_dyn_ht_hovmoller_monthly_anom "},
      {"go fer_alt_ht_hovmoller ", "go fer_alt_ht_hovmoller_yearly_anom ",
       "go fer_alt_ht_hovmoller_monthly_anom "},
      {"go fer_sst_hovmoller ", "go fer_sst_hovmoller_yearly_anom ",
       "go fer_sst_hovmoller_monthly_anom "},
  };
  return scripts[property - 1][plottype - 1];
}

// The title in double quotes, with the blanks some titles carry after the
// closing quote.
std::string title(int property, int plottype) {
  struct Title {
    const char* text;
    int blanks;
  };
  // Properties 2, 4 and 6 share the titles of 1, 3 and 5.
  static const Title titles[7][3] = {
      {{"Time series of Argo Temperature (^oC)", 0},
       {"Time Series of Argo Temperature Difference from Four Year Mean (2004-2007)", 0},
       {"Time Series of Argo Temperature Anomaly from Monthly Mean", 0}},
      {{"Time series of Argo Salinity", 0},
       {"Time Series of Argo Salinity Difference from Four Year Mean (2004-2007)", 1},
       {"Time Series of Argo Salinity Anomaly from Monthly Mean", 0}},
      {{"Time series of Argo Potential Density", 0},
       {"Time Series of Argo Potential Density Difference from Four Year Mean (2004-2007)", 7},
       {"Time Series of Argo Potential Density Anomaly from Monthly Mean", 0}},
      {{"Time series of Argo Dynamic Height", 0},
       {"Time Series of Argo Dynamic Height Difference from Four Year Mean (2004-2007)", 2},
       {"Time Series of Argo Dynamic Height Anomaly from Monthly Mean", 0}},
      {{"Time series of Aviso Altimetric Height", 0},
       {"Time Series of Aviso Dynamic Height Difference from Four Year Mean (2004-2007)", 1},
       {"Time Series of Aviso Altimetric Height Anomaly from Monthly Mean", 0}},
      {{"Time series of Reynolds Sea Surface Temperature", 0},
       {"Time Series of Reynolds SST Difference from Four Year Mean (2004-2007)", 1},
       {"Time Series of Reynolds Sea Surface Temperature Anomaly from Monthly Mean", 2}},
  };
  static const int row[9] = {0, 0, 1, 1, 2, 2, 3, 4, 5};
  const Title& t = titles[row[property - 1]][plottype - 1];
  return "\"" + std::string(t.text) + "\"" + std::string(t.blanks, ' ');
}

std::string latmark(int item) { return item == 2 ? "^oS" : "^oN"; }
std::string lonmark(int item) { return item == 2 ? "^oW" : "^oE"; }

// Inner characters of the label texts.
std::string latitudeinner(const TimeSeriesRequest& r) {
  std::string s = FormatF(std::fabs(r.south), 4, 1) + latmark(r.southItem);
  if (r.south != r.north) return s + "-" + FormatF(std::fabs(r.north), 4, 1) + latmark(r.northItem);
  return s + std::string(8, ' ');
}

std::string longitudeinner(const TimeSeriesRequest& r) {
  std::string s = FormatF(r.west, 5, 1) + lonmark(r.westItem);
  if (r.west != r.east) return s + "-" + FormatF(r.east, 5, 1) + lonmark(r.eastItem);
  return s + std::string(9, ' ');
}

std::string pressureinner(const TimeSeriesRequest& r) {
  if (r.upper == r.lower) return std::string(9, ' ') + FormatI(r.upper, 4) + " dbar" + std::string(5, ' ');
  return "Averaged " + FormatI(r.upper, 4) + "-" + FormatI(r.lower, 4) + " dbar";
}

std::string pressurepairinner(const TimeSeriesRequest& r) {
  return FormatI(r.upper, 4) + "/" + FormatI(r.lower, 4) + " dbar";
}

std::string label(float x, float y, const std::string& text) {
  return labelline(x, 7, 2, y, 7, 1, "0.14", text);
}

}  // namespace

void preparetimeseries(TimeSeriesRequest& r) { prepareregion(r); }

void readtimeseries(TimeSeriesRequest& r) {
  readregionrequest(r);
  preparetimeseries(r);
}

int timeseriespressurecheck(const TimeSeriesRequest& r) {
  if (r.upper > r.lower) return 1;
  if (r.upper == r.lower && (r.property == 1 || r.property == 3 || r.property == 5 || r.property == 7))
    return 2;
  return 0;
}

int timeseriesrequestcheck(const TimeSeriesRequest& r, int argoend, int avisoend, int reynoldsend) {
  if (!depthgroup(r.property) && std::fabs(r.east - r.west) < 5.0f) return 3;
  if (r.endYear < r.startYear || (r.endYear == r.startYear && r.startMonth > r.endMonth)) return 4;
  const int start = r.startIndex(), end = r.endIndex();
  if (r.property == 8) return start > avisoend || end > avisoend ? 5 : 0;
  if (r.property == 9) return start > reynoldsend || end > reynoldsend ? 6 : 0;
  return start > argoend || end > argoend ? 7 : 0;
}

UserMessage timeseriesmessage(int number, int argoend, int avisoend, int reynoldsend) {
  switch (number) {
    case 1:
      return {"Input Error", "Please re-enter 2) Vertical units, such that ",
              "Min is less than or equal to Max value."};
    case 2:
      return {"Input Error", "This calculation requires two  ", "different pressure values."};
    case 3:
      return {"Input Error", "This option works best with a longitude span ",
              "greater than 5 degrees."};
    case 4:
      return {"Input error", "Please enter End date either equal to",
              "or greater than Start date."};
    case 5:
      return {"Input out of range", "Aviso grid current through " + compactdate(avisoend), ""};
    case 6:
      return {"Input out of range", "Reynolds SST grid current through " + compactdate(reynoldsend), ""};
    case 7:
      return {"Input out of range", " Argo grid current through " + compactdate(argoend), ""};
    default:
      return {};
  }
}

std::vector<std::string> timeserieslines(const TimeSeriesRequest& r) {
  std::vector<std::string> lines;
  const int p = r.property;
  if (!validproperty(p)) return lines;
  const bool depth = depthgroup(p);

  // Label positions in the plot's own axis units, in single precision.
  const float s = static_cast<float>(r.startIndex());
  const float e = static_cast<float>(r.endIndex());
  float east = r.east;
  float centre, left, right, titley, subtitley;
  if (depth) {
    const float d = static_cast<float>(r.lower - r.upper);
    centre = s + 0.5f * (e - s);
    left = s + 0.5f * (centre - s);
    right = centre + 0.5f * (e - centre);
    titley = static_cast<float>(r.upper) - 0.0933f * d;
    subtitley = static_cast<float>(r.upper) - 0.0266f * d;
  } else {
    // A band that crosses 0 degrees east is drawn eastwards past 360.
    if (r.west > east) east += 360.0f;
    const float d = e - s;
    centre = r.west + 0.5f * (east - r.west);
    left = r.west + 0.5f * (centre - r.west);
    right = centre + 0.5f * (east - centre);
    titley = e + 0.0933f * d;
    subtitley = e + 0.0266f * d;
  }
  if (centre < 2.0f) centre = 1.0f;

  if (validplottype(r.plottype)) {
    std::string go = goscript(p, r.plottype) + FormatF(s, 5, 1) + " " + FormatF(e, 5, 1) + " ";
    if (p <= 7) go += FormatI(r.upper, 4) + " " + FormatI(r.lower, 4) + " ";
    go += FormatF(r.south, 8, 2) + FormatF(r.north, 8, 2) + FormatF(r.west, 8, 2) +
          FormatF(east, 8, 2) + " " + FormatA(r.fill, 44);
    lines.push_back(go);
    if (r.plottype == 1 && p >= 5 && p <= 8) lines.push_back(ListRecord().line());
    if (p <= 7) lines.push_back(label(centre, titley, title(p, r.plottype)));
    else lines.push_back("label/nouser 4.50,6.10,0,0,0.15 " + title(p, r.plottype));
  }

  const std::string lat = latitudeinner(r);
  if (r.matched >= 2) {
    lines.push_back(label(left, subtitley, quoted(lat + ", " + longitudeinner(r))));
    lines.push_back(label(right, subtitley, quoted(FormatA(r.name, 34))));
  } else if (p >= 8) {
    lines.push_back("label/nouser 4.50,5.60,0,0,0.15 " + quoted(lat));
  } else {
    lines.push_back(label(left, subtitley, quoted(lat)));
    std::string second;
    if (depth) second = longitudeinner(r);
    else if (p == 7) second = pressurepairinner(r);
    else second = pressureinner(r);
    lines.push_back(label(right, subtitley, quoted(second)));
  }
  return lines;
}

bool writetimeseriesfile(const PlotSlot& slot, int action, const TimeSeriesRequest& r) {
  return writeplotfile(slot, action, PlotLines{timeserieslines(r)});
}

void timeviewfields(CoreState& app) {
  WDialogSelect(kDialog);
  int property = 0;
  WDialogGetMenu(kPlotPropertyMenu, property);
  const int pressureState = property == 8 || property == 9 ? 0 : 1;
  for (int field : {kSeriesUnitsLabel, kPlotPressureLabel, kPlotUpperLabel, kPlotLowerLabel,
                    kPlotUpperMenu, kPlotLowerMenu})
    WDialogFieldState(field, pressureState);
  for (int field : {kSeriesBuoyLabel, kSeriesOrLabel, kPlotLocationMenu})
    WDialogFieldState(field, 1);
  int choice = 0;
  WDialogGetMenu(kPlotLocationMenu, choice);
  if (choice != 1) buoyselect(app.locations, choice, "line");
  filllevelcheck(property, app.tim.previousProperty, kFillHint);
  app.tim.previousProperty = property;
}

void plottimeseries(CoreState& app) {
  WDialogSelect(kDialog);
  WDialogShow(-1, -1, 0, 2);
  PlotSlot slot;
  if (!beginplotrequest(app, app.tim, slot)) return;

  TimeSeriesRequest r;
  readtimeseries(r);
  if (int m = timeseriespressurecheck(r)) {
    refuse(app, timeseriesmessage(m, app.argoend, app.avisoend, app.reynoldsend));
    return;
  }
  matchlocation(app, r);
  if (int m = timeseriesrequestcheck(r, app.argoend, app.avisoend, app.reynoldsend)) {
    refuse(app, timeseriesmessage(m, app.argoend, app.avisoend, app.reynoldsend));
    return;
  }
  if (auto message = readfilltext(r.fill)) {
    refuse(app, *message);
    return;
  }
  app.log.write(ListRecord().add("time stringfill=").add(r.fill));
  namelocation(app, r);

  if (!writerequestfile(app, slot, app.tim.action, PlotLines{timeserieslines(r)})) return;
  runplotrequest(app, app.tim, slot, 5, 0, 0);
}
