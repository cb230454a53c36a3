// Map view (dialog 103): one property over a latitude-longitude box.
// plotmapview and mapviewfields (plot_procedures.h) drive the dialog; the
// pieces below turn its values into the command file without any window.
#ifndef TIDECHARTER_PLOTS_MAPVIEW_H
#define TIDECHARTER_PLOTS_MAPVIEW_H

#include <optional>
#include <string>

#include "plots/plot_common.h"
#include "core/user_message.h"

// Dialog 103 as read: menu items and typed values, nothing converted yet.
struct MapDialog {
  int property = 1;  // kPlotPropertyMenu
  int plotType = 1;  // kPlotTypeMenu
  int upper = 0;     // kPlotUpperMenu
  int lower = 0;     // kPlotLowerMenu
  float north = 25.0f, south = 60.0f, west = 130.0f, east = 250.0f;
  int northHemisphere = 1, southHemisphere = 2;  // their letter menus: 1 N, 2 S
  int westHemisphere = 1, eastHemisphere = 1;    // their letter menus: 1 E, 2 W
  int startMonth = 6, startYear = 5;             // kPlotStartMonthMenu, kPlotStartYearMenu
  int endMonth = -999, endYear = -999;           // kPlotEndMonthMenu, kPlotEndYearMenu
  int landItem = 2;                              // kPlotLandMenu
  int vectorX = 2, vectorY = 2;                  // kMapVectorXMenu, kMapVectorYMenu
};

// One request in the terms of the go-line argument lists.
struct MapRequest {
  int P = 1, K = 1, U = 0, L = 0;
  float N = 0, S = 0, W = 0, E = 0;
  int startMonth = 1, startYear = 1, endMonth = 1, endYear = 1;
  int A = 1, B = 1, M = 1;
  int R = 1, X = 2, Y = 2;
  int T = 0, V = 0;
  std::string F = std::string(44, ' ');
};

// Label positions of one request.
struct MapLayout {
  float ratio = 0.5f;
  float xmid = 0, x1 = 0, x3 = 0;
  float ytitle = 0, ysub = 0;
};

// Reads dialog 103 (selected).
MapDialog readmapdialog();

// Signs, degrees east, equal longitudes a full turn apart, end dates
// defaulting to the start, month indices, station and velocity flags.
MapRequest maprequest(const MapDialog& dialog);

// The end-date and data-availability checks.
std::optional<UserMessage> mapdatecheck(const MapRequest& request, const DataEnds& ends);

// The pressure-range checks.
std::optional<UserMessage> mappressurecheck(const MapRequest& request);

// Raises E by 360 when it lies west of W, then places the labels.
MapLayout maplayout(MapRequest& request);

// The go line and label lines of the request.
PlotLines mapviewlines(const MapRequest& request, const MapLayout& layout,
                       const DataEnds& ends);

// The vector flag handed to createjpg: 2 for dynamic height with
// geostrophic velocity.
int mapvectorflag(int property);

#endif
