// A plot drawn by tcferret.bat, shown in a window of its own: the
// directory tcferret.bat leaves it in, what its title and cursor readout
// say, where its window goes and how it is saved.
#ifndef TIDECHARTER_VIEW_PLOT_VIEW_H
#define TIDECHARTER_VIEW_PLOT_VIEW_H

#include <string>
#include <vector>

#include "toolkit/picture_window.h"

// The mark tcferret.bat leaves in each directory it makes for a viewer.
inline constexpr const char* kViewMark = "made_by_tcferret";

// What tcferret.bat leaves in a plot's directory.
struct PlotFiles {
  std::string dir;
  std::string postscript;  // picture.ps, Ferret's own drawing
  std::string commands;  // commands.txt, the command file as it was drawn
  std::string axes;      // axes.txt, where the plot's axes lie on its page
};
PlotFiles plotfiles(const std::string& dir);

// The upright picture's width and height (PostScript points) of Ferret's
// drawing: false when it says none.
bool picturesize(const std::string& postscript, int& width, int& height);

// The drawing as a raster picture `out`, with Ghostscript device `device`
// (png16m, jpeg), `pixels` on its long side, as the batch scripts' bin
// directory `bin` renders every picture: the exit status.
int rasterize(const std::string& bin, const std::string& postscript, const std::string& out,
              const std::string& device, int pixels);

// Time series are of a property against pressure and month; line drawings
// of a value against month.
// A section runs north-south (along a longitude, latitude across) or
// east-west (along a latitude, longitude across).
enum class PlotKind { Unknown, Map, SectionNorthSouth, SectionEastWest, TimeSeries, Line, Hovmoller };

// Where one plot lies on its page: in a viewport (the part of the page
// from fractions vpX, vpY, whose inches are vpScale of the page's), its
// axes' origin and lengths, and their ranges in axis units.
struct AxesPanel {
  double vpX = 0, vpY = 0, vpScale = 1;
  double xOrigin = 0, yOrigin = 0, xLength = 0, yLength = 0;
  double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  // An axis drawn from its maximum up (pressure).
  bool xReversed = false, yReversed = false;
};

// The page of a drawn plot and its panels (two for the derived products'
// maps), in Ferret's page inches and axis units.
struct PlotAxes {
  bool known = false;
  double pageWidth = 0, pageHeight = 0;
  std::vector<AxesPanel> panels;
};

// The lines tcferret.bat writes into axes.txt for the last plot: "page W H
// XORG YORG XLEN YLEN", "x MIN MAX", "y MIN MAX", "reversed RX RY",
// "viewport X Y SCALE"; and into panels.txt beside it, where the go
// scripts draw maps, "panel X Y SCALE XORG YORG XLEN YLEN XMIN XMAX YMIN
// YMAX" for each. The month axis of time series, line drawings and
// Hovmoller diagrams is in month indices.
PlotAxes readaxes(const std::string& file);

PlotKind plotkind(const std::vector<std::string>& commandLines);
// The window title: the plot's label texts (title, month, pressure).
std::string plottitle(const std::vector<std::string>& commandLines);
// The status bar's text for fractions fx, fy of the picture from its top
// left; "" outside the axes.
std::string readouttext(PlotKind kind, const PlotAxes& axes, double fx, double fy);

// The axis values at fractions fx, fy of the picture; false outside the
// axes.
// `panel`, when given, receives the index of the panel the point is on.
bool axispoint(const PlotAxes& axes, double fx, double fy, double& x, double& y, int* panel = nullptr);

// A batch request of one section, "[point]", for the time series of a
// map's property at longitude `lon` (degrees east), latitude `lat` over
// the whole data period, written as `output`; "" when the map's property
// has none.
std::string pointrequest(const std::vector<std::string>& commandLines, double lon, double lat,
                         const std::string& output);

// The next window, cascading from `last` (none: width 0) within `area`.
toolkit::ScreenArea cascade(const toolkit::ScreenArea& area, const toolkit::ScreenArea& last,
                            int pictureWidth, int pictureHeight, int extraHeight);

// What Save As does with the plot's commands.
enum class SavedCommands {
  None,     // only the picture
  Beside,   // the command file beside it (.jnl), never over an existing one
  Replace,  // the command file beside it, over an existing one
};

// Saves the plot as `target` (.png, .jpg, .pdf or .ps), with its commands
// as asked: "" when done, else the problem, and then nothing of it is
// left. Each file is written under a new name of its own in the target's
// folder and renamed, so a name planted there is never written through.
// `bin` is the batch scripts' directory, whose raster rules apply.
std::string saveplot(const PlotFiles& files, const std::string& target, SavedCommands commands,
                     const std::string& bin);

// The name Save As suggests for a picture of request `request` (its
// lines, none when the picture has none) showing months `first` to `last`
// (0: the request's own), else made of its title:
// "temperature_2008-06_0dbar".
std::string savename(const std::vector<std::string>& request, int first, int last, const std::string& title);

// The command file saved beside picture `target`.
std::string journalof(const std::string& target);

// True when `dir` is a plot directory tcferret.bat made in drive tmp
// `tmp`: a directory (not a link) named view.*, right inside `tmp`, of
// this user's, holding the mark tcferret.bat leaves. Only such a
// directory is the viewer's to remove.
bool ownedview(const std::string& dir, const std::string& tmp);

std::vector<std::string> readlines(const std::string& file);

// Runs a program and waits for it: its exit status, -1 when it could not
// start or was killed. With a `log`, it reads nothing and its output goes
// there; without, it shares this program's.
int runprogram(const std::vector<std::string>& words, const std::string& log);

// A batch run's command file as a window draws it: without its metafile
// line and its heading comments.
std::vector<std::string> windowcommands(const std::vector<std::string>& journal);

#endif
