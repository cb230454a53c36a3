#include "app/main_menu.h"

#include "app/app_state.h"
#include "app/load_dialogs.h"
#include "app/startup_checks.h"
#include "plots/plot_procedures.h"
#include "toolkit/toolkit.h"
#include "update/update_files.h"

namespace {

constexpr int kMainMenu = 101;

void openparameterdialog(int choice) {
  // The vertical section sits right of the main menu; the others centre.
  struct Choice {
    int dialog;
    int x;
  };
  static const Choice choices[] = {{103, -1}, {105, 510}, {104, -1}, {109, -1}, {110, -1}};
  if (choice < 1 || choice > 5) return;
  WDialogSelect(choices[choice - 1].dialog);
  WDialogShow(choices[choice - 1].x, -1, 0, 2);
}

void mainmenubutton(AppState& app) {
  // Any button first brings the menu to the top; a shown dialog keeps its
  // place.
  WDialogSelect(kMainMenu);
  WDialogShow(480, -1, 0, 2);
  switch (app.message.value1) {
    case 1: {
      int choice = 0;
      WDialogGetRadioButton(1006, choice);
      openparameterdialog(choice);
      break;
    }
    case 2:
    case 1002:
      app.exitflag = 1;
      break;
    case 1032:
      app.log.write("spawn notepad:");
      IOsCommand("c:\\tidecharter\\bin\\notepad c:\\tidecharter\\Help\\README_tdc.txt");
      break;
    case 1074:
      app.log.write("spawn tcKillCygwinX:");
      IOsCommand("c:\\tidecharter\\bin\\tcKillCygwinX.bat", 1);
      app.exitflag = 1;
      break;
    case 1088:
      updatefiles(app);
      // A month of a new year is offered at once, and the data line says
      // how far the data now reach.
      followdata(app, false);
      readversiontext(app);
      WDialogSelect(kMainMenu);
      WDialogPutString(1016, app.versiontext);
      WDialogSelect(111);
      break;
    default:
      break;
  }
}

void pushbutton(AppState& app) {
  switch (app.message.win) {
    case 101:
    case 108:
      mainmenubutton(app);
      break;
    case 103:
      plotmapview(app);
      break;
    case 105:
      plotvertview(app);
      break;
    case 104:
      WDialogSelect(104);
      WDialogShow(-1, -1, 0, 2);
      plottimeseries(app);
      break;
    case 109:
      WDialogSelect(109);
      WDialogShow(-1, -1, 0, 2);
      plotlinedrawing(app);
      break;
    case 110:
      plotprodview(app);
      break;
    case 107:
    case 111: {
      const int button = app.message.value1;
      if (button == 1 || button == 2 || button == 1002) {
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
  switch (app.message.win) {
    case 103:
      mapviewfields(app);
      break;
    case 105:
      vertviewfields(app);
      break;
    case 104:
      timeviewfields(app);
      break;
    case 109:
      lineviewfields(app);
      break;
    case 110:
      prodviewfields(app);
      break;
    default:
      break;
  }
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
