// The application state that the main program owns for the whole run and
// shares with the procedures it calls.
#ifndef TIDECHARTER_APP_APP_STATE_H
#define TIDECHARTER_APP_APP_STATE_H

#include <string>
#include <vector>

#include "app/desktop_front_end.h"
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

struct AppState {
  int edition = 1;  // 1 Pacific, 2 Global; this program is built with 1
  std::string versiontext = std::string(30, ' ');
  int ncity = 0;
  int argoend = 100, avisoend = 100, reynoldsend = 100;
  int multicore = 0;
  int exitflag = 0;
  int itype = 0;           // type of the last toolkit message
  MessageRecord message;   // the last toolkit message
  LocationTable locations;
  std::vector<std::string> locationNames;  // 34-character names, menu 1047
  RunLog log;

  // Where the plot requests' command files, Ferret runs and refusals go:
  // the desktop's own unless a batch run puts itself in.
  DesktopFrontEnd desktop;
  FrontEnd* frontend = &desktop;

  PlotKindState map{"map"}, ver{"ver"}, tim{"tim"}, lin{"lin"}, pro{"pro"};
};

#endif
