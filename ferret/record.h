// One writer for every line the program writes to the run log and to Ferret
// command files, so that number layouts live in one place.
//
// A list-directed record begins with one blank. Text items are written in
// full, trailing blanks included, back to back with a preceding text item.
// Numbers are always set off from their neighbours by at least one blank.
#ifndef TIDECHARTER_FERRET_RECORD_H
#define TIDECHARTER_FERRET_RECORD_H

#include <istream>
#include <string>

class ListRecord {
 public:
  ListRecord();
  ListRecord& add(const std::string& text);
  ListRecord& add(const char* text);
  ListRecord& add(int value);
  ListRecord& add(float value);
  ListRecord& add(double value);
  const std::string& line() const { return line_; }

 private:
  void separateNumber();
  std::string line_;
  bool afterNumber_ = false;
};

// Fixed formats. A value that does not fit is written as W asterisks.
// (Fw.d): right-aligned, rounded to d decimals.
std::string FormatF(double value, int width, int decimals);
// (Iw): right-aligned integer.
std::string FormatI(int value, int width);
// (Aw): the text truncated or blank-padded on the right to w characters.
std::string FormatA(const std::string& text, int width);

// One line of a text file as a fixed-length (Aw) read: false at the end of
// the file, else the line cut or blank-padded to `width`.
bool readfixed(std::istream& in, int width, std::string& text);

// The list-directed form of a real: plain decimal, at least one decimal.
std::string ListReal(double value);

#endif
