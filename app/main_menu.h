// The main-menu loop: one WMessage call per turn, dispatched by message
// type and dialog until an exit button sets the exit flag.
#ifndef TIDECHARTER_APP_MAIN_MENU_H
#define TIDECHARTER_APP_MAIN_MENU_H

struct AppState;

// Handles the message held in app.itype / app.message.
void dispatchmessage(AppState& app);

// Runs until the exit flag is set, then the exit sequence.
void mainmenuloop(AppState& app);

// Closes the root window and starts the journal clean-up.
void exitsequence();

#endif
