// The plot procedures and field-enabling procedures the main loop calls.
// Each plot procedure handles one push-button message of its dialog (the
// message is app.message) and returns.
#ifndef TIDECHARTER_PLOTS_PLOT_PROCEDURES_H
#define TIDECHARTER_PLOTS_PLOT_PROCEDURES_H

struct CoreState;

// Loads one parameter dialog (103, 104, 105, 109 or 110) in its start-up
// state: the velocity fields of the map view disabled, the location menus
// of the time-series and line-drawing dialogs filled. It is the current
// dialog afterwards.
void loadparameterdialog(CoreState& app, int dialog);

void plotmapview(CoreState& app);
void mapviewfields(CoreState& app);
void plotvertview(CoreState& app);
void vertviewfields(CoreState& app);
void plottimeseries(CoreState& app);
void timeviewfields(CoreState& app);
void plotlinedrawing(CoreState& app);
void lineviewfields(CoreState& app);
void plotprodview(CoreState& app);
void prodviewfields(CoreState& app);

#endif
