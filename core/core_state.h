// The state a plot request shares with the program around it: the data end
// dates, the processor flag, the run log, the location table and each
// kind's slot counter, with the front end its requests go to. Each front
// end owns one for its whole run.
#ifndef TIDECHARTER_CORE_CORE_STATE_H
#define TIDECHARTER_CORE_CORE_STATE_H

#include <string>
#include <vector>

#include "core/front_end.h"
#include "ferret/command_file.h"
#include "ferret/run_log.h"
#include "locations/locations.h"
#include "toolkit/toolkit.h"

// What one plot kind keeps between requests.
struct PlotKindState {
  explicit PlotKindState(const char* kindCode) : slot(kindCode) {}
  SlotCounter slot;
  int action = kNoAction;
  int previousProperty = 1;
};

struct CoreState {
  int edition = 1;  // 1 Pacific, 2 Global; this program is built with 1
  std::string versiontext = std::string(45, ' ');
  int ncity = 0;
  int argoend = 100, avisoend = 100, reynoldsend = 100;
  int multicore = 0;
  int itype = 0;           // type of the last toolkit message
  MessageRecord message;   // the last toolkit message
  LocationTable locations;
  std::vector<std::string> locationNames;  // 34-character names, kPlotLocationMenu
  RunLog log;

  // Where the plot requests' command files, Ferret runs and refusals go;
  // the front end that owns the state puts itself in.
  FrontEnd* frontend = nullptr;

  PlotKindState map{"map"}, ver{"ver"}, tim{"tim"}, lin{"lin"}, pro{"pro"};
};

// versiontext: line 1 of the edition's versioninfo.txt (A15), the version,
// and line 2 (A30), the data line ("Sample Jan 2004 - Aug 2008"), blanks
// where nothing was read.
void readversiontext(CoreState& app);

// The main menu's version label: the two lines of versiontext without
// their trailing blanks, one under the other.
std::string versionlabel(const CoreState& app);

// Start-up steps 6 and 7: reads the edition's location file into
// app.locations, sets app.ncity and logs "ReadBuoy ncity=". A file that
// cannot be opened is reported with missinglocationfile() and false is
// returned: the program cannot run without it and ends.
bool loadlocations(CoreState& app);

// Fills the location-name list from the table (50 texts of 34 characters),
// puts its first app.ncity names into kPlotLocationMenu of the current dialog with
// item 1 selected and applies location 1 to the region fields.
void fillLocationMenu(CoreState& app);

// Puts the location-name list back into kPlotLocationMenu of the current dialog,
// item 1 selected.
void resetlocationmenu(const CoreState& app);

#endif
