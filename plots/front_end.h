// What a plot request does differently in the desktop program and in the
// batch run: where its command file goes, how Ferret is run on it and where
// a refusal is told. The plot procedures reach these only through here, and
// each front end fills them in; the command file itself is always written
// by the plot procedures.
#ifndef TIDECHARTER_PLOTS_FRONT_END_H
#define TIDECHARTER_PLOTS_FRONT_END_H

#include "ferret/command_file.h"
#include "plots/user_message.h"

struct AppState;
struct PlotKindState;

// What the Ferret run of a request depends on besides its command file.
struct FerretRun {
  int waitSeconds = 5;  // Plot: how long tcferret.bat is waited for
  int landflag = 1;     // Create JPG: 0 = land with bathymetry (slower)
  int vectorflag = 0;   // Create JPG: 1 or 2 for vector plots (slower)
};

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // The command file of a request, given the slot its kind's counter has
  // just handed out.
  virtual PlotSlot commandfile(const PlotSlot& slot) = 0;
  // Runs Ferret on the command file once it is written.
  virtual void runferret(AppState& app, const PlotKindState& kind, const PlotSlot& slot,
                         const FerretRun& run) = 0;
  // Tells why a request was refused.
  virtual void message(const UserMessage& message) = 0;
};

#endif
