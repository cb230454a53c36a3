// A section of the request file on its way to its files: one command file
// for its picture, or one per month of `months = FIRST..LAST` (a picture or
// a command file each, or the frames of one animation or data series),
// every one written
// by the section's own dialog with that month as start and end.
#ifndef TIDECHARTER_BATCH_PRODUCT_FRAMES_H
#define TIDECHARTER_BATCH_PRODUCT_FRAMES_H

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/request_file.h"

struct CoreState;
class BatchFrontEnd;

struct Frame {
  int month = 0;                          // its start month (index)
  std::filesystem::path target;           // its picture, command file, data file, animation frame
                                          // or a series' month (a directory of saved values)
  std::string shown;                      // the target as the user named it
  std::filesystem::path commandFile, log; // in the run's directory
  std::chrono::steady_clock::time_point started;
  bool done = false;   // its file is there (an empty frame too)
  std::string failed;  // why not, or "no data: ..." for an empty frame
};

struct Product {
  const ProductRequest* request = nullptr;
  std::vector<std::string> errors;  // whole messages: nothing of it is drawn
  OutputForm form = OutputForm::Picture;
  std::vector<Frame> frames;        // in month order
  std::string levels;               // the frames' one colour scale, "" none
  std::filesystem::path animation;  // OutputForm::Animation or Series: its one file
  std::string shownAnimation;
  std::filesystem::path frameDirectory;  // its frames f0001.png, ... or months m0001, ...
  bool animated = false;                 // the animation or series is written

  bool monthly() const { return request->first.given; }
  // One file of all its months, made once every month is there.
  bool joined() const { return form == OutputForm::Animation || form == OutputForm::Series; }
};

// What preparing the frames needs of the run.
struct FrameContext {
  CoreState& app;
  BatchFrontEnd& front;
  const RequestFile& file;
  std::filesystem::path base;       // the output directory
  std::filesystem::path shownBase;  // the same as the user named it
  std::filesystem::path work;       // the run's own directory
  const std::vector<std::string>& unknownEnds;
  int commandFiles = 0;             // numbered in the run's directory
};

// Fills the section's dialog for each of its pictures and presses Create
// JPG: every command file is then written, or product.errors says why the
// section is refused (a refused month refuses the whole section).
void prepareproduct(FrameContext& run, Product& product);

// Whether the section's dialog takes fill levels for its picture.
bool takeslevels(FrameContext& run, const Product& product);

// Writes every frame's command file again with `levels` as its fill and in
// its heading; false, with product.errors, when the dialog refuses them.
bool presslevels(FrameContext& run, Product& product, const std::string& levels);

#endif
