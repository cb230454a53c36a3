#include "plots/plot_common.h"
#include "plots/vertview.h"

#include <cmath>

#include "core/core_state.h"
#include "ferret/dates.h"
#include "ferret/record.h"
#include "plots/fill_levels.h"
#include "plots/plot_procedures.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int kDialog = 105;

const char* const kScripts[5][4] = {
    {"go fer_temp_section ", "go fer_temp_section_yearly_anom ", "go fer_temp_section_monthly_anom ",
     "go fer_temp_avg_section "},
    {"go fer_psal_section ", "go fer_psal_section_yearly_anom ", "go fer_psal_section_monthly_anom ",
     "go fer_psal_avg_section "},
    {"go fer_dyn_ht_section ", "go fer_dyn_ht_section_yearly_anom ", "go fer_dyn_ht_section_monthly_anom ",
     "go fer_dyn_ht_avg_section "},
    {"go fer_podens_section ", "go fer_podens_section_yearly_anom ", "go fer_podens_section_monthly_anom ",
     "go fer_podens_avg_section "},
    {"go fer_geo_vel_section ", "go fer_geo_vel_section_yearly_anom ",
     "go fer_geo_vel_section_monthly_anom ", "go fer_geo_vel_avg_section "},
};

// Titles of plot types 1 to 3 (blanks after the closing quote included),
// then the plot type 4 template.
const char* const kTitles[5][4] = {
    {"\"Argo Temperature (^oC)\"", "\"Argo Temperature Difference from Four Year Mean (2004-2007)\"",
     "\"Argo Temperature Anomaly from Monthly Mean\"", "Argo Temperature (^oC) September Average(2004-    )"},
    {"\"Argo Salinity\"", "\"Argo Salinity Difference from Four Year Mean (2004-2007)\"",
     "\"Argo Salinity Anomaly from Monthly Mean\" ", "Argo Salinity (psu) September Average(2004-    )"},
    {"\"Argo Dynamic Height\"", "\"Argo Dynamic Height Difference from Four Year Mean(2004-2007)\" ",
     "\"Argo Dynamic Height Anomaly from Monthly Mean\"  ", "Argo Dynamic Height September Average(2004-    )"},
    {"\"Argo Potential Density\"", "\"Argo Potential Density Difference from Four Year Mean (2004-2007)\"",
     "\"Argo Potential density Anomaly from Monthly Mean\"",
     "Argo Potential Density September Average(2004-    )"},
    {"\"Argo Geostrophic Velocity\"", "\"Argo Geostrophic Velocity Difference from Four Year Mean (2004-2007)\"",
     "\"Argo Geostrophic Velocity Anomaly from Monthly Mean\"",
     "Argo Geostrophic Velocity September Average(2004-    )"},
};

std::string label(float x, float y, const std::string& text) {
  return labelline(x, 7, 2, y, 7, 2, "0.17", text);
}

}  // namespace

VertDialog readvertdialog() {
  VertDialog d;
  WDialogGetMenu(kPlotPropertyMenu, d.property);
  WDialogGetInteger(kVertUpperMenu, d.upper);
  WDialogGetInteger(kVertLowerMenu, d.lower);
  WDialogGetMenu(kPlotTypeMenu, d.plotType);
  WDialogGetMenu(kVertDirectionMenu, d.direction);
  readregion(d.north, d.south, d.east, d.west, d.southHemisphere, d.northHemisphere, d.westHemisphere,
             d.eastHemisphere);
  readmonths(
      MonthFields{kVertStartMonthMenu, kVertStartYearMenu, kVertEndMonthMenu, kVertEndYearMenu},
      d.startMonth, d.startYear, d.endMonth, d.endYear);
  return d;
}

VertRequest vertrequest(const VertDialog& d) {
  VertRequest r;
  r.property = d.property;
  r.dynflag = r.property == 6 ? 1 : 0;
  r.upper = d.upper;
  r.lower = d.lower;
  r.plotType = d.plotType;
  r.direction = d.direction;
  r.latN = d.northHemisphere == 2 ? -d.north : d.north;
  r.latS = d.southHemisphere == 2 ? -d.south : d.south;
  r.southLetter = d.southHemisphere == 2 ? 'S' : 'N';
  r.typedWest = d.west;
  r.westLetter = d.westHemisphere == 2 ? 'W' : 'E';
  r.lonW = d.west;
  r.lonE = d.east;
  int hemisphere = d.westHemisphere;
  if (hemisphere == 2) longconv(r.lonW, hemisphere, 1);
  hemisphere = d.eastHemisphere;
  if (hemisphere == 2) longconv(r.lonE, hemisphere, 1);
  r.startMonth = d.startMonth;
  r.startYear = d.startYear;
  r.endMonth = d.endMonth == -999 ? d.startMonth : d.endMonth;
  r.endYear = d.endYear == -999 ? d.startYear : d.endYear;
  r.start = monthindex(r.startYear, r.startMonth);
  r.end = monthindex(r.endYear, r.endMonth);
  return r;
}

std::optional<UserMessage> vertcheck(const VertRequest& r, int argoend) {
  if (r.upper > r.lower) {
    return UserMessage{"Input Error", "Please re-enter 2) Vertical units, such that ",
                       "Min is less than or equal to Max value."};
  }
  if (r.upper == r.lower && (r.property == 3 || r.property == 5)) {
    return UserMessage{"Input Error", "This calculation requires two  ", "different pressure values."};
  }
  if (r.startYear > r.endYear || (r.startYear == r.endYear && r.startMonth > r.endMonth)) {
    return UserMessage{"Input error", "Please enter End date either equal to",
                       "or greater than Start date."};
  }
  if (r.plotType != 4 && (r.start > argoend || r.end > argoend)) {
    return UserMessage{"Input out of range", " Argo grid current through " + compactdate(argoend), ""};
  }
  return std::nullopt;
}

PlotLines vertviewlines(const VertRequest& request, int argoend) {
  PlotLines out;
  if (request.property < 1 || request.property > 5 || request.plotType < 1 || request.plotType > 4) {
    out.option = false;
    return out;
  }
  VertRequest r = request;
  if (r.lonW > r.lonE) r.lonE += 360.0f;

  std::string letter;
  float a = 0, b = 0, position = 0;
  char positionLetter = 'E';
  if (r.direction == 1) {
    letter = "N";
    r.lonE = r.lonW;
    a = r.latS;
    b = r.latN;
    position = r.typedWest;
    positionLetter = r.westLetter;
  } else {
    letter = "E";
    r.latN = r.latS;
    a = r.lonW;
    b = r.lonE;
    position = r.latS;
    positionLetter = r.southLetter;
  }

  const float d = static_cast<float>(r.lower - r.upper);
  const float centre = a + 0.5f * (b - a);
  const float left = a + 0.5f * (centre - a);
  const float right = centre + 0.5f * (b - centre);
  const float ytitle = r.upper - 0.0933f * d;
  const float ysub = r.upper - 0.0266f * d;

  ListRecord go;
  go.add(kScripts[r.property - 1][r.plotType - 1]).add(letter).add(r.latS).add(r.latN);
  switch (r.plotType) {
    case 1: case 2: go.add(r.start).add(r.end); break;
    case 3: go.add(r.start).add(r.startMonth); break;
    default: go.add(r.startMonth); break;
  }
  go.add(r.upper).add(r.lower).add(r.lonW).add(r.lonE);
  if (r.property == 3 && (r.plotType == 1 || r.plotType == 4)) go.add(r.dynflag);
  go.add(r.fill);
  out.lines.push_back(go.line());

  std::string title = kTitles[r.property - 1][r.plotType - 1];
  if (r.plotType == 4) {
    std::string date(8, ' '), monthname(9, ' '), numtext(6, ' ');
    int year = 0;
    writedate(r.start, date, monthname, year, numtext);
    title = quoted(averagetitle(title, monthname, averagelastyear(r.startMonth, argoend)));
  }
  out.lines.push_back(label(centre, ytitle, title));

  if (r.plotType != 4) out.lines.push_back(label(left, ysub, datelabel(r.start, r.end, r.plotType == 3)));
  const std::string positiontext =
      quoted(FormatF(std::fabs(position), 5, 1) + "^o" + std::string(1, positionLetter));
  out.lines.push_back(label(r.plotType == 4 ? centre : right, ysub, positiontext));
  return out;
}

void plotvertview(CoreState& app) {
  PlotKindState& kind = app.ver;
  WDialogSelect(kDialog);
  WDialogShow(510, -1, 0, 2);
  PlotSlot slot;
  if (!beginplotrequest(app, kind, slot)) return;

  VertRequest request = vertrequest(readvertdialog());
  if (auto message = vertcheck(request, app.argoend)) {
    refuse(app, *message);
    return;
  }
  if (auto message = readfilltext(request.fill)) {
    refuse(app, *message);
    return;
  }
  app.log.write(ListRecord().add("vert stringfill=").add(request.fill));

  const PlotLines body = vertviewlines(request, app.argoend);
  if (!writerequestfile(app, slot, kind.action, body)) return;
  runplotrequest(app, kind, slot, 5, 0, 0);
}

void vertviewfields(CoreState& app) {
  WDialogSelect(kDialog);
  int property = 0, direction = 0;
  WDialogGetMenu(kPlotPropertyMenu, property);
  WDialogGetMenu(kVertDirectionMenu, direction);
  if (direction == 1) {
    WDialogFieldState(kPlotEastBox, 0);
    WDialogFieldState(kPlotEastLetterMenu, 0);
    WDialogFieldState(kPlotNorthBox, 1);
    WDialogFieldState(kPlotNorthLetterMenu, 1);
  } else if (direction == 2) {
    WDialogFieldState(kPlotNorthBox, 0);
    WDialogFieldState(kPlotNorthLetterMenu, 0);
    WDialogFieldState(kPlotEastBox, 1);
    WDialogFieldState(kPlotEastLetterMenu, 1);
  }

  int plotType = 0;
  WDialogGetMenu(kPlotTypeMenu, plotType);
  if (plotType == 3) {
    for (int field : {kVertEndLabel, kVertEndMonthMenu, kVertEndYearMenu})
      WDialogFieldState(field, 0);
    WDialogFieldState(kVertStartYearMenu, 1);
  } else if (plotType == 4) {
    for (int field : {kVertEndLabel, kVertEndMonthMenu, kVertEndYearMenu, kVertStartYearMenu})
      WDialogFieldState(field, 0);
  } else {
    for (int field : {kVertEndLabel, kVertEndMonthMenu, kVertEndYearMenu, kVertStartYearMenu})
      WDialogFieldState(field, 1);
  }

  filllevelcheck(property, app.ver.previousProperty, "e.g.(2,6,.5)(6,12,1)(12,32,2)   No spaces   ");
  app.ver.previousProperty = property;
}
