#include "core/core_state.h"

#include <algorithm>
#include <fstream>

#include "ferret/record.h"
#include "locations/location_menu.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

void readversiontext(CoreState& app) {
  app.versiontext.assign(45, ' ');
  const char* path = app.edition == 2 ? "c:\\tidecharter\\bin\\global\\versioninfo.txt"
                                      : "c:\\tidecharter\\bin\\pacific\\versioninfo.txt";
  std::ifstream in(IOsHostPath(path));
  if (!in) return;
  std::string part;
  if (!readfixed(in, 15, part)) return;
  app.versiontext.replace(0, 15, part);
  if (!readfixed(in, 30, part)) return;
  app.versiontext.replace(15, 30, part);
}

std::string versionlabel(const CoreState& app) {
  auto trimmed = [](std::string text) { return text.erase(text.find_last_not_of(' ') + 1); };
  return trimmed(app.versiontext.substr(0, 15)) + "\n" + trimmed(app.versiontext.substr(15));
}

bool loadlocations(CoreState& app) {
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

void fillLocationMenu(CoreState& app) {
  app.locationNames.assign(LocationTable::kMaxRecords, std::string(34, ' '));
  const int n = std::min(app.ncity, app.locations.ncity());
  for (int i = 0; i < n; ++i) app.locationNames[i] = app.locations.records[i].cityname;
  resetlocationmenu(app);
  buoyselect(app.locations, 1, "line");
}

void resetlocationmenu(const CoreState& app) {
  const int count = std::max(0, std::min(app.ncity, static_cast<int>(app.locationNames.size())));
  WDialogPutMenu(kPlotLocationMenu, app.locationNames, count, 1);
}
