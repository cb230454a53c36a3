#include "plots/plot_procedures.h"

#include "core/core_state.h"
#include "toolkit/toolkit.h"

void loadparameterdialog(CoreState& app, int dialog) {
  WDialogLoad(dialog);
  if (dialog == 103) {
    for (int field : {1056, 1057, 1058, 1059, 1060}) WDialogFieldState(field, 0);
  } else if (dialog == 104 || dialog == 109) {
    fillLocationMenu(app);
  }
}
