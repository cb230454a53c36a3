// A filled parameter dialog as one section of a batch request file: the
// same menus, typed values and months that the batch run puts back into the
// dialog, so that the batch run draws the same command file from it. The
// plot window keeps it beside its picture and asks the batch run for other
// months of the same request.
#ifndef TIDECHARTER_PLOTS_PLOT_REQUEST_H
#define TIDECHARTER_PLOTS_PLOT_REQUEST_H

#include <string>

#include "ferret/command_file.h"

struct PlotKind;

// The current dialog of `kind` (selected by the caller) as the section
// `[name]` with the keys of the kind but `output`, which the reader adds;
// start and end are the last two lines, for a reader that asks for months
// (months = FIRST..LAST) instead.
// Empty when the dialog holds something a request cannot say (a month
// outside the year menus, a pressure that is not a number), with the
// reason in `problem`.
std::string plotrequestsection(const PlotKind& kind, const std::string& name, std::string& problem);

// A menu text as the batch run compares it with what a request names:
// without case, runs of blanks or blanks around a hyphen ("north-south" is
// "North - South").
std::string menuwords(const std::string& text);

// The request of the slot's command file, from the dialog of its kind, as
// the slot's file with .ini instead of .txt (tcferretinmap1.ini); written
// under another name and renamed. A request that cannot be said leaves no
// file, not even the slot's previous one.
void writeplotrequest(const PlotSlot& slot);

#endif
