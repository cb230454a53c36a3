#include "ferret/command_file.h"

#include <cstdio>
#include <filesystem>

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

bool commandlinesafe(const std::string& text) {
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7f) return false;
  return true;
}

std::string visiblecontrols(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c < 0x20 || c == 0x7f) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", c);
      out += code;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool CommandFile::open(const PlotSlot& slot, int action) {
  close();
  file_.clear();
  refused_.clear();
  path_ = IOsHostPath(slot.windowsPath);
  file_.open(path_, std::ios::out | std::ios::trunc);
  if (!file_.is_open()) return false;
  for (const std::string& line : slot.heading) writeFormatted(line);
  write(ListRecord().add("cancel mode journal"));
  if (action == kActionJpg) writeFormatted("set mode metafile meta" + FormatA(slot.outputName, 4));
  return refused_.empty();
}

void CommandFile::write(const ListRecord& record) { writeFormatted(record.line()); }

void CommandFile::writeFormatted(const std::string& line) {
  if (!file_.is_open() || !refused_.empty()) return;
  if (!commandlinesafe(line)) {
    refused_ = visiblecontrols(line);
    return;
  }
  file_ << line << '\n';
}

bool CommandFile::finish() {
  write(ListRecord().add("ppl clsplt"));
  close();
  return refused_.empty();
}

void CommandFile::close() {
  if (!file_.is_open()) return;
  file_.close();
  if (!refused_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
}

std::string labelline(double x, int xwidth, int xdecimals, double y, int ywidth,
                      int ydecimals, const std::string& size, const std::string& text) {
  return "label " + FormatF(x, xwidth, xdecimals) + "," + FormatF(y, ywidth, ydecimals) +
         ",0,0," + size + " " + text;
}

void plotrun(const PlotSlot& slot, int waitSeconds) {
  IOsCommand("c:\\tidecharter\\bin\\tcferret.bat " + slot.cygwinPath, 3, waitSeconds);
}

void plotwarmup() { IOsCommand("c:\\tidecharter\\bin\\tcferret.bat -warm", 1); }
