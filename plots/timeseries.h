// Time series, dialog 104: one property at a place or box (depth against
// time) or along a band of longitudes (time against longitude).
#ifndef TIDECHARTER_PLOTS_TIMESERIES_H
#define TIDECHARTER_PLOTS_TIMESERIES_H

#include <string>
#include <vector>

#include "ferret/command_file.h"
#include "core/user_message.h"

// One request as read from dialog 104.
struct TimeSeriesRequest {
  int property = 1;  // menu 1052, 1 to 9
  int plottype = 1;  // menu 1014, 1 to 4
  int upper = 0, lower = 0;  // decibars
  float south = 0.0f, north = 0.0f;  // as typed; prepared: signed, north +
  int southItem = 1, northItem = 1;  // menus 1019 and 1017 as read (2 = S)
  float west = 0.0f, east = 0.0f;    // as typed; prepared: degrees east
  int westItem = 1, eastItem = 1;    // menus 1020 and 1018 (2 = W)
  float westSigned = 0.0f, eastSigned = 0.0f;  // west negative, for matching
  int startMonth = 1, startYear = 1, endMonth = 1, endYear = 1;  // menu items
  std::string fill = std::string(44, ' ');
  int matched = 0;                        // location record, 0 for none
  std::string name = std::string(34, ' ');  // its quoted-label name

  int startIndex() const { return (startYear - 1) * 12 + startMonth; }
  int endIndex() const { return (endYear - 1) * 12 + endMonth; }
};

// Reads every field of the current dialog (104) but the fill text into
// `r`, then prepares it.
void readtimeseries(TimeSeriesRequest& r);

// From the values as typed: signs the latitudes, keeps signed longitude
// copies, turns western longitudes into degrees east and gives an end menu
// without a selection the start's item.
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
