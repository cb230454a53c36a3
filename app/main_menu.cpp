#include "app/main_menu.h"

#include "app/app_state.h"
#include "app/startup_checks.h"
#include "plots/plot_kinds.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"
#include "update/update_files.h"

namespace {

constexpr int kMainMenu = 101;

void openparameterdialog(int choice) {
  const std::vector<PlotKind>& kinds = plotkinds();
  if (choice < 1 || choice > static_cast<int>(kinds.size())) return;
  WDialogSelect(kinds[choice - 1].dialog);
  WDialogShow(kinds[choice - 1].menuX, -1, 0, 2);
}

void mainmenubutton(AppState& app) {
  // Any button first brings the menu to the top; a shown dialog keeps its
  // place.
  WDialogSelect(kMainMenu);
  WDialogShow(480, -1, 0, 2);
  switch (app.message.value1) {
    case kOkButton: {
      int choice = 0;
      WDialogGetRadioButton(kMainMapRadio, choice);
      openparameterdialog(choice);
      break;
    }
    case kCancelButton:
    case kMainExitButton:
      app.exitflag = 1;
      break;
    case kMainHelpButton:
      app.log.write("spawn notepad:");
      IOsCommand("c:\\tidecharter\\bin\\notepad c:\\tidecharter\\Help\\README_tdc.txt");
      break;
    case kMainCloseAllButton:
      app.log.write("spawn tcKillCygwinX:");
      IOsCommand("c:\\tidecharter\\bin\\tcKillCygwinX.bat", 1);
      app.exitflag = 1;
      break;
    case kMainUpdateButton:
      updatefiles(app);
      // A month of a new year is offered at once, and the data line says
      // how far the data now reach.
      followdata(app, false);
      readversiontext(app);
      WDialogSelect(kMainMenu);
      WDialogPutString(kMainVersionLabel, versionlabel(app));
      WDialogSelect(111);
      break;
    default:
      break;
  }
}

void pushbutton(AppState& app) {
  if (const PlotKind* kind = plotkindofdialog(app.message.win)) {
    kind->plot(app);
    return;
  }
  switch (app.message.win) {
    case 101:
    case 108:
      mainmenubutton(app);
      break;
    case 107:
    case 111: {
      const int button = app.message.value1;
      if (button == kOkButton || button == kCancelButton || button == kMainExitButton) {
        WDialogSelect(app.message.win);
        WDialogHide();
      }
      break;
    }
    default:
      break;
  }
}

void fieldchanged(AppState& app) {
  // Only a change inside the focused field; a focus move is ignored.
  if (app.message.value1 != app.message.value2) return;
  if (const PlotKind* kind = plotkindofdialog(app.message.win)) kind->fields(app);
}

}  // namespace

void dispatchmessage(AppState& app) {
  if (app.itype == PushButton) {
    pushbutton(app);
  } else if (app.itype == FieldChanged) {
    fieldchanged(app);
  }
}

void exitsequence() {
  WindowClose();
  IOsCommand("c:\\tidecharter\\bin\\tcJnlrm.bat", 1);
}

void mainmenuloop(AppState& app) {
  while (app.exitflag == 0) {
    WMessage(app.itype, app.message);
    dispatchmessage(app);
  }
  exitsequence();
}
