// Programs the plot windows' process runs beside its windows (Ferret
// through tcferret.bat, Ghostscript, a batch run): started at once, and
// reported in the windows' loop when they end, so that no window waits.
#ifndef TIDECHARTER_VIEW_JOBS_H
#define TIDECHARTER_VIEW_JOBS_H

#include <functional>
#include <string>
#include <vector>

// `done` runs with the exit status (-1: could not start or was killed).
// Its output goes to `log` ("": /dev/null); it reads nothing.
void startjob(const std::vector<std::string>& words, const std::string& log, std::function<void(int)> done);

// Jobs still running.
int runningjobs();

#endif
