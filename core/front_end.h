// What a plot request does differently in each front end: where its command
// file goes, how Ferret is run on it and where a refusal is told. The plot
// procedures reach these only through here, and each front end fills them
// in; the command file itself is always written by the plot procedures.
#ifndef TIDECHARTER_CORE_FRONT_END_H
#define TIDECHARTER_CORE_FRONT_END_H

#include "core/user_message.h"
#include "ferret/command_file.h"

class RunLog;

// What the Ferret run of a request depends on besides its command file.
struct FerretRun {
  int action = kNoAction;  // the kind's: Plot or Create JPG
  int waitSeconds = 5;     // Plot: how long tcferret.bat is waited for
  int landflag = 1;        // Create JPG: 0 = land with bathymetry (slower)
  int vectorflag = 0;      // Create JPG: 1 or 2 for vector plots (slower)
  int multicore = 0;       // Create JPG: the processor check's flag
  RunLog* log = nullptr;   // Create JPG: where its steps are logged
};

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // The command file of a request, given the slot its kind's counter has
  // just handed out.
  virtual PlotSlot commandfile(const PlotSlot& slot) = 0;
  // Runs Ferret on the command file once it is written.
  virtual void runferret(const PlotSlot& slot, const FerretRun& run) = 0;
  // Tells why a request was refused.
  virtual void message(const UserMessage& message) = 0;
};

#endif
