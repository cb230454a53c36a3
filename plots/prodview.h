// Derived products (dialog 110): isotherm depth, mixed layer depth, heat
// potential over a region, warm water volume and Nino indices over time.
// plotprodview and prodviewfields (plot_procedures.h) drive the dialog; the
// pieces below turn its values into the command file without any window.
#ifndef TIDECHARTER_PLOTS_PRODVIEW_H
#define TIDECHARTER_PLOTS_PRODVIEW_H

#include <optional>
#include <string>

#include "plots/plot_common.h"
#include "core/user_message.h"

// Dialog 110 as read: menu items and typed values, nothing converted yet.
struct ProdDialog {
  int product = 1;     // kPlotPropertyMenu
  int plotChoice = 1;  // kPlotTypeMenu
  float north = 25.0f, south = 25.0f, west = 120.0f, east = 290.0f;
  int northHemisphere = 1, southHemisphere = 2;  // their letter menus: 1 N, 2 S
  int westHemisphere = 1, eastHemisphere = 1;    // their letter menus: 1 E, 2 W
  int startMonth = 8, startYear = 5;             // kPlotStartMonthMenu, kPlotStartYearMenu
  int endMonth = -999, endYear = -999;           // kPlotEndMonthMenu, kPlotEndYearMenu
  int landItem = 2;                              // kPlotLandMenu
};

struct ProdRequest {
  int iprop = 1, plotChoice = 1, station = 0;
  float latS = 0, latN = 0, lonW = 0, lonE = 0;
  int t1 = 1, t2 = 1;
  int land = 1;
  std::string fill = std::string(44, ' ');
};

// Label positions of one request.
struct ProdLayout {
  float xmid = 0, y1 = 0, y2 = 0;
  int single = 1;  // the single-product flag handed to createjpg
};

// Reads dialog 110 (selected).
ProdDialog readproddialog();

// Signs, degrees east, equal longitudes a full turn apart, end dates
// defaulting to the start, month indices.
ProdRequest prodrequest(const ProdDialog& dialog);

// The date-order and data-availability checks.
std::optional<UserMessage> prodcheck(const ProdRequest& request, const DataEnds& ends);

// Raises lonE by 360 when it lies west of lonW, then places the titles.
ProdLayout prodlayout(ProdRequest& request);

// The go line and label lines of the request.
PlotLines prodviewlines(const ProdRequest& request, const ProdLayout& layout);

#endif
