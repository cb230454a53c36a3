// Helpers shared by the operating-system services: the texts the program
// passes are blank-padded and use the Windows paths of the installation.
#ifndef TIDECHARTER_TOOLKIT_DRIVE_PATHS_H
#define TIDECHARTER_TOOLKIT_DRIVE_PATHS_H

#include <string>

namespace toolkit {

// `text` without its trailing blanks.
std::string TrimTrailingBlanks(const std::string& text);

// True for "c:..." (either case, either slash) and "/cygdrive/c" paths.
bool IsDrivePath(const std::string& path);

// The value of environment variable `name`, empty when unset.
std::string EnvironmentText(const char* name);

}  // namespace toolkit

#endif
