// The plot procedures and field-enabling procedures the main loop calls.
// Each plot procedure handles one push-button message of its dialog (the
// message is app.message) and returns.
#ifndef TIDECHARTER_PLOTS_PLOT_PROCEDURES_H
#define TIDECHARTER_PLOTS_PLOT_PROCEDURES_H

struct AppState;

void plotmapview(AppState& app);
void mapviewfields(AppState& app);
void plotvertview(AppState& app);
void vertviewfields(AppState& app);
void plottimeseries(AppState& app);
void timeviewfields(AppState& app);
void plotlinedrawing(AppState& app);
void lineviewfields(AppState& app);
void plotprodview(AppState& app);
void prodviewfields(AppState& app);

#endif
