#include "locations/location_menu.h"

#include "toolkit/toolkit.h"

const char* locationfile(int edition) {
  return edition == 2 ? kGlobalLocationFile : kPacificLocationFile;
}

void missinglocationfile(const std::string& path) {
  WMessageBox(0, 1, 1,
              "The location file " + path + " could not be opened.\r"
              "Tidecharter cannot run without it and will close.",
              "Tidecharter");
}

int matchregion(const LocationTable& table, int ncity, float south, float westSigned,
                float north, float eastSigned) {
  int found = 0;
  buoycompare(table, south, westSigned, ncity, found);
  if (found == 0) return 0;
  buoycompare(table, north, eastSigned, ncity, found);
  return found;
}
