#include "app/desktop_front_end.h"

#include "app/app_state.h"
#include "ferret/jpg_export.h"
#include "toolkit/toolkit.h"

void DesktopFrontEnd::runferret(AppState& app, const PlotKindState& kind, const PlotSlot& slot,
                                const FerretRun& run) {
  if (kind.action == kActionPlot) {
    plotrun(slot, run.waitSeconds);
  } else if (kind.action == kActionJpg) {
    int ierror = 0;
    createjpg(app.log, slot.cygwinPath, slot.outputName, ierror, app.multicore, run.landflag,
              run.vectorflag);
  }
}

void DesktopFrontEnd::message(const UserMessage& message) {
  WMessageBox(0, 3, 1, messagetext(message, '\r'), message.title);
}
