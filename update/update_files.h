// The monthly update behind the main menu's Update button.
#ifndef TIDECHARTER_UPDATE_UPDATE_FILES_H
#define TIDECHARTER_UPDATE_UPDATE_FILES_H

struct AppState;

// Downloads, installs and appends the month after app.argoend, reporting in
// dialog 111; may change the three end dates.
void updatefiles(AppState& app);

#endif
