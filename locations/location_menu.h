// The location table as the main program and the time-series and
// line-drawing dialogs use it: reading it at start-up, menu 1047, and
// matching a typed region back to a location.
#ifndef TIDECHARTER_LOCATIONS_LOCATION_MENU_H
#define TIDECHARTER_LOCATIONS_LOCATION_MENU_H

#include <string>

#include "locations/locations.h"

struct AppState;

// The location file of an edition (1 Pacific, 2 Global).
const char* locationfile(int edition);

// Start-up steps 6 and 7: reads the edition's location file into
// app.locations, sets app.ncity and logs "ReadBuoy ncity=". A file that
// cannot be opened is reported with missinglocationfile() and false is
// returned: the program cannot run without it and ends.
bool loadlocations(AppState& app);

// Tells the user which location file could not be opened.
void missinglocationfile(const std::string& path);

// Fills the location-name list from the table (50 texts of 34 characters),
// puts its first app.ncity names into menu 1047 of the current dialog with
// item 1 selected and applies location 1 to the region fields.
void fillLocationMenu(AppState& app);

// Puts the location-name list back into menu 1047 of the current dialog,
// item 1 selected.
void resetlocationmenu(const AppState& app);

// The location a typed region belongs to: the first record whose widened
// box holds both the south-west and the north-east corner, else 0.
// Longitudes are the signed copies (west negative). A result of 0 means
// menu 1047 goes back to item 1.
int matchregion(const LocationTable& table, int ncity, float south, float westSigned,
                float north, float eastSigned);

#endif
