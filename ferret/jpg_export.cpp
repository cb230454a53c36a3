#include "ferret/jpg_export.h"

#include "ferret/dates.h"
#include "ferret/output_wait.h"
#include "ferret/run_log.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

namespace {

const int kProgressDialog = 107;
const int kConverterLimitSeconds = 6;

struct ClockReading {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
  int starttime = 0;
};

ClockReading readclock() {
  ClockReading c;
  IOsDate(c.year, c.month, c.day);
  IOsTime(c.hour, c.minute, c.second, &c.milliseconds);
  dateinseconds(c.year, c.month, c.day, c.hour, c.minute, c.second, c.starttime);
  return c;
}

// Logs the converter step's clock line, runs its batch file and waits for
// its output file.
void convertstep(RunLog& log, const char* logname, const std::string& command,
                 const char* lookingfor, const std::string& name, int stage,
                 int& ierror, int multicore) {
  const ClockReading c = readclock();
  log.write(ListRecord().add(logname).add(c.hour).add(c.minute).add(c.second)
                .add(c.milliseconds).add(c.starttime));
  log.flush();
  IOsCommand(command, 3, kConverterLimitSeconds);
  const bool ended = IOsCommandEnded();
  log.write(lookingfor);
  isfilefinished(log, name, stage, c.starttime, ierror, multicore, ended);
}

bool stopped(int ierror) { return ierror == kWaitGaveUp || ierror == kWaitCancelled; }

}  // namespace

int jpgferretlimit(const std::string& outputName, int multicore, int landflag,
                   int vectorflag) {
  const bool line = outputName.compare(0, 3, "lin") == 0;
  int limit = multicore == 0 ? (line ? 4 : 12) : (line ? 2 : 7);
  if (landflag == 0) limit += 3;
  if (vectorflag == 1) limit += 3;
  if (vectorflag == 2) limit += 30;
  return limit;
}

void createjpg(RunLog& log, const std::string& cygwinPath,
               const std::string& outputName, int& ierror, int multicore,
               int landflag, int vectorflag) {
  const std::string n = FormatA(outputName, 4);
  const int limit = jpgferretlimit(n, multicore, landflag, vectorflag);
  const std::string jpgpath = "c:\\tidecharter\\tmp\\" + n + ".jpg";

  WDialogSelect(kProgressDialog);
  WDialogPutString(kJpgMetafileStep, "Running Ferret to create metafile");
  for (int field : {kJpgPostscriptStep, kJpgJpgStep, kJpgMetafileDone, kJpgPostscriptDone,
                    kJpgJpgDone, kJpgLocatedLabel, kJpgPathBox, kJpgRenameLabel})
    WDialogPutString(field, "");
  WDialogFieldState(kOkButton, 0);
  WDialogShow(1, 1, 0, 2);

  // Step 1: Ferret writes the metafile.
  const ClockReading c = readclock();
  log.write(ListRecord().add("call ferret/meta").add(c.year).add(c.month).add(c.day)
                .add(c.hour).add(c.minute).add(c.second).add(c.milliseconds));
  log.write(ListRecord().add("call ferret/meta").add(c.starttime));
  log.flush();
  IOsCommand("c:\\tidecharter\\bin\\tcferret.bat " + cygwinPath, 3, limit);
  isfilefinished(log, n, 1, c.starttime, ierror, multicore, IOsCommandEnded());

  // Step 2: metafile to PostScript.
  if (!stopped(ierror)) {
    WDialogPutString(kJpgMetafileDone, "Done!");
    log.write(ListRecord().add("creating ps").add(n));
    WDialogPutString(kJpgPostscriptStep, "Translating metafile to postscript");
    convertstep(log, "call meta2ps", "c:\\tidecharter\\bin\\tcMeta2PS.bat " + n,
                "looking for ps", n, 2, ierror, multicore);
  }

  // Step 3: PostScript to JPG.
  if (!stopped(ierror)) {
    WDialogPutString(kJpgPostscriptDone, "Done!");
    log.write("creating jpg");
    WDialogPutString(kJpgJpgStep, "Translating postscript to jpg");
    convertstep(log, "call ps2jpg", "c:\\tidecharter\\bin\\tcPS2jpg.bat " + n,
                "looking for jpg", n, 3, ierror, multicore);
  }

  if (!stopped(ierror)) {
    WDialogPutString(kJpgJpgDone, "Done!");
    WDialogPutString(kJpgLocatedLabel, "Your file is located in:");
    // Where the file really is, in a line that scrolls and can be copied.
    WDialogPutString(kJpgPathBox, IOsHostPath(jpgpath));
    WDialogPutString(kJpgRenameLabel, "Please rename it, since the Tidecharter will overwrite it.");
    WDialogFieldState(kOkButton, 1);
  }
  log.write(ListRecord().add("ierror=").add(ierror));
  log.flush();
}
