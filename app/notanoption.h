#ifndef TIDECHARTER_APP_NOTANOPTION_H
#define TIDECHARTER_APP_NOTANOPTION_H

// "This combination is not an option." for property and plot-type pairs
// that have no plot.
void notanoption();

#endif
