#include "ferret/run_log.h"

#include "toolkit/toolkit.h"

bool RunLog::open(const std::string& path) {
  if (file_.is_open()) file_.close();
  file_.open(IOsHostPath(path), std::ios::out | std::ios::trunc);
  return file_.is_open();
}

void RunLog::write(const ListRecord& record) {
  // Flushed line by line: the log is what is left to read after a crash or
  // a kill, and the outside programs' steps are seconds apart anyway.
  if (file_.is_open()) file_ << record.line() << '\n' << std::flush;
}

void RunLog::write(const std::string& text) { write(ListRecord().add(text)); }

void RunLog::flush() {
  if (file_.is_open()) file_.flush();
}
