// Windows that show finished pictures (raster images) for as long as the
// user wants them, several in one process: scaled to the window with their
// aspect kept, with a status bar, a File and Edit menu, and a tool bar that
// steps through a sequence of pictures and plays it. What a picture means
// (the cursor's readout, saving, the next month, what a chosen point
// draws) is the owner's; the owner also supplies the pictures, at the size
// the window asks for.
#ifndef TIDECHARTER_TOOLKIT_PICTURE_WINDOW_H
#define TIDECHARTER_TOOLKIT_PICTURE_WINDOW_H

#include <string>
#include <vector>

namespace toolkit {

struct ScreenArea {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The tool bar's and the keys' requests.
enum class Step { Previous, Next, YearBack, YearForward, First, Last };

// What Save Animation asks: `months` are the menu texts offered (in); the
// range, speed and format are the defaults going in and the choice coming
// out, with the file chosen.
struct AnimationChoice {
  std::vector<std::string> months;
  int first = 0, last = 0;  // indices into months
  int speed = 2;            // frames a second, 1 to 10
  bool mp4 = false;         // else GIF
  // The name suggested for each month range chosen, without a folder or
  // extension.
  std::string (*name)(const AnimationChoice& choice, void* data) = nullptr;
  void* nameData = nullptr;
  std::string file;         // out
};

class PictureWindow;

class PictureWindowOwner {
 public:
  virtual ~PictureWindowOwner() = default;
  // The window's place and size on the screen's free `area`, for a picture
  // of `pictureWidth` x `pictureHeight` (any unit: only the aspect
  // counts); `extraHeight` is what the menus, tool bar and status bar take.
  virtual ScreenArea place(const ScreenArea& area, int pictureWidth, int pictureHeight,
                           int extraHeight) = 0;
  // The status bar's text for the point at fractions `fx`, `fy` of the
  // picture's width and height, from its top left.
  virtual std::string readout(double fx, double fy) = 0;
  // The name Save As suggests, without a folder or extension.
  virtual std::string suggestedName() = 0;
  // What saving as `file` with its commands would replace besides `file`
  // itself (which the file dialog asks about), as a sentence; "" for
  // nothing. The user is asked before save is called.
  virtual std::string replaces(const std::string& file) = 0;
  // Saves the picture as `file` (the extension picks the format), with
  // its commands beside it when `commands`: "" when done, else what went
  // wrong.
  virtual std::string save(const std::string& file, bool commands) = 0;
  // The point chosen at `fx`, `fy` draws something of its own; the menu's
  // text for it, "" when the picture has no such point. pointChosen
  // returns "" when done, else what went wrong.
  virtual std::string pointAction() = 0;
  virtual std::string pointChosen(double fx, double fy) = 0;
  // Why a point chosen draws nothing on this picture, for the status bar.
  virtual std::string noPointAction() = 0;
  // Every plot window, this one too, is to close.
  virtual void closeAll() = 0;
  // The picture area's size in device pixels has changed and settled.
  virtual void resized(int width, int height) = 0;
  // A step key or button: Left/Right, Page Up/Down, Home/End.
  virtual void step(Step step) = 0;
  // Space or the play button: playing starts or pauses; `speed` is the
  // tool bar's frames a second. The owner shows the frames.
  virtual void play(bool on, int speed) = 0;
  // File > Save Animation.
  virtual void saveAnimation() = 0;
  // File > Save Data.
  virtual void saveData() = 0;
  // The window is on the screen with its picture.
  virtual void shown() = 0;
  // The window has gone: closed by the user or by ClosePictureWindow, or
  // its display lost. The owner may delete itself here.
  virtual void closing() = 0;
};

// Starts the windows' event loop's platform: false, with `problem` set,
// when there is no display.
bool StartPictureWindows(std::string& problem);
// Runs the loop until QuitPictureWindows; returns 0.
int RunPictureWindows();
void QuitPictureWindows();

// A new window for `owner`, titled `title`, placed (owner.place) for a
// picture of the aspect `pictureWidth`:`pictureHeight`, not shown yet.
// `areaWidth` and `areaHeight` receive the picture area's size in device
// pixels, the size to render the first picture at.
PictureWindow* OpenPictureWindow(PictureWindowOwner& owner, const std::string& title, int pictureWidth,
                                 int pictureHeight, int& areaWidth, int& areaHeight);
// Shows the window (after its first picture is set); owner.shown() follows
// once it is on the screen.
void ShowPictureWindow(PictureWindow* window);
// Closes it; owner.closing() follows.
void ClosePictureWindow(PictureWindow* window);

// Sets the picture from an encoded image (PNG, JPG); false when it cannot
// be decoded (the window keeps what it showed).
bool SetPicture(PictureWindow* window, const std::string& encoded);
// Shows `text` in place of a picture (one that cannot be read, say).
void SetPictureText(PictureWindow* window, const std::string& text);
void SetTitle(PictureWindow* window, const std::string& title);
// A message in the status bar until the cursor's readout replaces it.
void SetStatus(PictureWindow* window, const std::string& text);
// Whether the tool bar's steps, play and Save Animation are offered; when
// not, a step key puts `reason` in the status bar.
void SetSteppable(PictureWindow* window, bool steppable, const std::string& reason);
// The play button's state, as the owner has it (an end of play it chose).
void SetPlaying(PictureWindow* window, bool playing);
// Whether File > Save Data is offered; when not, the item says why.
void SetDataSaving(PictureWindow* window, bool offered, const std::string& reason);
// The busy cursor while the owner works for the window.
void SetBusy(PictureWindow* window, bool busy);

// Save Animation's dialog and file dialog: false when cancelled.
bool AskAnimation(PictureWindow* window, AnimationChoice& choice);
// Save Data's file dialog, CSV or NetCDF, suggesting `name` (without an
// extension): false when cancelled.
bool AskDataFile(PictureWindow* window, const std::string& name, std::string& file);
// A question with Yes and No: true for Yes.
bool AskYesNo(PictureWindow* window, const std::string& title, const std::string& text);
// A warning with OK.
void TellProblem(PictureWindow* window, const std::string& title, const std::string& text);

// The loop's waiting: `ready` runs whenever descriptor `fd` can be read
// (a socket, a pipe, a process descriptor) until Unwatch.
int Watch(int fd, void (*ready)(void* data), void* data);
void Unwatch(int watch);
// `due` runs once after `ms` milliseconds, unless cancelled first.
int After(int ms, void (*due)(void* data), void* data);
void Cancel(int timer);
// An interrupt, termination or hang-up runs `asked` in the loop.
void OnTermination(void (*asked)(void* data), void* data);

}  // namespace toolkit

#endif
