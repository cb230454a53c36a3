#include "app/desktop_front_end.h"

#include "ferret/jpg_export.h"
#include "plots/plot_request.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

void DesktopFrontEnd::runferret(const PlotSlot& slot, const FerretRun& run) {
  if (run.action == kActionPlot) {
    // Beside the command file, for the plot window to ask for other months.
    writeplotrequest(slot);
    plotrun(slot, run.waitSeconds);
  } else if (run.action == kActionJpg) {
    int ierror = 0;
    createjpg(*run.log, slot.cygwinPath, slot.outputName, ierror, run.multicore, run.landflag,
              run.vectorflag);
  }
}

void DesktopFrontEnd::message(const UserMessage& message) {
  WMessageBox(0, 3, 1, messagetext(message, '\r'), message.title);
}

namespace {
const int kSetupDialog = 112;
}

void DesktopSetupProgress::begin(const std::string& root, const std::string&, const std::string& reason) {
  root_ = root;
  WDialogLoad(kSetupDialog);
  WDialogSelect(kSetupDialog);
  WDialogPutString(kSetupReasonLabel, "Laying out Tidecharter's drive root (" + reason + ")");
  WDialogPutString(kSetupRootLabel, root);
  for (int field : {kSetupFileLabel, kSetupTurnLabel, kSetupDetailLabel})
    WDialogPutString(field, " ");
  WDialogPutString(kSetupOnceLabel, "This is done once.  Your data and files are kept.");
  WDialogShow(-1, -1, 0, 2);
  shown_ = true;
}

void DesktopSetupProgress::line(const std::string& text) {
  // The drive root is in the dialog already; the lines name what lies below it.
  std::string shown = text;
  for (std::size_t at; (at = shown.find(root_ + "/")) != std::string::npos;) shown.erase(at, root_.size() + 1);
  if (shown.find_first_not_of(' ') == std::string::npos) return;
  WDialogSelect(kSetupDialog);
  if (shown[0] == ' ') {
    WDialogPutString(kSetupDetailLabel, shown.substr(shown.find_first_not_of(' ')));
  } else {
    WDialogPutString(kSetupFileLabel, shown);
    WDialogPutString(kSetupDetailLabel, " ");
  }
}

void DesktopSetupProgress::tick() {
  static const char* const turns[] = {"|", "/", "-", "\\"};
  WDialogSelect(kSetupDialog);
  WDialogPutString(kSetupTurnLabel, turns[turn_++ % 4]);
}

void DesktopSetupProgress::failed(const std::string& root, const std::string& why) {
  if (shown_) {
    WDialogSelect(kSetupDialog);
    WDialogHide();
  }
  WMessageBox(0, 3, 1, "Tidecharter cannot lay out its drive root\r" + root + ":\r" + why, "Tidecharter");
}

void DesktopSetupProgress::end(double) {
  WDialogSelect(kSetupDialog);
  WDialogHide();
  WDialogUnload();
}
