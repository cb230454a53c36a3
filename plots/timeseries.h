// Time series, dialog 104: one property at a place or box (depth against
// time) or along a band of longitudes (time against longitude).
#ifndef TIDECHARTER_PLOTS_TIMESERIES_H
#define TIDECHARTER_PLOTS_TIMESERIES_H

#include <string>
#include <vector>

#include "ferret/command_file.h"
#include "core/user_message.h"
#include "plots/plot_common.h"

// One request as read from dialog 104: property 1 to 9, plot type 1 to 4.
struct TimeSeriesRequest : RegionRequest {
  std::string fill = std::string(44, ' ');

  int startIndex() const { return (startYear - 1) * 12 + startMonth; }
  int endIndex() const { return (endYear - 1) * 12 + endMonth; }
};

// Reads every field of the current dialog (104) but the fill text into
// `r`, then prepares it.
void readtimeseries(TimeSeriesRequest& r);

// From the values as typed (prepareregion).
void preparetimeseries(TimeSeriesRequest& r);

// The request's checks, in the order they are made; 0 when the request
// passes, else the number of the message to show. The pressure check comes
// before the location match, the others after it.
int timeseriespressurecheck(const TimeSeriesRequest& r);
int timeseriesrequestcheck(const TimeSeriesRequest& r, int argoend, int avisoend,
                           int reynoldsend);

// Message `number` (1 to 7) of the time series.
UserMessage timeseriesmessage(int number, int argoend, int avisoend, int reynoldsend);

// The time-series lines of the command file, between the frame's opening
// lines and "ppl clsplt".
std::vector<std::string> timeserieslines(const TimeSeriesRequest& r);

// Writes the whole command file of the slot; false when it cannot be opened.
bool writetimeseriesfile(const PlotSlot& slot, int action, const TimeSeriesRequest& r);

#endif
