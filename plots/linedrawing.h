// Line drawing, dialog 109: one property drawn as a curve against time,
// pressure, latitude or longitude, or temperature against salinity.
#ifndef TIDECHARTER_PLOTS_LINEDRAWING_H
#define TIDECHARTER_PLOTS_LINEDRAWING_H

#include <string>
#include <vector>

#include "ferret/command_file.h"
#include "core/user_message.h"
#include "plots/plot_common.h"

// One request as read from dialog 109: property 1 to 13, plot type 1 to 3.
struct LineRequest : RegionRequest {
  int startIndex = 1, endIndex = 1;
};

// Whether the plot type needs one month only, so that the end date is
// neither asked for nor checked: the monthly anomaly of a curve that does
// not run along time.
bool lineonemonth(int property, int plottype);

// Reads every field of the current dialog (109) into `r`, then prepares it.
void readlinedrawing(LineRequest& r);

// From the values as typed (prepareregion), then forms the month indices.
void prepareline(LineRequest& r);

// The request's checks, in the order they are made; 0 when the request
// passes, else the number of the message to show. The pressure check comes
// before the location match, the others after it. The date check sets the
// end index of a one-month request.
int linepressurecheck(const LineRequest& r);
int linerequestcheck(LineRequest& r, int argoend, int avisoend, int reynoldsend);

// Message `number` (1 to 9) of the line drawing.
UserMessage linemessage(int number, int argoend, int avisoend, int reynoldsend);

// Properties 9 and 10 have no difference or anomaly plot.
bool linenotanoption(int property, int plottype);

// The line-drawing lines of the command file, between the frame's opening
// lines and "ppl clsplt".
std::vector<std::string> linedrawinglines(const LineRequest& r);
// Those lines, or none where the combination has no plot.
PlotLines linedrawingbody(const LineRequest& r);

// Writes the command file of the slot. A combination that is not an option
// leaves the file with its opening lines only. False when nothing is to be
// run.
bool writelinedrawingfile(const PlotSlot& slot, int action, const LineRequest& r);

#endif
