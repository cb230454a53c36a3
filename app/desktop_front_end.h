// The desktop program's side of the plot requests: command files in the
// kinds' rotating slots, Ferret in its own window or through Create JPG's
// progress dialog, refusals in a message box.
#ifndef TIDECHARTER_APP_DESKTOP_FRONT_END_H
#define TIDECHARTER_APP_DESKTOP_FRONT_END_H

#include <string>

#include "core/drive_setup.h"
#include "core/front_end.h"

class DesktopFrontEnd : public FrontEnd {
 public:
  PlotSlot commandfile(const PlotSlot& slot) override { return slot; }
  void runferret(const PlotSlot& slot, const FerretRun& run) override;
  void message(const UserMessage& message) override;
};

// The drive root's set-up in a small progress dialog; a failure in a
// message box.
class DesktopSetupProgress : public SetupProgress {
 public:
  void begin(const std::string& root, const std::string& source, const std::string& reason) override;
  void line(const std::string& text) override;
  void tick() override;
  void failed(const std::string& root, const std::string& why) override;
  void end(double seconds) override;

 private:
  std::string root_;
  int turn_ = 0;
  bool shown_ = false;
};

#endif
