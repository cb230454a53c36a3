// The start-up look at the surroundings: X server, screen, version text,
// processor type and the benchmark, with their run-log lines.
//
// Order of use in the main program's start-up:
//   step 3   xservercheck();                       (before the run log opens)
//   step 4   app.log.open();
//   step 5   getscreenres(ixres, iyres); logscreenres(app.log, ixres, iyres);
//   step 6   readversiontext(app);                 then the location file
//   step 8   int flag = 0; getcpu(flag, app.log);
//            app.multicore = multicoreflag(flag);
//   step 9   ProcessTimes before = readprocesstimes();
//   ...      root window, dialogs, main menu shown (steps 10 to 13)
//   step 14  bench(); logbench(app.log, before, readprocesstimes());
#ifndef TIDECHARTER_APP_STARTUP_CHECKS_H
#define TIDECHARTER_APP_STARTUP_CHECKS_H

#include <string>

#include "core/core_state.h"  // readversiontext

// Reads the digit of c:\tidecharter\bin\xwininfo.txt (0 when unread), runs
// tcLookForX.bat with it (hidden, at most 4 seconds), discards the toolkit
// error and reads the first four characters of c:\tidecharter\tmp\batch.log
// ("unkn" when unread). "HAVE" shows the "X Window Information" message.
// Returns the word read.
std::string xservercheck();

// The screen resolution from the registry; each stays as passed when its
// value is missing or not a 32-bit number.
void getscreenres(int& ixres, int& iyres);
void logscreenres(RunLog& log, int ixres, int iyres);

// flag: position of "Duo", "ual" or "Quad" in the registry's processor name,
// 0 when absent or unread; logs "CPU type=" and the searches.
void getcpu(int& flag, RunLog& log);

// multicore: 1 when getcpu found a multi-core name or the machine reports
// more than one processor, else 0.
int multicoreflag(int getcpuflag);

// The fixed benchmark (1,200,000 calls of myadd); its sum is not used.
void bench();
void myadd(float& sum, float value);

// Processor time of the program, in seconds.
struct ProcessTimes {
  float total = 0.0f, user = 0.0f, system = 0.0f;
};
ProcessTimes readprocesstimes();
// "cpu bench test:" and the differences between the two readings.
void logbench(RunLog& log, const ProcessTimes& before, const ProcessTimes& after);

#endif
