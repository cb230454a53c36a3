#include "app/load_dialogs.h"

#include "app/app_state.h"
#include "plots/plot_procedures.h"
#include "toolkit/toolkit.h"

void loaddialogs(AppState& app) {
  WDialogLoad(app.edition == 1 ? 101 : 108);
  WDialogPutString(1016, app.versiontext);

  for (int dialog : {103, 105, 104, 109}) loadparameterdialog(app, dialog);

  WDialogLoad(107);
  loadparameterdialog(app, 110);
  WDialogLoad(111);
}
