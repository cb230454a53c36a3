#include "app/load_dialogs.h"

#include "app/app_state.h"
#include "plots/plot_kinds.h"
#include "plots/plot_procedures.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

void loaddialogs(AppState& app) {
  WDialogLoad(app.edition == 1 ? 101 : 108);
  WDialogPutString(kMainVersionLabel, versionlabel(app));

  for (const PlotKind& kind : plotkinds()) loadparameterdialog(app, kind.dialog);
  WDialogLoad(107);
  WDialogLoad(111);
}
