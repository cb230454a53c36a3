#include "plots/plot_common.h"
#include "plots/prodview.h"

#include "core/core_state.h"
#include "ferret/dates.h"
#include "ferret/record.h"
#include "plots/fill_levels.h"
#include "plots/plot_procedures.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int kDialog = 110;

// "label x,y" + fixed text + label text, x and y as (F6.2).
std::string label(float x, float y, const char* fixed, const std::string& text) {
  return "label " + FormatF(x, 6, 2) + "," + FormatF(y, 6, 2) + fixed + text;
}

const char* const kCentred = ",0,0,0.17 ";
const char* const kLeft = ",-1,0,0.17 ";

const char* const kNinoTitles[4] = {"Argo Nino-3", "Argo Nino-3.4", "Reynolds Nino-3", "Reynolds Nino-3.4"};

}  // namespace

ProdDialog readproddialog() {
  ProdDialog d;
  WDialogGetMenu(kPlotPropertyMenu, d.product);
  WDialogGetMenu(kPlotTypeMenu, d.plotChoice);
  readregion(d.north, d.south, d.east, d.west, d.southHemisphere, d.northHemisphere, d.westHemisphere,
             d.eastHemisphere);
  readmonths(kMonthFields, d.startMonth, d.startYear, d.endMonth, d.endYear);
  WDialogGetMenu(kPlotLandMenu, d.landItem);
  return d;
}

ProdRequest prodrequest(const ProdDialog& d) {
  ProdRequest r;
  r.iprop = d.product;
  r.plotChoice = d.plotChoice;
  r.station = r.plotChoice == 2 ? 1 : 0;
  r.latS = d.southHemisphere == 2 ? -d.south : d.south;
  r.latN = d.northHemisphere == 2 ? -d.north : d.north;
  r.lonW = d.west;
  r.lonE = d.east;
  int hemisphere = d.westHemisphere;
  if (hemisphere == 2) longconv(r.lonW, hemisphere, 1);
  hemisphere = d.eastHemisphere;
  if (hemisphere == 2) longconv(r.lonE, hemisphere, 1);
  if (r.lonW == r.lonE) r.lonE += 360.0f;
  const int endMonth = d.endMonth == -999 ? d.startMonth : d.endMonth;
  const int endYear = d.endYear == -999 ? d.startYear : d.endYear;
  r.t1 = monthindex(d.startYear, d.startMonth);
  r.t2 = monthindex(endYear, endMonth);
  r.land = d.landItem - 1;
  return r;
}

std::optional<UserMessage> prodcheck(const ProdRequest& r, const DataEnds& ends) {
  if (r.iprop >= 4 && r.iprop <= 8 && r.t1 >= r.t2) {
    return UserMessage{"Input error", "Please enter End date greater than Start date.", ""};
  }
  if ((r.iprop == 7 || r.iprop == 8) && (r.t1 > ends.reynoldsend || r.t2 > ends.reynoldsend)) {
    return UserMessage{"Input out of range",
                       "Reynolds SST grid current through " + compactdate(ends.reynoldsend), ""};
  }
  if (r.iprop >= 1 && r.iprop <= 6 && (r.t1 > ends.argoend || r.t2 > ends.argoend)) {
    return UserMessage{"Input out of range", " Argo grid current through " + compactdate(ends.argoend), ""};
  }
  return std::nullopt;
}

ProdLayout prodlayout(ProdRequest& r) {
  if (r.lonW > r.lonE) r.lonE += 360.0f;
  ProdLayout g;
  const float dlon = r.lonE - r.lonW;
  g.xmid = r.lonW + 0.5f * dlon;
  const float dlat = r.latN - r.latS;
  // A zero-width region (360 W with 0 E) has no ratio; it takes the middle
  // offsets instead of leaving them unset.
  const float ratio = dlon > 0.0f ? dlat / dlon : 0.5f;
  float f1 = 0.065f, f2 = 0.015f;
  if (ratio < 0.5f) {
    f1 = 0.099f;
    f2 = 0.027f;
  } else if (ratio < 2.0f) {
    f1 = 0.0963f;
    f2 = 0.0356f;
  }
  g.single = r.plotChoice == 1 ? 1 : 0;
  if (g.single == 1) {
    f1 *= 1.6f;
    f2 *= 1.6f;
  }
  g.y1 = r.latN + dlat * f1;
  g.y2 = r.latN + dlat * f2;
  return g;
}

PlotLines prodviewlines(const ProdRequest& r, const ProdLayout& g) {
  PlotLines out;
  auto& lines = out.lines;
  auto regiongo = [&](const char* script, bool withFill) {
    ListRecord go;
    go.add(script).add(r.t1).add(r.t2).add(r.latS).add(r.latN).add(r.lonW).add(r.lonE).add(r.land).add(
        r.station);
    if (withFill) go.add(r.fill);
    lines.push_back(go.line());
  };
  const std::string dates = datelabel(r.t1, r.t2, false);
  switch (r.iprop) {
    case 1:
      regiongo("go fer_depth20 ", true);
      lines.push_back(ListRecord().add("set view top").line());
      lines.push_back(label(r.lonW + 1.0f, g.y1, kLeft, quoted("Top: Depth of 20^o isotherm from Argo data")));
      lines.push_back(label(r.lonW + 1.0f, g.y2, kLeft,
                            quoted("Bottom: Depth of 20^o isotherm anomaly from monthly mean")));
      lines.push_back(label(r.lonE - 2.0f, g.y1, kCentred, dates));
      break;
    case 2:
      regiongo("go fer_mld ", true);
      lines.push_back(label(g.xmid, g.y1, kCentred, quoted("Argo Mixed Layer Depth")));
      lines.push_back(label(g.xmid, g.y2, kCentred, dates));
      break;
    case 3:
      regiongo("go fer_tchp ", false);
      lines.push_back(ListRecord().add("set view top").line());
      lines.push_back(label(r.lonW + 1.0f, g.y1, kLeft, quoted("Top: Argo Tropical Cyclone Heat Potential")));
      lines.push_back(label(r.lonW + 1.0f, g.y2, kLeft,
                            quoted("Bottom: Argo Tropical Cyclone Heat Potential anomaly from monthly mean")));
      lines.push_back(label(r.lonE - 5.0f, g.y1, kCentred, dates));
      break;
    case 4:
      lines.push_back(ListRecord().add("go fer_wwv ").add(r.t1).add(r.t2).line());
      lines.push_back("label/nouser 4.10,5.70,0,0,0.17 " + quoted("Argo Warm Water Volume"));
      break;
    case 5: case 6: case 7: case 8: {
      const int index = r.iprop - 4;
      lines.push_back(ListRecord().add("go fer_nino_ind ").add(index).add(r.t1).add(r.t2).line());
      lines.push_back(label(g.xmid, g.y1, kCentred, quoted(kNinoTitles[index - 1])));
      break;
    }
    default:
      out.option = false;
      break;
  }
  return out;
}

void plotprodview(CoreState& app) {
  PlotKindState& kind = app.pro;
  WDialogSelect(kDialog);
  WDialogShow(-1, -1, 0, 2);
  PlotSlot slot;
  if (!beginplotrequest(app, kind, slot)) return;

  ProdRequest request = prodrequest(readproddialog());
  const DataEnds ends{app.argoend, app.avisoend, app.reynoldsend};
  if (auto message = prodcheck(request, ends)) {
    refuse(app, *message);
    return;
  }
  if (auto message = readfilltext(request.fill)) {
    refuse(app, *message);
    return;
  }
  app.log.write(ListRecord().add("map stringfill=").add(request.fill));

  const ProdLayout layout = prodlayout(request);
  if (!writerequestfile(app, slot, kind.action, prodviewlines(request, layout))) return;
  runplotrequest(app, kind, slot, 5, request.land, layout.single);
}

void prodviewfields(CoreState& app) {
  WDialogSelect(kDialog);
  int iprop = 0;
  WDialogGetMenu(kPlotPropertyMenu, iprop);
  app.log.write(ListRecord().add("prodview, iprop=").add(iprop));
  app.log.write(ListRecord().add("prodview2, iprop=").add(iprop));
  for (int field : {kPlotUnitsLabel, kPlotUpperMenu, kPlotUpperLabel, kPlotLowerMenu,
                    kPlotLowerLabel, kPlotPressureLabel})
    WDialogFieldState(field, 0);

  const int regionState = (iprop >= 1 && iprop <= 3) ? 1 : 0;
  for (int field :
       {kPlotTypeLabel, kPlotTypeMenu, kPlotRegionLabel, kPlotNorthBox, kPlotNorthLetterMenu,
        kPlotSouthBox, kPlotSouthLetterMenu, kPlotEastBox, kPlotEastLetterMenu, kPlotWestBox,
        kPlotWestLetterMenu, kPlotLandLabel, kPlotLandMenu}) {
    WDialogFieldState(field, regionState);
  }

  filllevelcheck(iprop, app.pro.previousProperty, "e.g.(8,22,2)(22,32,1)(lo,hi,delta) No spaces");
  app.pro.previousProperty = iprop;

  if (iprop == 1 || iprop == 2) {
    for (int field : {kPlotLevelsLabel, kPlotDefaultLevelsRadio, kPlotOwnLevelsRadio})
      WDialogFieldState(field, 1);
  } else {
    WDialogPutRadioButton(kPlotDefaultLevelsRadio);
    for (int field :
         {kPlotLevelsLabel, kPlotLevelsBox, kPlotDefaultLevelsRadio, kPlotOwnLevelsRadio})
      WDialogFieldState(field, 0);
    WDialogPutString(kPlotLevelsHint, std::string(44, ' '));
  }
}
