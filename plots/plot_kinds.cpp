#include "plots/plot_kinds.h"

#include "plots/plot_procedures.h"
#include "toolkit/toolkit.h"

const std::vector<PlotKind>& plotkinds() {
  static const std::vector<PlotKind> kinds = {
      {"map", 103, -1, mapviewfields, plotmapview, &CoreState::map, "map", "a map",
       {"kind", "property", "pressure", "plot", "region", "start", "end", "land", "vectors", "fill", "output"},
       1011, 1012, 1025, 1027, 1029, 1030},
      // The vertical section sits right of the main menu.
      {"ver", 105, 510, vertviewfields, plotvertview, &CoreState::ver, "section", "a section",
       {"kind", "property", "pressure", "plot", "direction", "region", "start", "end", "fill", "output"},
       1010, 1036, 1064, 1065, 1066, 1067},
      {"tim", 104, -1, timeviewfields, plottimeseries, &CoreState::tim, "time series", "a time series",
       {"kind", "property", "pressure", "plot", "region", "location", "start", "end", "fill", "output"},
       1011, 1012, 1025, 1027, 1029, 1030},
      {"lin", 109, -1, lineviewfields, plotlinedrawing, &CoreState::lin, "line", "a line",
       {"kind", "property", "pressure", "plot", "region", "location", "start", "end", "output"},
       1011, 1012, 1025, 1027, 1029, 1030},
      {"pro", 110, -1, prodviewfields, plotprodview, &CoreState::pro, "product", "a product",
       {"kind", "property", "plot", "region", "start", "end", "land", "fill", "output"},
       0, 0, 1025, 1027, 1029, 1030},
  };
  return kinds;
}

const PlotKind* plotkindofdialog(int dialog) {
  for (const PlotKind& kind : plotkinds())
    if (kind.dialog == dialog) return &kind;
  return nullptr;
}

void loadparameterdialog(CoreState& app, int dialog) {
  WDialogLoad(dialog);
  if (dialog == 103) {
    for (int field : {1056, 1057, 1058, 1059, 1060}) WDialogFieldState(field, 0);
  } else if (dialog == 104 || dialog == 109) {
    fillLocationMenu(app);
  }
}
