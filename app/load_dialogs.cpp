#include "app/load_dialogs.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "locations/location_menu.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int kFirstYear = 2004;
// The year menus never offer less than these years, and never more than
// an end date can sensibly mean.
constexpr int kMenuLastYear = 2015, kLatestLastYear = 2099;

// A parameter dialog's year menus, and the month and year menus whose
// default follows the Argo data: `before` months before its end (the
// sample's defaults are those months before its August 2008).
struct DataMonths {
  int dialog;
  int startYear, endYear;
  int month, year, before;
};

const DataMonths kDataMonths[] = {
    {103, 1027, 1030, 1025, 1027, 2},
    {105, 1065, 1067, 1064, 1065, 2},
    {104, 1027, 1030, 1029, 1030, 2},
    {109, 1027, 1030, 1029, 1030, 2},
    {110, 1027, 1030, 1025, 1027, 0},
};

const DataMonths* datamonthsof(int dialog) {
  for (const DataMonths& d : kDataMonths)
    if (d.dialog == dialog) return &d;
  return nullptr;
}

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

int lastmenuyear(const AppState& app) {
  const int end = std::max({app.argoend, app.avisoend, app.reynoldsend});
  const int year = end >= 1 ? kFirstYear + (end - 1) / 12 : kFirstYear;
  return std::clamp(year, kMenuLastYear, kLatestLastYear);
}

void datayears(const AppState& app, int dialog) {
  const DataMonths* d = datamonthsof(dialog);
  if (!d) return;
  WDialogSelect(dialog);
  extendyears(d->startYear, lastmenuyear(app));
  extendyears(d->endYear, lastmenuyear(app));
}

void datadefaults(const AppState& app, int dialog) {
  const DataMonths* d = datamonthsof(dialog);
  if (!d) return;
  WDialogSelect(dialog);
  const int index = std::max(1, app.argoend - d->before);
  selectmenuitem(d->month, (index - 1) % 12 + 1);
  selectmenuitem(d->year, (index - 1) / 12 + 1);
}

void followdata(const AppState& app, bool defaults) {
  for (const DataMonths& d : kDataMonths) {
    datayears(app, d.dialog);
    if (defaults) datadefaults(app, d.dialog);
  }
}

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
