// The process that holds the plot windows of one drive root and display:
// it opens a window for each plot directory it is handed, places the
// windows in a cascade, shares the rendered pictures' memory among them
// and ends when the last window closes.
#ifndef TIDECHARTER_VIEW_VIEWER_H
#define TIDECHARTER_VIEW_VIEWER_H

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "toolkit/picture_window.h"
#include "view/frame_cache.h"

class PlotWindow;

// Where the viewer finds what it runs.
struct ViewerPaths {
  std::string drive;    // the drive root it was started for
  std::string tmp;      // <drive>/tidecharter/tmp
  std::string bin;      // <drive>/tidecharter/bin
  std::string program;  // tidecharter, for the batch runs
  std::string self;     // this program
};

ViewerPaths viewerpaths();

class Viewer {
 public:
  explicit Viewer(ViewerPaths paths);
  ~Viewer();

  // A window for plot directory `dir`; `answer` receives "shown" once it
  // is on the screen, or "failed " and why.
  void open(const std::string& dir, std::function<void(const std::string&)> answer);
  // The window of `id`, nullptr once it has closed: what a finished job
  // reports to.
  PlotWindow* window(int id);
  void closed(int id);
  bool empty() const { return windows_.empty(); }

  toolkit::ScreenArea place(const toolkit::ScreenArea& area, int width, int height, int extra);
  FrameCache& cache() { return cache_; }
  const ViewerPaths& paths() const { return paths_; }

  // Ferret draws running for all windows, bounded by the processors.
  bool maydraw() const;
  void drawing(int change) { drawing_ += change; }

  // Every window closes (a termination, or Close All).
  void closeall();

 private:
  ViewerPaths paths_;
  FrameCache cache_;
  std::map<int, std::unique_ptr<PlotWindow>> windows_;
  int next_ = 1;
  int drawing_ = 0;
  toolkit::ScreenArea last_;
};

#endif
