// The request file of a batch run: INI, one section per picture, read into
// requests that still speak the dialogs' language (menu texts, typed
// values). What needs the dialogs themselves, such as which menu item a
// text names, is settled when the dialogs are filled.
#ifndef TIDECHARTER_BATCH_REQUEST_FILE_H
#define TIDECHARTER_BATCH_REQUEST_FILE_H

#include <istream>
#include <string>
#include <vector>

struct PlotKind;

// A start or end month as written: YYYY-MM, latest or latest-N.
struct MonthChoice {
  bool given = false;
  bool latest = false;
  int before = 0;  // N of latest-N
  int year = 0, month = 0;
};

// One edge of a region: the value as typed in the dialog and its
// hemisphere letter (N, S, E or W).
struct Edge {
  float value = 0.0f;
  char hemisphere = 'N';
  int decimals = 0;  // as written
};

struct RegionChoice {
  bool given = false;
  Edge south, north, west, east;
};

struct ProductRequest {
  std::string name;  // the section's name
  int line = 0;      // of its header
  const PlotKind* kind = nullptr;  // a row of plotkinds()
  // Menu choices as written (text, prefix or item number); empty: not given.
  std::string property, plot, direction, land, location;
  bool pressureGiven = false;
  int upper = 0, lower = 0;            // whole dbar, as the dialog reads them
  std::string upperText, lowerText;   // as written, typed into the dialog
  RegionChoice region;
  MonthChoice start, end;
  // months = FIRST..LAST: one frame per month, each the request with start
  // and end that month.
  MonthChoice first, last;
  int speed = 2;  // frames a second of an animation
  bool vectorsGiven = false;
  std::string vectorX, vectorY;
  bool fillGiven = false;
  std::string fill;    // empty: the default levels
  std::string output;  // as written, placeholders and all
  // What is wrong with the section, each a whole message; such a product
  // is not drawn.
  std::vector<std::string> errors;
};

struct RequestFile {
  std::string path;  // as given, the name messages start with
  std::vector<ProductRequest> products;
  // Faults of the file as a whole: nothing is drawn.
  std::vector<std::string> errors;
};

RequestFile readrequestfile(const std::string& path);
// The same from an open stream; `path` only names the file in messages.
RequestFile parserequestfile(const std::string& path, std::istream& in);

// "bulletin.ini [name]: text", the form of every message about a product.
std::string productmessage(const RequestFile& file, const ProductRequest& product,
                           const std::string& text);

// The output name with {yyyy}, {mm} and {mon} replaced by the year, month
// number and three-letter name of a month index (the start month).
std::string expandoutput(const std::string& output, int monthIndex);

// What the output's extension asks for: a picture (.jpg, .png, .pdf, .ps),
// the command file alone (.jnl), an animation (.gif, .mp4), or the
// picture's data (.csv, .nc); with `months`, a data file whose name has no
// month in it is one series of all the months along a time axis.
enum class OutputForm { Picture, CommandFile, Animation, Data, Series };
OutputForm outputform(const std::string& output, bool months = false);

#endif
