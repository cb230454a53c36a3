// The desktop program's side of the plot requests: command files in the
// kinds' rotating slots, Ferret in its own window or through Create JPG's
// progress dialog, refusals in a message box.
#ifndef TIDECHARTER_APP_DESKTOP_FRONT_END_H
#define TIDECHARTER_APP_DESKTOP_FRONT_END_H

#include "plots/front_end.h"

class DesktopFrontEnd : public FrontEnd {
 public:
  PlotSlot commandfile(const PlotSlot& slot) override { return slot; }
  void runferret(AppState& app, const PlotKindState& kind, const PlotSlot& slot,
                 const FerretRun& run) override;
  void message(const UserMessage& message) override;
};

#endif
