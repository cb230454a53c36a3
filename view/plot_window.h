// One plot window: the picture tcferret.bat drew into a directory, and,
// where the picture shows one month of a dialog's request, every other
// month of that request, stepped to or played. The months' command files
// come from the batch run (the dialog's own checks and lines); Ferret
// draws each month into a directory of its own inside the window's, and
// Ghostscript renders it at the window's size.
#ifndef TIDECHARTER_VIEW_PLOT_WINDOW_H
#define TIDECHARTER_VIEW_PLOT_WINDOW_H

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/picture_window.h"
#include "view/plot_values.h"
#include "view/plot_view.h"

class Viewer;

class PlotWindow : public toolkit::PictureWindowOwner {
 public:
  PlotWindow(Viewer& viewer, int id, const std::string& dir);
  ~PlotWindow() override;

  // Renders the picture and shows the window; `answer` gets "shown" or
  // "failed " and why.
  void open(std::function<void(const std::string&)> answer);
  void close();

  toolkit::ScreenArea place(const toolkit::ScreenArea& area, int w, int h, int extra) override;
  std::string readout(double fx, double fy) override;
  std::string suggestedName() override;
  std::string replaces(const std::string& file) override;
  std::string save(const std::string& file, bool commands) override;
  std::string pointAction() override;
  std::string pointChosen(double fx, double fy) override;
  std::string noPointAction() override;
  void closeAll() override;
  void resized(int width, int height) override;
  void step(toolkit::Step step) override;
  void play(bool on, int speed) override;
  void saveAnimation() override;
  void saveData() override;
  void shown() override;
  void closing() override;

 private:
  // A month of the request; month 0 is the picture the window opened with.
  struct Frame {
    std::string dir;
    bool drawing = false, drawn = false, failed = false;
    std::vector<std::string> commands;
    PlotAxes axes;
    std::string problem;
    std::string nodata;     // why it shows no data, "" when it does
    bool valuing = false;   // its values are being saved for the readout
    PlotValues values;
  };

  void prepare();
  void prepared(int status);
  void want(int month);
  void ensure(int month);
  // `ahead` of the month asked for: at a lower priority, and only while
  // the processors have room.
  void draw(int month, bool ahead = false);
  void render(int month);
  void arrived(int month);
  void display(int month);
  void prefetch();
  void dataoffered(int month);
  void fetchvalues(int month);
  void tick();
  int next(int month) const;
  std::string monthname(int month) const;
  Frame& frame(int month);
  PlotFiles filesof(int month);

  Viewer& viewer_;
  int id_;
  std::string dir_;
  bool owned_;
  toolkit::PictureWindow* window_ = nullptr;
  std::function<void(const std::string&)> answer_;
  std::vector<std::string> request_;
  std::string nostep_;        // why the months cannot be stepped, "" when they can
  int requested_ = 0;         // the month the picture shows
  bool prepared_ = false, preparing_ = false;
  std::optional<toolkit::Step> pending_;  // a step asked for while preparing
  std::map<int, std::string> months_;  // month -> its command file
  std::string levels_;
  std::map<int, Frame> frames_;
  int shown_ = 0;             // the frame on the screen (0: the first picture)
  int wanted_ = 0;            // the frame asked for
  std::map<int, int> rendering_;  // month -> width being rendered
  int pictureWidth_ = 0, pictureHeight_ = 0;
  int areaWidth_ = 0, areaHeight_ = 0;
  bool playing_ = false;
  int speed_ = 2;
  int timer_ = 0;
  bool due_ = false;          // play's next frame is due as soon as it is there
  std::string title_;
};

#endif
