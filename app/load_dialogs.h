#ifndef TIDECHARTER_APP_LOAD_DIALOGS_H
#define TIDECHARTER_APP_LOAD_DIALOGS_H

struct AppState;

// Loads every dialog once and sets its start-up state: the version text in
// the main menu, the velocity fields of the map view disabled, the location
// menus of the time-series and line-drawing dialogs filled.
void loaddialogs(AppState& app);

// Loads one parameter dialog (103, 104, 105, 109 or 110) in that start-up
// state; it is the current dialog afterwards.
void loadparameterdialog(AppState& app, int dialog);

// The last year of the year menus: that of the latest data end date, and
// never before 2015.
int lastmenuyear(const AppState& app);

// The start and end year menus of a loaded parameter dialog run to
// lastmenuyear(); an empty last item stays last and the selections stay.
// The dialog is the current one afterwards.
void datayears(const AppState& app, int dialog);

// A freshly loaded parameter dialog's default month follows the Argo data:
// two months before their end (the end itself in the derived products).
void datadefaults(const AppState& app, int dialog);

// datayears for every parameter dialog, and with `defaults` datadefaults.
void followdata(const AppState& app, bool defaults);

#endif
