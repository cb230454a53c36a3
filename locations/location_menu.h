// The location table as the main program and the time-series and
// line-drawing dialogs use it: its file, and matching a typed region back
// to a location. Reading it into the program's state and kPlotLocationMenu are the
// core's (core/core_state.h).
#ifndef TIDECHARTER_LOCATIONS_LOCATION_MENU_H
#define TIDECHARTER_LOCATIONS_LOCATION_MENU_H

#include <string>

#include "locations/locations.h"

// The location file of an edition (1 Pacific, 2 Global).
const char* locationfile(int edition);

// Tells the user which location file could not be opened.
void missinglocationfile(const std::string& path);

// The location a typed region belongs to: the first record whose widened
// box holds both the south-west and the north-east corner, else 0.
// Longitudes are the signed copies (west negative). A result of 0 means
// kPlotLocationMenu goes back to item 1.
int matchregion(const LocationTable& table, int ncity, float south, float westSigned,
                float north, float eastSigned);

#endif
