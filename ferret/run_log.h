// The run log c:\tidecharter\tmp\tidecharter.log: opened once at start-up,
// replacing the previous run's log, and written with list-directed records.
#ifndef TIDECHARTER_FERRET_RUN_LOG_H
#define TIDECHARTER_FERRET_RUN_LOG_H

#include <fstream>
#include <string>

#include "ferret/record.h"

class RunLog {
 public:
  static constexpr const char* kPath = "c:\\tidecharter\\tmp\\tidecharter.log";

  // Opens (truncating) the log at the program path `path`; false on failure,
  // after which writes are dropped.
  bool open(const std::string& path = kPath);
  void write(const ListRecord& record);
  // A record with a single text item, the most common log line.
  void write(const std::string& text);
  void flush();
  bool isOpen() const { return file_.is_open(); }

 private:
  std::ofstream file_;
};

#endif
