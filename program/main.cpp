#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "program/command_line.h"
#include "app/tidecharter_main.h"
#include "toolkit/toolkit.h"

namespace {

// tcferret.bat shows plots with the viewer built or installed beside this
// program, not with whichever one the PATH finds first.
void offerviewer() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || std::getenv("TIDECHARTER_VIEW")) return;
  const auto viewer = self.parent_path() / "tidecharter-view";
  if (std::filesystem::exists(viewer, error)) setenv("TIDECHARTER_VIEW", viewer.c_str(), 1);
}

}  // namespace

int main(int argc, char** argv) {
  offerviewer();
  const CommandLine line = parsecommandline(std::vector<std::string>(argv + 1, argv + argc));
  int status = 0;
  // The batch scripts keep a Ferret running for this process, and it ends
  // when this process does.  A batch run started by the plot windows'
  // process draws in the Ferrets kept for that one instead: it would
  // otherwise start Ferrets of its own for each window's months.
  const char* owner = std::getenv("TC_FERRET_OWNER");
  if (line.mode != CommandLine::Mode::Batch || !owner || std::to_string(getppid()) != owner)
    setenv("TC_FERRET_OWNER", std::to_string(getpid()).c_str(), 1);
  switch (line.mode) {
    case CommandLine::Mode::Help:
      std::fputs(usagetext().c_str(), stdout);
      return 0;
    case CommandLine::Mode::Version:
      std::fputs(versiontext().c_str(), stdout);
      return 0;
    case CommandLine::Mode::Wrong:
      std::fprintf(stderr, "tidecharter: %s (see tidecharter --help)\n", line.problem.c_str());
      return 2;
    case CommandLine::Mode::Batch:
      status = batchmain(line.batch);
      break;
    default:
      status = tidecharter_main();
      break;
  }
  // Interrupted while its programs ran: it has removed what it made, and
  // now ends as the signal asked.
  IOsEndAsInterrupted();
  return status;
}
