#include "plots/plot_common.h"

#include "core/core_state.h"
#include "locations/location_menu.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

#include "ferret/dates.h"
#include "ferret/record.h"

void readregion(float& north, float& south, float& east, float& west, int& southItem, int& northItem,
                int& westItem, int& eastItem) {
  WDialogGetReal(kPlotNorthBox, north);
  WDialogGetReal(kPlotSouthBox, south);
  WDialogGetReal(kPlotEastBox, east);
  WDialogGetReal(kPlotWestBox, west);
  WDialogGetMenu(kPlotSouthLetterMenu, southItem);
  WDialogGetMenu(kPlotNorthLetterMenu, northItem);
  WDialogGetMenu(kPlotWestLetterMenu, westItem);
  WDialogGetMenu(kPlotEastLetterMenu, eastItem);
}

void readmonths(const MonthFields& fields, int& startMonth, int& startYear, int& endMonth, int& endYear) {
  WDialogGetMenu(fields.startMonth, startMonth);
  WDialogGetMenu(fields.startYear, startYear);
  WDialogGetMenu(fields.endMonth, endMonth);
  WDialogGetMenu(fields.endYear, endYear);
}

void readregionrequest(RegionRequest& r) {
  WDialogGetMenu(kPlotPropertyMenu, r.property);
  WDialogGetInteger(kPlotUpperMenu, r.upper);
  WDialogGetInteger(kPlotLowerMenu, r.lower);
  WDialogGetMenu(kPlotTypeMenu, r.plottype);
  readregion(r.north, r.south, r.east, r.west, r.southItem, r.northItem, r.westItem, r.eastItem);
  readmonths(kMonthFields, r.startMonth, r.startYear, r.endMonth, r.endYear);
}

void prepareregion(RegionRequest& r) {
  if (r.southItem == 2) r.south = -r.south;
  if (r.northItem == 2) r.north = -r.north;
  r.westSigned = r.westItem == 2 ? -r.west : r.west;
  r.eastSigned = r.eastItem == 2 ? -r.east : r.east;
  if (r.westItem == 2) longconv(r.west, r.westItem, 1);
  if (r.eastItem == 2) longconv(r.east, r.eastItem, 1);
  // An end menu without a selection means the start's month or year.
  if (r.endMonth == -999) r.endMonth = r.startMonth;
  if (r.endYear == -999) r.endYear = r.startYear;
}

void matchlocation(const CoreState& app, RegionRequest& r) {
  r.matched = matchregion(app.locations, app.ncity, r.south, r.westSigned, r.north, r.eastSigned);
  if (r.matched == 0) resetlocationmenu(app);
}

void namelocation(const CoreState& app, RegionRequest& r) {
  if (r.matched >= 2) scancity(app.locations, app.ncity, r.matched, r.name);
}

std::string quoted(const std::string& text) { return '"' + text + '"'; }

bool writeplotfile(const PlotSlot& slot, int action, const PlotLines& body, std::string* refused) {
  CommandFile file;
  const bool opened = file.open(slot, action);
  bool ready = opened && body.option;
  if (ready) {
    for (const std::string& line : body.lines) file.writeFormatted(line);
    ready = file.finish();
  } else {
    file.close();
  }
  if (refused) *refused = file.refused();
  return ready;
}

bool writerequestfile(CoreState& app, const PlotSlot& slot, int action, const PlotLines& body) {
  std::string refused;
  const bool ready = writeplotfile(slot, action, body, &refused);
  if (!refused.empty())
    refuse(app, UserMessage{"Input Error", "A text of this plot holds a control character, so nothing is drawn:",
                            refused});
  return ready;
}

std::string averagetitle(const std::string& titletemplate,
                         const std::string& monthname, int lastyear) {
  std::string title = titletemplate;
  const size_t month = title.find("September");
  if (month != std::string::npos) title.replace(month, 9, FormatA(monthname, 9));
  const std::string period = "(2004-    )";
  const size_t year = title.find(period);
  if (year != std::string::npos) title.replace(year + 6, 4, FormatI(lastyear, 4));
  return title;
}

std::string datetext(int index) {
  std::string text(8, ' '), monthname(9, ' '), numtext(6, ' ');
  int year = 0;
  writedate(index, text, monthname, year, numtext);
  return text;
}

std::string datelabel(int first, int last, bool single) {
  if (single || first == last) return quoted(datetext(first));
  return quoted(datetext(first) + " - " + datetext(last));
}

bool beginplotrequest(CoreState& app, PlotKindState& kind, PlotSlot& slot) {
  const int button = app.message.value1;
  if (button == 2) {
    WDialogHide();
    return false;
  }
  if (button == kPlotButton) kind.action = kActionPlot;
  if (button == kPlotJpgButton) kind.action = kActionJpg;
  slot = app.frontend->commandfile(kind.slot.advance());
  return true;
}

void runplotrequest(CoreState& app, const PlotKindState& kind, const PlotSlot& slot,
                    int waitSeconds, int landflag, int vectorflag) {
  app.frontend->runferret(slot, FerretRun{kind.action, waitSeconds, landflag, vectorflag, app.multicore, &app.log});
}

void refuse(CoreState& app, const UserMessage& message) { app.frontend->message(message); }
