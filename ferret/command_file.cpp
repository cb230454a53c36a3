#include "ferret/command_file.h"

#include "toolkit/toolkit.h"

SlotCounter::SlotCounter(const std::string& kindCode) : kind_(kindCode) {}

PlotSlot SlotCounter::advance() {
  ++value_;
  if (value_ > 9) value_ = 1;
  const std::string digit(1, static_cast<char>('0' + value_));
  PlotSlot slot;
  slot.outputName = kind_ + digit;
  slot.windowsPath = "c:\\tidecharter\\tmp\\tcferretin" + slot.outputName + ".txt";
  slot.cygwinPath = "/cygdrive/c/tidecharter/tmp/tcferretin" + slot.outputName + ".txt";
  // The time-series and line-drawing procedures carry their path in a field
  // one character longer.
  if (kind_ == "tim" || kind_ == "lin") slot.cygwinPath += ' ';
  return slot;
}

bool CommandFile::open(const PlotSlot& slot, int action) {
  if (file_.is_open()) file_.close();
  file_.clear();
  file_.open(IOsHostPath(slot.windowsPath), std::ios::out | std::ios::trunc);
  if (!file_.is_open()) return false;
  for (const std::string& line : slot.heading) writeFormatted(line);
  write(ListRecord().add("cancel mode journal"));
  if (action == kActionJpg) writeFormatted("set mode metafile meta" + FormatA(slot.outputName, 4));
  return true;
}

void CommandFile::write(const ListRecord& record) { writeFormatted(record.line()); }

void CommandFile::writeFormatted(const std::string& line) {
  if (file_.is_open()) file_ << line << '\n';
}

void CommandFile::finish() {
  write(ListRecord().add("ppl clsplt"));
  close();
}

void CommandFile::close() {
  if (file_.is_open()) file_.close();
}

std::string labelline(double x, int xwidth, int xdecimals, double y, int ywidth,
                      int ydecimals, const std::string& size, const std::string& text) {
  return "label " + FormatF(x, xwidth, xdecimals) + "," + FormatF(y, ywidth, ydecimals) +
         ",0,0," + size + " " + text;
}

void plotrun(const PlotSlot& slot, int waitSeconds) {
  IOsCommand("c:\\tidecharter\\bin\\tcferret.bat " + slot.cygwinPath, 3, waitSeconds);
}
