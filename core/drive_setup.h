// The drive root on the first start: the outside installation (batch
// scripts, Ferret scripts, help text, location table, sample data) is laid
// out by its install.sh, from the installed package or from the sources,
// when the root is missing, was left half laid out, or was laid out by
// another version. Each front end shows the progress in its own way.
#ifndef TIDECHARTER_CORE_DRIVE_SETUP_H
#define TIDECHARTER_CORE_DRIVE_SETUP_H

#include <string>

// Where the outside installation comes from: beside an installed program
// (<bindir>/../share/tidecharter), or the sources' installation/ for a
// program run from its build directory; empty when neither is there.
std::string installationsource();

// Why the drive root `root` must be laid out; empty when it is ready. A
// root laid out by other means (no installation.txt) is taken as it is.
std::string setupreason(const std::string& root);

class SetupProgress {
 public:
  virtual ~SetupProgress() = default;
  virtual void begin(const std::string& root, const std::string& source, const std::string& reason) = 0;
  // One line of install.sh's output.
  virtual void line(const std::string& text) = 0;
  // About ten times a second while install.sh runs.
  virtual void tick() = 0;
  // The drive root cannot be laid out, and why.
  virtual void failed(const std::string& root, const std::string& why) = 0;
  virtual void end(double seconds) = 0;
};

// Lays out the drive root when it needs it; false when it could not, after
// telling `progress` why.
bool preparedriveroot(SetupProgress& progress);

#endif
