#include "batch/batch_front_end.h"

#include "app/app_state.h"

void BatchFrontEnd::begin(const std::string& commandFile, const std::vector<std::string>& heading) {
  commandFile_ = commandFile;
  heading_ = heading;
  ready_ = false;
  refusals_.clear();
}

PlotSlot BatchFrontEnd::commandfile(const PlotSlot& slot) {
  PlotSlot own = slot;
  own.windowsPath = commandFile_;
  own.cygwinPath = commandFile_;
  own.heading = heading_;
  return own;
}

void BatchFrontEnd::runferret(AppState&, const PlotKindState& kind, const PlotSlot&, const FerretRun&) {
  // Only Create JPG's command file draws a picture without a window.
  if (kind.action == kActionJpg) ready_ = true;
}

void BatchFrontEnd::message(const UserMessage& message) { refusals_.push_back(message); }
