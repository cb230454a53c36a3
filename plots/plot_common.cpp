#include "plots/plot_common.h"

#include "core/core_state.h"
#include "toolkit/toolkit.h"

#include "ferret/dates.h"
#include "ferret/record.h"

std::string quoted(const std::string& text) { return '"' + text + '"'; }

bool writeplotfile(const PlotSlot& slot, int action, const PlotLines& body) {
  CommandFile file;
  if (!file.open(slot, action)) return false;
  if (!body.option) {
    file.close();
    return false;
  }
  for (const std::string& line : body.lines) file.writeFormatted(line);
  file.finish();
  return true;
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
  if (button == 1035) kind.action = kActionPlot;
  if (button == 1076) kind.action = kActionJpg;
  slot = app.frontend->commandfile(kind.slot.advance());
  return true;
}

void runplotrequest(CoreState& app, const PlotKindState& kind, const PlotSlot& slot,
                    int waitSeconds, int landflag, int vectorflag) {
  app.frontend->runferret(slot, FerretRun{kind.action, waitSeconds, landflag, vectorflag, app.multicore, &app.log});
}

void refuse(CoreState& app, const UserMessage& message) { app.frontend->message(message); }
