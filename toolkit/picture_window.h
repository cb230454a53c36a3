// A window that shows one finished picture (a raster file) for as long as
// the user wants it: scaled to the window with its aspect kept, redrawn
// whenever the window is exposed. What the picture means (the cursor's
// readout, saving, what a chosen point draws) is the owner's.
#ifndef TIDECHARTER_TOOLKIT_PICTURE_WINDOW_H
#define TIDECHARTER_TOOLKIT_PICTURE_WINDOW_H

#include <string>

namespace toolkit {

struct ScreenArea {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

class PictureWindowOwner {
 public:
  virtual ~PictureWindowOwner() = default;
  // The window's place and size on the screen's free `area`, for a picture
  // of `pictureWidth` x `pictureHeight` pixels; `extraHeight` is what the
  // menus and the status bar take.
  virtual ScreenArea place(const ScreenArea& area, int pictureWidth, int pictureHeight,
                           int extraHeight) = 0;
  // The status bar's text for the point at fractions `fx`, `fy` of the
  // picture's width and height, from its top left.
  virtual std::string readout(double fx, double fy) = 0;
  // What saving as `file` would replace besides `file` itself (which the
  // file dialog asks about), as a sentence; "" for nothing. The user is
  // asked before save is called.
  virtual std::string replaces(const std::string& file) = 0;
  // Saves the picture as `file` (the extension picks the format): "" when
  // done, else what went wrong.
  virtual std::string save(const std::string& file) = 0;
  // The point chosen at `fx`, `fy` draws something of its own; the menu's
  // text for it, "" when the picture has no such point. pointChosen
  // returns "" when done, else what went wrong.
  virtual std::string pointAction() = 0;
  virtual std::string pointChosen(double fx, double fy) = 0;
  // Every plot window, this one too, is to close.
  virtual void closeAll() = 0;
  // The window is on the screen.
  virtual void shown() = 0;
  // The window has gone: closed, or its display lost (then the process
  // ends right after).
  virtual void closing() = 0;
};

// Shows `picture` titled `title` until the window is closed, or the
// process is asked to end (terminate, hang-up or interrupt). A picture that
// cannot be read shows why instead. Returns 0, or 1 with `problem` set when
// there is no display.
int RunPictureWindow(const std::string& title, const std::string& picture,
                     PictureWindowOwner& owner, std::string& problem);

// Writes raster `from` as `to` in `format` ("png", "jpg"): "" when done,
// else what went wrong.
std::string ConvertPicture(const std::string& from, const std::string& to, const std::string& format);

}  // namespace toolkit

#endif
