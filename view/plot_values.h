// The values behind a window's picture, as the batch run saves them (the
// go scripts' data mode, CSV): read once, for the cursor's readout to name
// the value at the grid point under it.
#ifndef TIDECHARTER_VIEW_PLOT_VALUES_H
#define TIDECHARTER_VIEW_PLOT_VALUES_H

#include <string>
#include <vector>

struct PlotValues {
  bool known = false;
  bool longitude = false;  // the first coordinate, kept within 0 to 360
  // Each value column's name and unit: "Salinity", "PSU".
  std::vector<std::string> names, units;
  // The grid: the first two columns' distinct coordinates, ascending.
  std::vector<double> xs, ys;
  // The value columns' texts at xs[i], ys[j]: values[(i * ys.size() + j)
  // * names.size() + k]; "" where missing.
  std::vector<std::string> values;
};

// A picture's CSV with two coordinate columns (a map or a section); none
// known for any other.
PlotValues readvalues(const std::string& csv);

// "Salinity 35.12 PSU" at the grid point nearest to axis values x, y
// (longitudes taken round the globe), within half a grid cell's reach;
// with several value columns, the one of `panel` when there is one a
// panel, else all. "" where nothing is known or the value is missing.
std::string valueat(const PlotValues& values, double x, double y, int panel, int panels);

#endif
