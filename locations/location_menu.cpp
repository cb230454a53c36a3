#include "locations/location_menu.h"

#include <algorithm>

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
  // Both corners in one record's box: a region whose corners lie in two
  // different boxes is neither of them.
  const int last = std::min(ncity, table.ncity());
  for (int i = 2; i <= last; ++i)
    if (inwidenedbox(table.records[i - 1], south, westSigned) && inwidenedbox(table.records[i - 1], north, eastSigned))
      return i;
  return 0;
}
