// The desktop program's state: the core's, with the desktop as its front
// end and the main menu's exit flag.
#ifndef TIDECHARTER_APP_APP_STATE_H
#define TIDECHARTER_APP_APP_STATE_H

#include "app/desktop_front_end.h"
#include "core/core_state.h"

struct AppState : CoreState {
  AppState() { frontend = &desktop; }
  // The front end points into the state itself.
  AppState(const AppState&) = delete;
  AppState& operator=(const AppState&) = delete;

  int exitflag = 0;
  DesktopFrontEnd desktop;
};

#endif
