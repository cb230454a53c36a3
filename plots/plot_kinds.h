// The plot kinds, one row each: everything the main menu, the batch run and
// the command-file slots know of a kind. A new kind is a row here and its
// unit in plots/ (with its dialog in resources/).
#ifndef TIDECHARTER_PLOTS_PLOT_KINDS_H
#define TIDECHARTER_PLOTS_PLOT_KINDS_H

#include <string>
#include <vector>

#include "core/core_state.h"

struct PlotKind {
  const char* code;  // "map": its command-file slots
  int dialog;        // its parameter dialog
  int menuX;         // where the main menu shows the dialog; -1 centred
  void (*fields)(CoreState&);  // the field procedure, at a field change
  void (*plot)(CoreState&);    // the plot procedure, at a push button
  PlotKindState CoreState::*state;  // its slot counter and last action
  const char* batchName;  // the request file's kind: "time series"
  const char* article;    // "a time series"
  std::vector<std::string> batchKeys;  // the request file's keys it takes
  // The pressure menus (0: none) and the start and end menus of its dialog,
  // which the batch run fills.
  int upper, lower, startMonth, startYear, endMonth, endYear;
  // The month and year menus whose default follows the Argo data,
  // `defaultBefore` months before its end.
  int defaultMonth, defaultYear, defaultBefore;
  // Whether a picture of this property and plot type (menu items) shows
  // one month without time on an axis, so that it can be drawn month by
  // month; nullptr: none of the kind's pictures can.
  bool (*monthframes)(int property, int plotType);
};

// In the main menu's order (its radio items 1 to 5).
const std::vector<PlotKind>& plotkinds();

// The kind whose parameter dialog is `dialog`; nullptr for none.
const PlotKind* plotkindofdialog(int dialog);

// The last year of the year menus: that of the latest data end date, and
// never before 2015.
int lastmenuyear(const CoreState& app);

// The start and end year menus of a loaded parameter dialog run to
// lastmenuyear(); an empty last item stays last and the selections stay.
// The dialog is the current one afterwards.
void datayears(const CoreState& app, int dialog);

// A freshly loaded parameter dialog's default month follows the Argo data:
// two months before their end (the end itself in the derived products).
void datadefaults(const CoreState& app, int dialog);

// datayears for every parameter dialog, and with `defaults` datadefaults.
void followdata(const CoreState& app, bool defaults);

#endif
