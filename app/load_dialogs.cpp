#include "app/load_dialogs.h"

#include "app/app_state.h"
#include "locations/location_menu.h"
#include "toolkit/toolkit.h"

void loaddialogs(AppState& app) {
  WDialogLoad(app.edition == 1 ? 101 : 108);
  WDialogPutString(1016, app.versiontext);

  WDialogLoad(103);
  for (int field : {1056, 1057, 1058, 1059, 1060}) WDialogFieldState(field, 0);

  WDialogLoad(105);
  WDialogLoad(104);
  fillLocationMenu(app);
  WDialogLoad(109);
  fillLocationMenu(app);

  WDialogLoad(107);
  WDialogLoad(110);
  WDialogLoad(111);
}
