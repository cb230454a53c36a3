#ifndef TIDECHARTER_PLOTS_NOTANOPTION_H
#define TIDECHARTER_PLOTS_NOTANOPTION_H

#include "core/user_message.h"

// "This combination is not an option." for property and plot-type pairs
// that have no plot.
UserMessage notanoption();

#endif
