// The program's command line: which front end runs, with what. The one
// place that knows the options; --help's text lives beside them.
#ifndef TIDECHARTER_PROGRAM_COMMAND_LINE_H
#define TIDECHARTER_PROGRAM_COMMAND_LINE_H

#include <string>
#include <vector>

#include "batch/batch_run.h"

struct CommandLine {
  enum class Mode { Desktop, Batch, Help, Version, Wrong };
  Mode mode = Mode::Desktop;
  BatchOptions batch;
  std::string problem;  // Wrong: what is wrong, on one line
};

// `arguments` without the program name.
CommandLine parsecommandline(const std::vector<std::string>& arguments);

// --help's text.
std::string usagetext();

// --version's text.
std::string versiontext();

#endif
