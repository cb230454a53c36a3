// Vertical section (dialog 105): one Argo property against pressure along a
// line of constant longitude or latitude. plotvertview and vertviewfields
// (plot_procedures.h) drive the dialog; the pieces below turn its values
// into the command file without any window.
#ifndef TIDECHARTER_PLOTS_VERTVIEW_H
#define TIDECHARTER_PLOTS_VERTVIEW_H

#include <optional>
#include <string>

#include "plots/plot_common.h"
#include "core/user_message.h"

// Dialog 105 as read: menu items and typed values, nothing converted yet.
struct VertDialog {
  int property = 1;   // kPlotPropertyMenu
  int upper = 0;      // kVertUpperMenu
  int lower = 2000;   // kVertLowerMenu
  int plotType = 1;   // kPlotTypeMenu
  int direction = 1;  // kVertDirectionMenu: 1 north-south, 2 east-west
  float north = 65.0f, south = 60.0f, west = 140.0f, east = 140.0f;
  int northHemisphere = 1, southHemisphere = 2;  // their letter menus: 1 N, 2 S
  int westHemisphere = 2, eastHemisphere = 2;    // their letter menus: 1 E, 2 W
  int startMonth = 6, startYear = 5;             // kVertStartMonthMenu, kVertStartYearMenu
  int endMonth = -999, endYear = -999;           // kVertEndMonthMenu, kVertEndYearMenu
};

struct VertRequest {
  int property = 1, plotType = 1, direction = 1;
  int upper = 0, lower = 0;
  float latS = 0, latN = 0, lonW = 0, lonE = 0;
  float typedWest = 0;       // the west longitude as typed, for the label
  char westLetter = 'E';     // its hemisphere letter of kPlotWestLetterMenu
  char southLetter = 'N';    // the south latitude's letter of kPlotSouthLetterMenu
  int startMonth = 1, startYear = 1, endMonth = 1, endYear = 1;
  int start = 1, end = 1;
  int dynflag = 0;
  std::string fill = std::string(44, ' ');
};

// Reads dialog 105 (selected).
VertDialog readvertdialog();

// Signs, degrees east and end dates defaulting to the start; the longitude
// is remembered as typed for the position label.
VertRequest vertrequest(const VertDialog& dialog);

// Messages 1 to 4 in the order the section checks them.
std::optional<UserMessage> vertcheck(const VertRequest& request, int argoend);

// Steps after the log line: the east longitude east of the west one, the
// section line along one coordinate, the labels and the go line.
PlotLines vertviewlines(const VertRequest& request, int argoend);

#endif
