// The monthly update behind the main menu's Update button.
#ifndef TIDECHARTER_UPDATE_UPDATE_FILES_H
#define TIDECHARTER_UPDATE_UPDATE_FILES_H

#include <istream>
#include <string>

struct CoreState;

// The words of a status file (getup.log, runup.log) as an (A4) read sees
// them: the first four columns of each line, blank-padded.
struct StatusWords {
  std::string word[3] = {"    ", "    ", "    "};
  int lines = 0;  // lines read, up to the number wanted
};

// Reads the words of the first `wanted` lines (1 to 3) of a status file.
StatusWords readstatuswords(std::istream& in, int wanted);

// Downloads, installs and appends the month after app.argoend, reporting in
// dialog 111; may change the three end dates.
void updatefiles(CoreState& app);

#endif
