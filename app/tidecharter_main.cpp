#include "app/tidecharter_main.h"

#include <cstdio>
#include <fstream>
#include <string>

#include "app/app_state.h"
#include "app/desktop_front_end.h"
#include "app/load_dialogs.h"
#include "app/main_menu.h"
#include "app/startup_checks.h"
#include "ferret/command_file.h"
#include "ferret/record.h"
#include "toolkit/toolkit.h"
#include "update/end_dates.h"

int tidecharter_main() {
  std::string reason;
  if (!IOsDisplayAvailable(reason)) {
    std::fprintf(stderr,
                 "tidecharter: %s.\n"
                 "Tidecharter needs a display for its dialogs and Ferret's plot windows.\n"
                 "Without one, run it inside a virtual X server, for example:\n"
                 "    xvfb-run -a -s '-screen 0 1280x1024x24' tidecharter\n",
                 reason.c_str());
    return 1;
  }

  AppState app;
  WInitialise();

  // The first start lays out the drive root, or completes it.
  DesktopSetupProgress setup;
  if (!preparedriveroot(setup)) return 1;

  // A second program on the same installation would overwrite this one's
  // command files, outputs and run log: say who is running and leave.
  std::string holder(200, ' ');
  if (!IOsSingleInstance(holder)) {
    WMessageBox(0, 3, 1,
                "Tidecharter is already running on this installation.\r"
                "Close it before starting it again.\r"
                "Running: " + holder,
                "Tidecharter");
    return 1;
  }
  InfoError(1);

  finishstoppedcommit();
  enddatequery(5);

  xservercheck();
  InfoError(1);

  app.log.open();

  int ixres = 0, iyres = 0;
  getscreenres(ixres, iyres);
  logscreenres(app.log, ixres, iyres);

  readversiontext(app);
  if (!loadlocations(app)) {
    WindowClose();
    return 1;
  }

  app.multicore = 0;
  int cpuflag = 0;
  getcpu(cpuflag, app.log);
  app.multicore = multicoreflag(cpuflag);

  const ProcessTimes before = readprocesstimes();

  WindowOpen(128);
  WMessageEnable(FieldChanged, 1);
  loaddialogs(app);

  WDialogSelect(101);
  WDialogShow(-1, -1, 0, 2);

  bench();
  logbench(app.log, before, readprocesstimes());

  getenddates(app.argoend, app.avisoend, app.reynoldsend);
  app.log.write(ListRecord()
                    .add("end dates argo,aviso,reynolds:")
                    .add(app.argoend)
                    .add(app.avisoend)
                    .add(app.reynoldsend));
  // The year menus reach the data; the default months follow the Argo
  // data when their end date is known.
  std::ifstream argofile(IOsHostPath(kEndDateFiles[0]));
  int argoend = 0;
  followdata(app, argofile && readenddate(argofile, argoend));
  plotwarmup();
  WDialogSelect(app.edition == 1 ? 101 : 108);

  mainmenuloop(app);
  return 0;
}
