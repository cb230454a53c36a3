#include "plots/plot_common.h"
#include "plots/mapview.h"

#include "core/core_state.h"
#include "plots/notanoption.h"
#include "ferret/dates.h"
#include "ferret/record.h"
#include "plots/fill_levels.h"
#include "plots/plot_procedures.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int kDialog = 103;

// One cell of the go-line and title tables. `args` names the go-line values
// in order by their request letters.
struct MapEntry {
  const char* script;
  const char* args;
  const char* title;
  int blanksAfter;  // blanks written after the closing quote
  bool smallTitle;  // size 0.15 instead of 0.17
};

const char* const kMap = "ABULSNWERTF";
const char* const kMapNoStations = "ABULSNWERF";
const char* const kMonthly = "AMULSNWERTF";
const char* const kAverage = "MULSNWERTF";
const char* const kStations = "ABULSNWER";
const char* const kDynMap = "ABULSNWERTVF";
const char* const kDynAverage = "MULSNWERTVF";
const char* const kVelMap = "ABULSNWERXY";
const char* const kVelAverage = "MULSNWERXY";
const char* const kSurfaceMap = "ABSNWERF";
const char* const kSurfaceMonthly = "AMSNWERF";
const char* const kSurfaceAverage = "MSNWERF";

// Argo properties 1 to 4, by plot-type column: 1/5, 2, 3/7, 4/8, 6.
const MapEntry kArgo[4][5] = {
    {{"go fer_temp_map ", kMap, "Argo Temperature (^oC)", 0, false},
     {"go fer_temp_map_yearly_anom ", kMapNoStations,
      "Argo Temperature Difference from Four Year Mean (2004-2007)", 0, false},
     {"go fer_temp_map_monthly_anom ", kMonthly, "Argo Temperature Anomaly from Monthly Mean", 0, false},
     {"go fer_temp_avg_map ", kAverage, "Argo Temperature (^oC) September Average(2004-    )", 0, false},
     {"go fer_temp_station_loc ", kStations, "Argo Temperature station distribution", 0, false}},
    {{"go fer_psal_map ", kMap, "Argo Salinity", 0, false},
     {"go fer_psal_map_yearly_anom ", kMapNoStations,
      "Argo Salinity Difference from Four Year Mean (2004-2007)", 0, false},
     {"go fer_psal_map_monthly_anom ", kMonthly, "Argo Salinity Anomaly from Monthly Mean", 0, false},
     {"go fer_psal_avg_map ", kAverage, "Argo Salinity (psu) September Average(2004-    )", 1, false},
     {"go fer_psal_station_loc ", kStations, "Argo Salinity station distribution", 0, false}},
    {{"go fer_dyn_ht_map ", kDynMap, "Argo Dynamic Height", 0, false},
     {"go fer_dyn_ht_map_yearly_anom ", kMapNoStations,
      "Argo Dynamic Height Difference from Four Year Mean (2004-2007)", 1, false},
     {"go fer_dyn_ht_map_monthly_anom ", kMonthly, "Argo Dynamic Height Anomaly from Monthly Mean", 0, false},
     {"go fer_dyn_ht_avg_map ", kDynAverage, "Argo Dynamic Height September Average(2004-    )", 1, false},
     {"go fer_psal_station_loc ", kStations, "Argo Salinity station distribution", 0, false}},
    {{"go fer_podens_map ", kMap, "Argo Potential Density", 0, false},
     {"go fer_podens_map_yearly_anom ", kMapNoStations,
      "Argo Potential Density Difference from Four Year Mean (2004-2007)", 0, false},
     {"go fer_podens_map_monthly_anom ", kMonthly, "Argo Potential Density Anomaly from Monthly Mean", 0,
      false},
     {"go fer_podens_avg_map ", kAverage, "Argo Potential Density September Average(2004-    )", 0, false},
     {"go fer_psal_station_loc ", kStations, "Argo Potential Density station distribution", 0, false}},
};

// Properties 7 and 8 by plot type 1 to 4; later types have no plot.
const MapEntry kSurface[2][4] = {
    {{"go fer_alt_ht_map ", kSurfaceMap, "Aviso Altimetric Height (cm)", 0, false},
     {"go fer_alt_ht_map_yearly_anom ", kSurfaceMap,
      "Aviso Altimetric Height Difference from Four Year Mean (2004-2007)", 0, false},
     {"go fer_alt_ht_map_monthly_anom ", kSurfaceMonthly, "Aviso Altimetric Height Anomaly from Monthly Mean",
      0, false},
     {"go fer_alt_ht_avg_map ", kSurfaceAverage, "Aviso Altimetric Height September Average(2004-    )", 0,
      false}},
    {{"go fer_sst_map ", kSurfaceMap, "Reynolds Sea Surface Temperature", 0, false},
     {"go fer_sst_map_yearly_anom ", kSurfaceMap, "Reynolds SST Difference from Four Year Mean (2004-2007)",
      0, false},
     {"go fer_sst_map_monthly_anom ", kSurfaceMonthly, "Reynolds SST Anomaly from Monthly Mean", 0, false},
     {"go fer_sst_avg_map ", kSurfaceAverage, "Reynolds SST September Average(2004-    )", 0, false}},
};

const MapEntry kVelocity[2] = {
    {"go fer_geo_vel_map ", kVelMap, "Argo Geostrophic Velocity", 0, false},
    {"go fer_geo_vel_avg_map ", kVelAverage, "Argo Geostrophic Velocity September Average(2004-    )", 0,
     false},
};

const MapEntry kDynVelocity[3] = {
    {"go fer_dyn_ht_map ", kDynMap, "Argo Dynamic Height with Geostrophic Velocity", 0, false},
    {"go fer_dyn_ht_avg_map ", kDynAverage,
     "Argo Dynamic Height with Geostrophic Velocity September Average(2004-    )", 0, true},
    {"go fer_psal_station_loc ", kStations, "Argo Salinity station distribution", 0, false},
};

// The table cell of property P and plot type K; nullptr when the
// combination is not an option.
const MapEntry* mapentry(int P, int K) {
  if (P >= 1 && P <= 4) {
    switch (K) {
      case 1: case 5: return &kArgo[P - 1][0];
      case 2: return &kArgo[P - 1][1];
      case 3: case 7: return &kArgo[P - 1][2];
      case 4: case 8: return &kArgo[P - 1][3];
      case 6: return &kArgo[P - 1][4];
      default: return nullptr;
    }
  }
  if (P == 5) {
    if (K == 1) return &kVelocity[0];
    if (K == 4) return &kVelocity[1];
    return nullptr;
  }
  if (P == 6) {
    if (K == 1 || K == 5) return &kDynVelocity[0];
    if (K == 4 || K == 8) return &kDynVelocity[1];
    if (K == 6) return &kDynVelocity[2];
    return nullptr;
  }
  if ((P == 7 || P == 8) && K >= 1 && K <= 4) return &kSurface[P - 7][K - 1];
  return nullptr;
}

bool monthlyaverage(int K) { return K == 4 || K == 8; }

int dataend(int P, const DataEnds& ends) {
  if (P == 7) return ends.avisoend;
  if (P == 8) return ends.reynoldsend;
  return ends.argoend;
}

ListRecord goline(const MapEntry& entry, const MapRequest& r) {
  ListRecord line;
  line.add(entry.script);
  for (const char* a = entry.args; *a; ++a) {
    switch (*a) {
      case 'A': line.add(r.A); break;
      case 'B': line.add(r.B); break;
      case 'M': line.add(r.M); break;
      case 'U': line.add(r.U); break;
      case 'L': line.add(r.L); break;
      case 'S': line.add(r.S); break;
      case 'N': line.add(r.N); break;
      case 'W': line.add(r.W); break;
      case 'E': line.add(r.E); break;
      case 'R': line.add(r.R); break;
      case 'T': line.add(r.T); break;
      case 'V': line.add(r.V); break;
      case 'X': line.add(r.X); break;
      case 'Y': line.add(r.Y); break;
      case 'F': line.add(r.F); break;
    }
  }
  return line;
}

std::string label(float x, float y, const char* size, const std::string& text) {
  return labelline(x, 6, 2, y, 6, 2, size, text);
}

std::string pressuretext(const MapRequest& r) {
  if (r.P >= 3) return FormatI(r.U, 4) + "/" + FormatI(r.L, 4) + " dbar";
  if (r.U == r.L) return "at" + FormatI(r.U, 4) + " dbar";
  return "Averaged " + FormatI(r.U, 4) + "-" + FormatI(r.L, 4) + " dbar";
}

}  // namespace

MapDialog readmapdialog() {
  MapDialog d;
  WDialogGetMenu(kPlotPropertyMenu, d.property);
  WDialogGetInteger(kPlotUpperMenu, d.upper);
  WDialogGetInteger(kPlotLowerMenu, d.lower);
  WDialogGetMenu(kPlotTypeMenu, d.plotType);
  readregion(d.north, d.south, d.east, d.west, d.southHemisphere, d.northHemisphere, d.westHemisphere,
             d.eastHemisphere);
  readmonths(kMonthFields, d.startMonth, d.startYear, d.endMonth, d.endYear);
  WDialogGetMenu(kPlotLandMenu, d.landItem);
  WDialogGetMenu(kMapVectorXMenu, d.vectorX);
  WDialogGetMenu(kMapVectorYMenu, d.vectorY);
  return d;
}

MapRequest maprequest(const MapDialog& d) {
  MapRequest r;
  r.P = d.property;
  r.V = r.P == 6 ? 1 : 0;
  r.U = d.upper;
  r.L = d.lower;
  r.K = d.plotType;
  r.T = (r.K == 5 || r.K == 7 || r.K == 8) ? 1 : 0;

  r.N = d.north;
  r.S = d.south;
  r.W = d.west;
  r.E = d.east;
  if (d.southHemisphere == 2) r.S = -r.S;
  if (d.northHemisphere == 2) r.N = -r.N;
  int hemisphere = d.westHemisphere;
  if (hemisphere == 2) longconv(r.W, hemisphere, 1);
  hemisphere = d.eastHemisphere;
  if (hemisphere == 2) longconv(r.E, hemisphere, 1);
  if (r.W == r.E) r.E += 360.0f;

  r.startMonth = d.startMonth;
  r.startYear = d.startYear;
  r.endMonth = d.endMonth == -999 ? d.startMonth : d.endMonth;
  r.endYear = d.endYear == -999 ? d.startYear : d.endYear;
  r.A = monthindex(r.startYear, r.startMonth);
  r.B = monthindex(r.endYear, r.endMonth);
  r.M = r.startMonth;

  r.R = d.landItem - 1;
  r.X = d.vectorX;
  r.Y = d.vectorY;
  return r;
}

std::optional<UserMessage> mapdatecheck(const MapRequest& r, const DataEnds& ends) {
  const bool startonly = r.K == 3 || r.K == 7;
  if (!startonly && !monthlyaverage(r.K)) {
    if (r.startYear > r.endYear || (r.startYear == r.endYear && r.startMonth > r.endMonth)) {
      return UserMessage{"Input error", "Please enter End date either equal to",
                         "or greater than Start date."};
    }
  }
  if (!monthlyaverage(r.K)) {
    const int end = dataend(r.P, ends);
    if (r.A > end || r.B > end) {
      std::string text = " Argo grid current through ";
      if (r.P == 7) text = "Aviso grid current through ";
      if (r.P == 8) text = "Reynolds SST grid current through ";
      return UserMessage{"Input out of range", text + compactdate(end), ""};
    }
  }
  return std::nullopt;
}

std::optional<UserMessage> mappressurecheck(const MapRequest& r) {
  if (r.U > r.L) {
    return UserMessage{"Input Error", "Please re-enter 2) Vertical units, such that ",
                       "Min is less than or equal to Max value."};
  }
  if (r.U == r.L && (r.P == 3 || r.P == 5 || r.P == 6)) {
    return UserMessage{"Input Error", "This calculation requires two  ", "different pressure values."};
  }
  return std::nullopt;
}

MapLayout maplayout(MapRequest& r) {
  if (r.W > r.E) r.E += 360.0f;
  MapLayout g;
  const float width = r.E - r.W;
  g.xmid = r.W + width * 0.5f;
  g.x1 = r.W + (g.xmid - r.W) * 0.5f;
  g.x3 = g.xmid + (r.E - g.xmid) * 0.5f;
  const float height = r.N - r.S;
  g.ratio = r.E > r.W ? height / width : 0.5f;
  float title = 0.065f, subtitle = 0.015f;
  if (g.ratio < 0.5f) {
    title = 0.095f;
    subtitle = 0.026f;
  } else if (g.ratio < 2.0f) {
    title = 0.0833f;
    subtitle = 0.0266f;
  }
  g.ytitle = r.N + height * title;
  g.ysub = r.N + height * subtitle;
  return g;
}

PlotLines mapviewlines(const MapRequest& r, const MapLayout& g, const DataEnds& ends) {
  PlotLines out;
  const MapEntry* entry = mapentry(r.P, r.K);
  if (!entry) {
    out.option = false;
    return out;
  }
  out.lines.push_back(goline(*entry, r).line());

  std::string title = entry->title;
  if (monthlyaverage(r.K)) {
    std::string date(8, ' '), monthname(9, ' '), numtext(6, ' ');
    int year = 0;
    writedate(r.A, date, monthname, year, numtext);
    title = averagetitle(title, monthname, averagelastyear(r.M, dataend(r.P, ends)));
  }
  out.lines.push_back(label(g.xmid, g.ytitle, entry->smallTitle ? "0.15" : "0.17",
                            quoted(title) + std::string(entry->blanksAfter, ' ')));

  const bool surface = r.P == 7 || r.P == 8;
  const float x1 = surface ? g.xmid : g.x1;
  float x3 = g.x3;
  if (monthlyaverage(r.K)) {
    x3 = g.xmid;
  } else {
    out.lines.push_back(label(x1, g.ysub, "0.17", datelabel(r.A, r.B, r.K == 3 || r.K == 7)));
  }
  if (r.P >= 1 && r.P <= 6) out.lines.push_back(label(x3, g.ysub, "0.17", quoted(pressuretext(r))));
  return out;
}

int mapvectorflag(int property) { return property == 6 ? 2 : 0; }

void plotmapview(CoreState& app) {
  PlotKindState& kind = app.map;
  WDialogSelect(kDialog);
  WDialogShow(-1, -1, 0, 2);
  PlotSlot slot;
  if (!beginplotrequest(app, kind, slot)) return;

  MapRequest request = maprequest(readmapdialog());
  const DataEnds ends{app.argoend, app.avisoend, app.reynoldsend};
  if (auto message = mapdatecheck(request, ends)) {
    refuse(app, *message);
    return;
  }
  if (auto message = readfilltext(request.F)) {
    refuse(app, *message);
    return;
  }
  app.log.write(ListRecord().add("map stringfill=").add(request.F));
  if (auto message = mappressurecheck(request)) {
    refuse(app, *message);
    return;
  }
  const MapLayout layout = maplayout(request);
  app.log.write(ListRecord().add("map ratio=").add(layout.ratio));

  const PlotLines body = mapviewlines(request, layout, ends);
  const bool ready = writerequestfile(app, slot, kind.action, body);
  if (!body.option) {
    refuse(app, notanoption());
    return;
  }
  if (!ready) return;
  runplotrequest(app, kind, slot, 5, request.R, mapvectorflag(request.P));
}

void mapviewfields(CoreState& app) {
  WDialogSelect(kDialog);
  int P = 0;
  WDialogGetMenu(kPlotPropertyMenu, P);
  const int pressureState = (P == 7 || P == 8) ? 0 : 1;
  for (int field : {kPlotUnitsLabel, kPlotUpperMenu, kPlotUpperLabel, kPlotLowerMenu,
                    kPlotLowerLabel, kPlotPressureLabel})
    WDialogFieldState(field, pressureState);
  const int vectorState = P == 5 ? 1 : 0;
  for (int field :
       {kMapVectorLabel, kMapVectorXLabel, kMapVectorYLabel, kMapVectorXMenu, kMapVectorYMenu})
    WDialogFieldState(field, vectorState);

  int K = 0;
  WDialogGetMenu(kPlotTypeMenu, K);
  if (K == 3 || K == 7) {
    for (int field : {kPlotEndLabel, kPlotEndMonthMenu, kPlotEndYearMenu})
      WDialogFieldState(field, 0);
    WDialogFieldState(kPlotStartYearMenu, 1);
  } else if (K == 4 || K == 8) {
    for (int field : {kPlotEndLabel, kPlotEndMonthMenu, kPlotEndYearMenu, kPlotStartYearMenu})
      WDialogFieldState(field, 0);
  } else {
    for (int field : {kPlotEndLabel, kPlotEndMonthMenu, kPlotEndYearMenu, kPlotStartYearMenu})
      WDialogFieldState(field, 1);
  }

  filllevelcheck(P, app.map.previousProperty, "e.g.(8,22,2)(22,32,1)(lo,hi,delta) No spaces");
  app.map.previousProperty = P;

  if (P == 5) {
    WDialogPutRadioButton(kPlotDefaultLevelsRadio);
    for (int field :
         {kPlotLevelsLabel, kPlotLevelsBox, kPlotDefaultLevelsRadio, kPlotOwnLevelsRadio})
      WDialogFieldState(field, 0);
    WDialogPutString(kPlotLevelsHint, std::string(44, ' '));
  } else {
    for (int field : {kPlotLevelsLabel, kPlotDefaultLevelsRadio, kPlotOwnLevelsRadio})
      WDialogFieldState(field, 1);
  }
}
