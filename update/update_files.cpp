#include "update/update_files.h"

#include <fstream>
#include <string>

#include "core/core_state.h"
#include "ferret/command_file.h"
#include "ferret/dates.h"
#include "ferret/record.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"
#include "update/end_dates.h"

namespace {

constexpr int kUpdateDialog = 111;
constexpr int kBatchTimeout = 3000;
constexpr int kEndDateTimeout = 15;

const char* const kSourceFile = "c:\\tidecharter\\bin\\update_source.txt";
const char* const kGetUpLog = "c:\\tidecharter\\tmp\\getup.log";
const char* const kRunUpLog = "c:\\tidecharter\\tmp\\runup.log";
const char* const kCommitLog = "c:\\tidecharter\\tmp\\commit.log";

void blank(int field) { WDialogPutString(field, ""); }

// The month text of a month index with its blank turned into "-".
std::string dashedmonth(int index, std::string* code = nullptr) {
  std::string datetext, monthname, numtext;
  int year = 0;
  writedate(index, datetext, monthname, year, numtext);
  datetext[3] = '-';
  if (code) *code = numtext;
  return datetext;
}

// Seconds of a clock reading, counted across years so that a file written
// just after New Year still compares as later than a start just before it.
long long clockvalue(int year, int month, int day, int hour, int minute, int second) {
  int seconds = 0;
  dateinseconds(year, month, day, hour, minute, second, seconds);
  return static_cast<long long>(year) * 400LL * 86400LL + seconds;
}

long long now() {
  int year, month, day, hour, minute, second;
  IOsDate(year, month, day);
  IOsTime(hour, minute, second);
  return clockvalue(year, month, day, hour, minute, second);
}

// A status file counts only when the batch file of this run wrote it: one
// left from an earlier update must not pass for this one's result.
bool writtensince(const std::string& path, long long start) {
  int info[9] = {0};
  IOsFileInfo(path, info, 7);
  if (info[0] < 0) return false;
  return clockvalue(info[1], info[2], info[3], info[4], info[5], info[6]) >= start;
}

bool readstatus(const std::string& path, long long start, int wanted, StatusWords& words) {
  if (!writtensince(path, start)) return false;
  std::ifstream in(IOsHostPath(path));
  if (!in) return false;
  words = readstatuswords(in, wanted);
  return true;
}

// Whether month `next` reached the data files: the append's commit check
// must say "DONE", and no end date that this query wrote may say less. A
// file left from an earlier query, or the 100 of a missing one, confirms
// and contradicts nothing.
bool appended(long long appendstart, long long querystart, int next) {
  StatusWords commit;
  if (!readstatus(kCommitLog, appendstart, 1, commit) || commit.word[0] != "DONE") return false;
  for (const char* path : kEndDateFiles) {
    if (!writtensince(path, querystart)) continue;
    std::ifstream in(IOsHostPath(path));
    int enddate = 0;
    if (in && readenddate(in, enddate) && enddate < next) return false;
  }
  return true;
}

// The installation's update-source file: line 1 the update directory,
// line 2 where the full installation package is (the update directory when
// not given), line 3 where to send problem reports (optional).
struct UpdateSource {
  std::string directory;
  std::string fullpackage;
  std::string contact;
};

std::string trimmed(std::string text) {
  const char* space = " \t\r\n";
  auto first = text.find_first_not_of(space);
  if (first == std::string::npos) return "";
  auto last = text.find_last_not_of(space);
  return text.substr(first, last - first + 1);
}

UpdateSource readupdatesource() {
  UpdateSource source;
  std::ifstream in(IOsHostPath(kSourceFile));
  std::string line;
  if (in && std::getline(in, line)) source.directory = trimmed(line);
  if (in && std::getline(in, line)) source.fullpackage = trimmed(line);
  if (in && std::getline(in, line)) source.contact = trimmed(line);
  if (source.directory.empty())
    source.directory = "the update directory given in c:\\tidecharter\\bin\\update_source.txt";
  if (source.fullpackage.empty()) source.fullpackage = source.directory;
  return source;
}

void runbatch(const std::string& name, const std::string& code) {
  IOsCommand("c:\\tidecharter\\bin\\" + name + " " + code, 3, kBatchTimeout);
}

void logenddates(CoreState& app) {
  app.log.write(ListRecord()
                    .add("update end dates argo,aviso,reynolds:")
                    .add(app.argoend)
                    .add(app.avisoend)
                    .add(app.reynoldsend));
}

void errorending(CoreState& app) {
  const UpdateSource source = readupdatesource();
  app.log.write("error reading update.log");
  WDialogPutString(kUpdateLineA, "Unknown error, you may need to download a whole new install");
  WDialogPutString(kUpdateLineB, "from " + source.fullpackage);
  WDialogPutString(kUpdateLineC,
                   "Exit the Tidecharter, immediately gzip c:\\tidecharter\\tmp\\*.log files");
  WDialogPutString(kUpdateLineD,
                   source.contact.empty()
                       ? "and send the zipped file to the maintainers of your update source"
                       : "and mail the zipped file to " + source.contact);
  WDialogPutString(kUpdateLineE, "so we can look at the errors.");
}

void writeappendfile(const std::string& code) {
  PlotSlot slot;
  slot.windowsPath = "c:\\tidecharter\\tmp\\tcferret" + code + ".txt";
  CommandFile file;
  file.open(slot, kNoAction);
  file.write(ListRecord()
                 .add("go fer_append_new_month ")
                 .add("RG_ArgoClim_" + code + ".nc")
                 .add(" ")
                 .add("Reynolds_" + code + ".nc")
                 .add(" ")
                 .add("Aviso_" + code + ".nc"));
  file.write(ListRecord().add("quit"));
  file.close();
}

// Steps after a downloaded package: setup, append, new end dates. Returns
// only when the program goes on running.
void installpackage(CoreState& app, int next, const std::string& code) {
  WDialogPutString(kUpdateStep2Result, "Done!");
  blank(kUpdateLineA);
  WDialogPutString(kUpdateLineB, "Checking and unpacking the update package: nothing to click.");
  WDialogPutString(kUpdateLineC,
                   "(A packaged install gets a new program from the package manager.)");

  const long long runstart = now();
  runbatch("tcRunUp.bat", code);
  ListRecord errors;
  for (int item = 1; item <= 4; ++item) errors.add(InfoError(item));
  app.log.write(errors);

  StatusWords runup;
  if (!readstatus(kRunUpLog, runstart, 2, runup) || runup.lines < 2) {
    errorending(app);
    return;
  }
  IOsWait(200);

  int newexe = 0;
  if (runup.word[0] == "DIDI") {
    if (runup.word[1] == "NEWP") newexe = 1;
    else if (runup.word[1] == "NEWG") newexe = 2;
    else if (runup.word[1] == "DONE") newexe = 0;
  } else if (runup.word[0] == "SKIP") {
    blank(kUpdateLineD);
    WDialogPutString(kUpdateLineE,
                     "The setup was not finished.      To try again: Click \"Update\"");
    blank(kUpdateLineF);
    blank(kUpdateLineG);
    blank(kUpdateLineH);
    return;
  }

  WDialogSelect(kUpdateDialog);
  blank(kUpdateLineD);
  WDialogPutString(kUpdateLineE,
                   "Now that the package is checked, the Tidecharter will append the new data");
  WDialogPutString(kUpdateLineF,
                   "to the old netcdf files.  The Tidecharter will become nonresponsive during");
  WDialogPutString(kUpdateLineG, "the update.   This may take several minutes.  Do not exit!");
  WDialogPutString(kUpdateLineH, "Wait for the \"Done\" on the next line.     Updating......");
  writeappendfile(code);
  const long long appendstart = now();
  runbatch("tcAppUp.bat", code);

  finishstoppedcommit();
  const long long querystart = now();
  enddatequery(kEndDateTimeout);
  WDialogSelect(kUpdateDialog);
  getenddates(app.argoend, app.avisoend, app.reynoldsend);
  logenddates(app);

  // An append that failed must not be reported as done, nor followed by a
  // restart into a new executable.
  if (!appended(appendstart, querystart, next)) {
    app.log.write(ListRecord().add("monthly update not appended, month index").add(next));
    WDialogPutString(kUpdateCompletion, "Not done !   The new month could not be appended.");
    return;
  }
  WDialogPutString(kUpdateCompletion, "Done !   Data files were updated.");
  if (newexe != 1 && newexe != 2) return;

  app.log.write("monthly update has new exe, run IOsExecute!");
  WDialogPutString(kUpdateNotice1,
                   "There is a new Tidecharter executable.   I will exit this instance of");
  WDialogPutString(kUpdateNotice2,
                   "the Tidecharter in 5 seconds to install the new executable.   Give me");
  WDialogPutString(kUpdateNotice3, "a minute before restarting the Tidecharter.");
  IOsWait(500);
  IOsCommand("c:\\tidecharter\\bin\\tcKillCygwinX.bat", 1);
  // The program ends inside IOsExecute; nothing closes the log after it.
  app.log.flush();
  WindowClose();
  IOsExecute("c:\\tidecharter\\bin\\tcInstallNewExe.bat");
}

void runupdate(CoreState& app) {
  WDialogSelect(kUpdateDialog);
  for (int field : {kUpdateStep1, kUpdateEndDate, kUpdateStep2, kUpdateStep2Result, kUpdateLineA,
                    kUpdateLineB, kUpdateLineC, kUpdateLineD, kUpdateLineE, kUpdateLineF,
                    kUpdateLineG, kUpdateLineH, kUpdateCompletion})
    blank(field);
  WDialogFieldState(kOkButton, 0);
  WDialogPutString(kUpdateStep1, "Checking end date on your Argo data file ...");
  WDialogShow(1, 1, 0, 2);

  finishstoppedcommit();
  enddatequery(kEndDateTimeout);
  WDialogSelect(kUpdateDialog);
  getenddates(app.argoend, app.avisoend, app.reynoldsend);
  logenddates(app);

  std::string datetext, monthname, numtext;
  int year = 0;
  writedate(app.argoend, datetext, monthname, year, numtext);
  app.log.write(ListRecord().add("date1=").add(datetext));
  WDialogPutString(kUpdateEndDate, dashedmonth(app.argoend));

  const int next = app.argoend + 1;
  std::string code;
  const std::string step2 = "Downloading Argo update for " + dashedmonth(next, &code) + " ...";
  const std::string manual = "Download " + code + "_monthly_update.exe file to c:\\tidecharter\\tmp";

  WDialogPutString(kUpdateStep2, step2);
  WDialogPutString(kUpdateLineA, "This may take a few minutes depending on internet speed.");

  const long long getstart = now();
  runbatch("tcGetUp.bat", code);

  StatusWords getup;
  if (!readstatus(kGetUpLog, getstart, 3, getup) || getup.lines < 2) {
    WDialogSelect(kUpdateDialog);
    errorending(app);
    return;
  }
  WDialogSelect(kUpdateDialog);

  if (getup.word[0] == "TRYD" && getup.word[1] == "ERRO") {
    const std::string& why = getup.word[2];
    if (why == "NOHO" || why == "OTHE") {
      WDialogPutString(kUpdateLineA, "I can not access the internet to download the update file.");
      WDialogPutString(kUpdateLineB, "Go to " + readupdatesource().directory);
      WDialogPutString(kUpdateLineC, manual);
      WDialogPutString(kUpdateLineD,
                       "Then click on the \"Update\" button in the Tidecharter main window.");
    } else if (why == "NONE") {
      WDialogPutString(kUpdateLineA, "No update source: add " + dashedmonth(next) +
                                         " with tidecharter-import --argo RG_ArgoClim_" +
                                         code.substr(2, 4) + code.substr(0, 2) + "_*.nc");
    } else if (why == "NOFI") {
      WDialogPutString(kUpdateLineA,
                       "The update file does not exist yet, try after the 15th of the");
      WDialogPutString(kUpdateLineB, "following month.  (eg. Oct 2008 ready after Nov 15, 2008)");
    }
    return;
  }

  installpackage(app, next, code);
}

}  // namespace

StatusWords readstatuswords(std::istream& in, int wanted) {
  StatusWords words;
  const int limit = wanted < 3 ? wanted : 3;
  std::string line;
  while (words.lines < limit && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    words.word[words.lines] = FormatA(line, 4);
    ++words.lines;
  }
  return words;
}

void updatefiles(CoreState& app) {
  runupdate(app);
  WDialogSelect(kUpdateDialog);
  WDialogFieldState(kOkButton, 1);
}
