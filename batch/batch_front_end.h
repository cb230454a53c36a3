// The batch run's side of the plot requests: a command file goes into the
// run's own directory, headed by where its picture comes from, never into
// the program's slots; Ferret is not run at once but noted, so that the
// pictures are drawn side by side once every request is written; a refusal
// is kept for the run's messages.
#ifndef TIDECHARTER_BATCH_BATCH_FRONT_END_H
#define TIDECHARTER_BATCH_BATCH_FRONT_END_H

#include <string>
#include <vector>

#include "core/drive_setup.h"
#include "core/front_end.h"

class BatchFrontEnd : public FrontEnd {
 public:
  // The next request's command file (a host path) and its heading lines.
  void begin(const std::string& commandFile, const std::vector<std::string>& heading);
  PlotSlot commandfile(const PlotSlot& slot) override;
  void runferret(const PlotSlot& slot, const FerretRun& run) override;
  void message(const UserMessage& message) override;

  // Since begin(): whether the request got as far as running Ferret, and
  // why it was refused.
  bool ready() const { return ready_; }
  const std::vector<UserMessage>& refusals() const { return refusals_; }

 private:
  std::string commandFile_;
  std::vector<std::string> heading_;
  bool ready_ = false;
  std::vector<UserMessage> refusals_;
};

// The drive root's set-up told on standard output as it goes, a failure
// on standard error.
class BatchSetupProgress : public SetupProgress {
 public:
  void begin(const std::string& root, const std::string& source, const std::string& reason) override;
  void line(const std::string& text) override;
  void tick() override {}
  void failed(const std::string& root, const std::string& why) override;
  void end(double seconds) override;
};

#endif
