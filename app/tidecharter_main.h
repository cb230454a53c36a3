#ifndef TIDECHARTER_APP_TIDECHARTER_MAIN_H
#define TIDECHARTER_APP_TIDECHARTER_MAIN_H

// The program: start-up, the main-menu loop until an exit button, the exit
// sequence. Returns the process exit code.
int tidecharter_main();

#endif
