#include "plots/plot_kinds.h"

#include <algorithm>

#include "plots/plot_procedures.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

namespace {

bool everyplot(int, int) { return true; }
// The isotherm depth, mixed layer and heat potential maps; the warm water
// volume and the Nino indices are curves against time.
bool productmaps(int property, int) { return property >= 1 && property <= 3; }

}  // namespace

const std::vector<PlotKind>& plotkinds() {
  static const std::vector<PlotKind> kinds = {
      {"map", 103, -1, mapviewfields, plotmapview, &CoreState::map, "map", "a map",
       {"kind", "property", "pressure", "plot", "region", "start", "end", "land", "vectors", "fill", "output",
        "months", "speed"},
       kPlotUpperMenu, kPlotLowerMenu,
       kPlotStartMonthMenu, kPlotStartYearMenu, kPlotEndMonthMenu, kPlotEndYearMenu,
       kPlotStartMonthMenu, kPlotStartYearMenu, 2, everyplot},
      // The vertical section sits right of the main menu.
      {"ver", 105, 510, vertviewfields, plotvertview, &CoreState::ver, "section", "a section",
       {"kind", "property", "pressure", "plot", "direction", "region", "start", "end", "fill", "output", "months",
        "speed"},
       kVertUpperMenu, kVertLowerMenu,
       kVertStartMonthMenu, kVertStartYearMenu, kVertEndMonthMenu, kVertEndYearMenu,
       kVertStartMonthMenu, kVertStartYearMenu, 2, everyplot},
      {"tim", 104, -1, timeviewfields, plottimeseries, &CoreState::tim, "time series", "a time series",
       {"kind", "property", "pressure", "plot", "region", "location", "start", "end", "fill", "output"},
       kPlotUpperMenu, kPlotLowerMenu,
       kPlotStartMonthMenu, kPlotStartYearMenu, kPlotEndMonthMenu, kPlotEndYearMenu,
       kPlotEndMonthMenu, kPlotEndYearMenu, 2, nullptr},
      {"lin", 109, -1, lineviewfields, plotlinedrawing, &CoreState::lin, "line", "a line",
       {"kind", "property", "pressure", "plot", "region", "location", "start", "end", "output"},
       kPlotUpperMenu, kPlotLowerMenu,
       kPlotStartMonthMenu, kPlotStartYearMenu, kPlotEndMonthMenu, kPlotEndYearMenu,
       kPlotEndMonthMenu, kPlotEndYearMenu, 2, nullptr},
      {"pro", 110, -1, prodviewfields, plotprodview, &CoreState::pro, "product", "a product",
       {"kind", "property", "plot", "region", "start", "end", "land", "fill", "output", "months", "speed"},
       0, 0,
       kPlotStartMonthMenu, kPlotStartYearMenu, kPlotEndMonthMenu, kPlotEndYearMenu,
       kPlotStartMonthMenu, kPlotStartYearMenu, 0, productmaps},
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
    for (int field :
         {kMapVectorLabel, kMapVectorXLabel, kMapVectorYLabel, kMapVectorXMenu, kMapVectorYMenu})
      WDialogFieldState(field, 0);
  } else if (dialog == 104 || dialog == 109) {
    fillLocationMenu(app);
  }
}

namespace {

constexpr int kFirstYear = 2004;
// The year menus never offer less than these years, and never more than
// an end date can sensibly mean.
constexpr int kMenuLastYear = 2015, kLatestLastYear = 2099;

// Appends the years after the menu's last one up to `lastYear`, before an
// empty last item if there is one; the selection stays on its item.
void extendyears(int field, int lastYear) {
  std::vector<std::string> items;
  WDialogGetMenuItems(field, items);
  const bool emptyLast = !items.empty() && items.back().empty();
  const int years = static_cast<int>(items.size()) - (emptyLast ? 1 : 0);
  if (years < 1 || kFirstYear + years - 1 >= lastYear) return;
  int selected = 0;
  WDialogGetMenu(field, selected);
  const bool onEmpty = emptyLast && selected == years + 1;
  auto at = items.begin() + years;
  for (int year = kFirstYear + years; year <= lastYear; ++year) at = items.insert(at, std::to_string(year)) + 1;
  if (onEmpty) selected = static_cast<int>(items.size());
  WDialogPutMenu(field, items, static_cast<int>(items.size()), selected);
  // A menu without a selection stays without one; that is no error.
  if (selected < 1) InfoError(1);
}

void selectmenuitem(int field, int item) {
  std::vector<std::string> items;
  WDialogGetMenuItems(field, items);
  if (item >= 1 && item <= static_cast<int>(items.size()))
    WDialogPutMenu(field, items, static_cast<int>(items.size()), item);
}

}  // namespace

int lastmenuyear(const CoreState& app) {
  const int end = std::max({app.argoend, app.avisoend, app.reynoldsend});
  const int year = end >= 1 ? kFirstYear + (end - 1) / 12 : kFirstYear;
  return std::clamp(year, kMenuLastYear, kLatestLastYear);
}

void datayears(const CoreState& app, int dialog) {
  const PlotKind* kind = plotkindofdialog(dialog);
  if (!kind) return;
  WDialogSelect(dialog);
  extendyears(kind->startYear, lastmenuyear(app));
  extendyears(kind->endYear, lastmenuyear(app));
}

void datadefaults(const CoreState& app, int dialog) {
  const PlotKind* kind = plotkindofdialog(dialog);
  if (!kind) return;
  WDialogSelect(dialog);
  const int index = std::max(1, app.argoend - kind->defaultBefore);
  selectmenuitem(kind->defaultMonth, (index - 1) % 12 + 1);
  selectmenuitem(kind->defaultYear, (index - 1) / 12 + 1);
}

void followdata(const CoreState& app, bool defaults) {
  for (const PlotKind& kind : plotkinds()) {
    datayears(app, kind.dialog);
    if (defaults) datadefaults(app, kind.dialog);
  }
}
