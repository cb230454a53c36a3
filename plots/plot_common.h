// Pieces the plot requests share: the button handling every request starts
// with and the run it ends with, the data end dates a request is checked
// against, the kind's own lines of a command file, and writing them between
// the frame lines of a slot.
#ifndef TIDECHARTER_PLOTS_PLOT_COMMON_H
#define TIDECHARTER_PLOTS_PLOT_COMMON_H

#include <string>
#include <vector>

#include "ferret/command_file.h"
#include "core/user_message.h"

struct CoreState;
struct PlotKindState;

// The start of every request, for the button of app.message: Cancel
// (button 2) hides the current dialog and returns false; Plot and Create JPG
// set the kind's action; any other button keeps it. Then the kind's slot
// advances, before any check, so a refused request still uses up its slot,
// and the front end says where its command file goes.
bool beginplotrequest(CoreState& app, PlotKindState& kind, PlotSlot& slot);

// The end of every request whose command file is written: the front end runs
// Ferret on it, for Plot waiting at most `waitSeconds`, for Create JPG with
// the kind's land and vector flags.
void runplotrequest(CoreState& app, const PlotKindState& kind, const PlotSlot& slot,
                    int waitSeconds, int landflag, int vectorflag);

// A refused request: the front end tells the user.
void refuse(CoreState& app, const UserMessage& message);

// Last available month index of each data set.
struct DataEnds {
  int argoend = 100;
  int avisoend = 100;
  int reynoldsend = 100;
};

// The lines a plot kind writes between the frame's first lines and
// "ppl clsplt". `option` false: the combination has no plot, so the file
// keeps only its first lines and nothing runs.
struct PlotLines {
  std::vector<std::string> lines;
  bool option = true;
};

// `text` enclosed in double quotes, as every label text is written.
std::string quoted(const std::string& text);

// A monthly-average title template: the 9 characters "September" receive
// `monthname` and the four blanks of "(2004-    )" the last year.
std::string averagetitle(const std::string& titletemplate,
                         const std::string& monthname, int lastyear);

// The 8-character date text of a month index ("Jun 2008").
std::string datetext(int index);
// The quoted date label: one date, or "start - end".
std::string datelabel(int first, int last, bool single);

// Opens the slot's command file, writes the frame and the kind's lines; for
// a combination without a plot it closes the file after the first lines.
// Returns whether the file is ready to run.
bool writeplotfile(const PlotSlot& slot, int action, const PlotLines& body);

#endif
