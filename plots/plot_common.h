// Pieces the plot requests share: the button handling every request starts
// with and the run it ends with, the region and month fields every dialog
// reads, the data end dates a request is checked against, the kind's own
// lines of a command file, and writing them between the frame lines of a
// slot.
#ifndef TIDECHARTER_PLOTS_PLOT_COMMON_H
#define TIDECHARTER_PLOTS_PLOT_COMMON_H

#include <string>
#include <vector>

#include "ferret/command_file.h"
#include "core/user_message.h"
#include "resources/dialog_fields.h"

struct CoreState;
struct PlotKindState;

// The start of every request, for the button of app.message: Cancel
// (button 2) hides the current dialog and returns false; Plot and Create JPG
// set the kind's action; any other button keeps it. Then the kind's slot
// advances, before any check, so a refused request still uses up its slot,
// and the front end says where its command file goes.
bool beginplotrequest(CoreState& app, PlotKindState& kind, PlotSlot& slot);

// The end of every request whose command file is written: the front end runs
// Ferret on it, for Plot waiting at most `waitSeconds`, for Create JPG with
// the kind's land and vector flags.
void runplotrequest(CoreState& app, const PlotKindState& kind, const PlotSlot& slot,
                    int waitSeconds, int landflag, int vectorflag);

// The region fields every parameter dialog has, read in one order: the
// four edges as typed and their hemisphere menus (2 = S or W).
void readregion(float& north, float& south, float& east, float& west, int& southItem, int& northItem,
                int& westItem, int& eastItem);

// The start and end month and year menus of a dialog.
struct MonthFields {
  int startMonth, startYear, endMonth, endYear;
};
constexpr MonthFields kMonthFields{kPlotStartMonthMenu, kPlotStartYearMenu, kPlotEndMonthMenu,
                                   kPlotEndYearMenu};
void readmonths(const MonthFields& fields, int& startMonth, int& startYear, int& endMonth, int& endYear);

// The fields the time series and the line drawing read alike from their
// dialogs (menu kPlotPropertyMenu the property, kPlotTypeMenu the plot type, the pressure range,
// the region and the start and end months), as typed and then prepared.
struct RegionRequest {
  int property = 1;
  int plottype = 1;
  int upper = 0, lower = 0;  // decibars
  float south = 0.0f, north = 0.0f;  // as typed; prepared: signed, north +
  int southItem = 1,
      northItem = 1;  // menus kPlotSouthLetterMenu and kPlotNorthLetterMenu as read (2 = S)
  float west = 0.0f, east = 0.0f;    // as typed; prepared: degrees east
  int westItem = 1, eastItem = 1;    // menus kPlotWestLetterMenu and kPlotEastLetterMenu (2 = W)
  float westSigned = 0.0f, eastSigned = 0.0f;  // west negative, for matching
  int startMonth = 1, startYear = 1, endMonth = 1, endYear = 1;  // menu items
  int matched = 0;                          // location record, 0 for none
  std::string name = std::string(34, ' ');  // its quoted-label name
};

// Reads those fields of the current dialog into `r`, as typed.
void readregionrequest(RegionRequest& r);

// From the values as typed: signs the latitudes, keeps signed longitude
// copies, turns western longitudes into degrees east and gives an end menu
// without a selection the start's item.
void prepareregion(RegionRequest& r);

// The location the prepared region belongs to (matchregion), menu kPlotLocationMenu put
// back to item 1 when there is none.
void matchlocation(const CoreState& app, RegionRequest& r);
// The matched location's name, for the label; none for record 1 (prompt).
void namelocation(const CoreState& app, RegionRequest& r);

// A refused request: the front end tells the user.
void refuse(CoreState& app, const UserMessage& message);

// Last available month index of each data set.
struct DataEnds {
  int argoend = 100;
  int avisoend = 100;
  int reynoldsend = 100;
};

// The lines a plot kind writes between the frame's first lines and
// "ppl clsplt". `option` false: the combination has no plot, so the file
// keeps only its first lines and nothing runs.
struct PlotLines {
  std::vector<std::string> lines;
  bool option = true;
};

// `text` enclosed in double quotes, as every label text is written.
std::string quoted(const std::string& text);

// A monthly-average title template: the 9 characters "September" receive
// `monthname` and the four blanks of "(2004-    )" the last year.
std::string averagetitle(const std::string& titletemplate,
                         const std::string& monthname, int lastyear);

// The 8-character date text of a month index ("Jun 2008").
std::string datetext(int index);
// The quoted date label: one date, or "start - end".
std::string datelabel(int first, int last, bool single);

// Opens the slot's command file, writes the frame and the kind's lines; for
// a combination without a plot it closes the file after the first lines.
// Returns whether the file is ready to run. A line that CommandFile refuses
// leaves no file, and is handed back in `refused` (spelled out).
bool writeplotfile(const PlotSlot& slot, int action, const PlotLines& body,
                   std::string* refused = nullptr);

// writeplotfile for a request: a refused line is told through the front
// end, with the line, so the user sees which text it was.
bool writerequestfile(CoreState& app, const PlotSlot& slot, int action, const PlotLines& body);

#endif
