#include "locations/location_menu.h"

#include <algorithm>
#include <fstream>

#include "app/app_state.h"
#include "ferret/record.h"
#include "toolkit/toolkit.h"

const char* locationfile(int edition) {
  return edition == 2 ? kGlobalLocationFile : kPacificLocationFile;
}

bool loadlocations(AppState& app) {
  const std::string path = locationfile(app.edition);
  std::ifstream in(IOsHostPath(path));
  if (!in.is_open()) {
    missinglocationfile(path);
    return false;
  }
  app.ncity = readbuoy(in, app.locations);
  app.log.write(ListRecord().add("ReadBuoy ncity=").add(app.ncity));
  return true;
}

void missinglocationfile(const std::string& path) {
  WMessageBox(0, 1, 1,
              "The location file " + path + " could not be opened.\r"
              "Tidecharter cannot run without it and will close.",
              "Tidecharter");
}

void fillLocationMenu(AppState& app) {
  app.locationNames.assign(LocationTable::kMaxRecords, std::string(34, ' '));
  const int n = std::min(app.ncity, app.locations.ncity());
  for (int i = 0; i < n; ++i) app.locationNames[i] = app.locations.records[i].cityname;
  resetlocationmenu(app);
  buoyselect(app.locations, 1, "line");
}

void resetlocationmenu(const AppState& app) {
  const int count = std::max(0, std::min(app.ncity, static_cast<int>(app.locationNames.size())));
  WDialogPutMenu(1047, app.locationNames, count, 1);
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
