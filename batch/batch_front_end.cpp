#include "batch/batch_front_end.h"

#include <cstdio>


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

void BatchFrontEnd::runferret(const PlotSlot&, const FerretRun& run) {
  // Only Create JPG's command file draws a picture without a window.
  if (run.action == kActionJpg) ready_ = true;
}

void BatchFrontEnd::message(const UserMessage& message) { refusals_.push_back(message); }

void BatchSetupProgress::begin(const std::string& root, const std::string& source, const std::string& reason) {
  std::printf("tidecharter: laying out the drive root %s from %s (%s)\n", root.c_str(), source.c_str(),
              reason.c_str());
  std::fflush(stdout);
}

void BatchSetupProgress::line(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

void BatchSetupProgress::failed(const std::string& root, const std::string& why) {
  std::fprintf(stderr, "tidecharter: cannot lay out the drive root %s: %s\n", root.c_str(), why.c_str());
}

void BatchSetupProgress::end(double seconds) {
  std::printf("tidecharter: drive root laid out in %.1f s\n", seconds);
  std::fflush(stdout);
}
