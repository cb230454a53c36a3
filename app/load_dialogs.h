#ifndef TIDECHARTER_APP_LOAD_DIALOGS_H
#define TIDECHARTER_APP_LOAD_DIALOGS_H

// The parameter dialogs' year menus and default months
// (datayears, datadefaults, followdata) are the plot kinds'.
#include "plots/plot_kinds.h"

struct AppState;

// Loads every dialog once and sets its start-up state: the version text in
// the main menu, the velocity fields of the map view disabled, the location
// menus of the time-series and line-drawing dialogs filled.
void loaddialogs(AppState& app);

#endif
