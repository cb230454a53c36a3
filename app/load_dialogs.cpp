#include "app/load_dialogs.h"

#include "app/app_state.h"
#include "locations/location_menu.h"
#include "toolkit/toolkit.h"

void loadparameterdialog(AppState& app, int dialog) {
  WDialogLoad(dialog);
  if (dialog == 103) {
    for (int field : {1056, 1057, 1058, 1059, 1060}) WDialogFieldState(field, 0);
  } else if (dialog == 104 || dialog == 109) {
    fillLocationMenu(app);
  }
}

void loaddialogs(AppState& app) {
  WDialogLoad(app.edition == 1 ? 101 : 108);
  WDialogPutString(1016, app.versiontext);

  for (int dialog : {103, 105, 104, 109}) loadparameterdialog(app, dialog);

  WDialogLoad(107);
  loadparameterdialog(app, 110);
  WDialogLoad(111);
}
