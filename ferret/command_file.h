// Ferret command files: the nine rotating slots per plot kind, the frame
// lines every file starts and ends with, and the Plot run.
#ifndef TIDECHARTER_FERRET_COMMAND_FILE_H
#define TIDECHARTER_FERRET_COMMAND_FILE_H

#include <fstream>
#include <string>
#include <vector>

#include "ferret/record.h"

// Button actions of the plot dialogs.
enum PlotAction { kNoAction = 0, kActionPlot = 1, kActionJpg = 2 };

// The file names of one slot of one kind.
struct PlotSlot {
  std::string windowsPath;  // c:\tidecharter\tmp\tcferretinmap1.txt (37)
  std::string cygwinPath;   // /cygdrive/c/tidecharter/tmp/tcferretinmap1.txt
                            // (46; 47 with a trailing blank for tim and lin)
  std::string outputName;   // map1
  // Comment lines the file starts with, before the frame (the batch run's
  // note of where a picture came from); none in the program's slots.
  std::vector<std::string> heading;
};

// One counter per plot kind ("map", "ver", "tim", "lin", "pro"): 0 at start,
// then 1..9 rotating.
class SlotCounter {
 public:
  explicit SlotCounter(const std::string& kindCode);
  PlotSlot advance();
  int value() const { return value_; }
  const std::string& kindCode() const { return kind_; }

 private:
  std::string kind_;
  int value_ = 0;
};

// A command file being written. open() writes the opening frame lines,
// finish() the closing "ppl clsplt" and closes the file; close() alone
// leaves a file holding only what was written so far.
//
// Every line passes one check: a control character (a line break above
// all) would start a new Ferret command inside a comment or a label, and
// Ferret runs shell commands (SPAWN). The first such line refuses the
// whole file: nothing more is written, and the file is removed when it is
// closed, so that nothing of it can run.
class CommandFile {
 public:
  // False when the file cannot be made or a heading line is refused.
  bool open(const PlotSlot& slot, int action);
  void write(const ListRecord& record);
  // A formatted line, written exactly as given.
  void writeFormatted(const std::string& line);
  // False when a line was refused.
  bool finish();
  void close();
  // The refused line with its control characters spelled out (\n, \x00,
  // ...); empty while every line was taken.
  const std::string& refused() const { return refused_; }

 private:
  std::ofstream file_;
  std::string path_;
  std::string refused_;
};

// Whether `text` can stand in one line of a command file.
bool commandlinesafe(const std::string& text);
// `text` with every control character spelled out, for a message.
std::string visiblecontrols(const std::string& text);

// The "label x,y,0,0,size text" line of the plot kinds, with x and y in
// (Fw.d) and the text written as given (quotes included by the caller).
std::string labelline(double x, int xwidth, int xdecimals, double y, int ywidth,
                      int ydecimals, const std::string& size, const std::string& text);

// Action 1: start tcferret.bat on the slot's file and wait at most
// `waitSeconds` (5, or 4 for line drawings).
void plotrun(const PlotSlot& slot, int waitSeconds);

// Starts what the first Plot needs (tcferret.bat -warm) without waiting,
// so that it finds a Ferret and the plot windows' process running.
void plotwarmup();

#endif
