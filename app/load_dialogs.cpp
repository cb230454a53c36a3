#include "app/load_dialogs.h"

#include "app/app_state.h"
#include "toolkit/toolkit.h"

namespace {

// Menu 1047 lists the locations; record 1 (the prompt row) is selected and
// its box becomes the dialog's region.
void filllocationmenu(const AppState& app) {
  WDialogPutMenu(1047, app.locationNames, app.ncity, 1);
  if (app.ncity >= 1) buoyselect(app.locations, 1, "line");
}

}  // namespace

void loaddialogs(AppState& app) {
  app.locationNames.assign(LocationTable::kMaxRecords, std::string(34, ' '));
  for (int i = 0; i < app.ncity; ++i) app.locationNames[i] = app.locations.records[i].cityname;

  WDialogLoad(app.edition == 1 ? 101 : 108);
  WDialogPutString(1016, app.versiontext);

  WDialogLoad(103);
  for (int field : {1056, 1057, 1058, 1059, 1060}) WDialogFieldState(field, 0);

  WDialogLoad(105);
  WDialogLoad(104);
  filllocationmenu(app);
  WDialogLoad(109);
  filllocationmenu(app);

  WDialogLoad(107);
  WDialogLoad(110);
  WDialogLoad(111);
}
