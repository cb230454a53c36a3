// Both "c:\..." and "/cygdrive/c/..." name the same host directory, the
// drive root, so that the program and the batch scripts agree on files.
#include "toolkit/drive_paths.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "toolkit/toolkit.h"

namespace toolkit {

std::string TrimTrailingBlanks(const std::string& text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string EnvironmentText(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

namespace {

const std::string kCygdrive = "/cygdrive/c";

// Length of the drive prefix of `path` ("c:" or "/cygdrive/c"), 0 if none.
std::size_t DrivePrefixLength(const std::string& path) {
  if (path.size() >= 2 && (path[0] == 'c' || path[0] == 'C') && path[1] == ':')
    return 2;
  if (path.compare(0, kCygdrive.size(), kCygdrive) == 0 &&
      (path.size() == kCygdrive.size() || path[kCygdrive.size()] == '/'))
    return kCygdrive.size();
  return 0;
}

}  // namespace

bool IsDrivePath(const std::string& path) { return DrivePrefixLength(path) > 0; }

}  // namespace toolkit

std::string IOsDriveRoot() {
  std::string root = toolkit::EnvironmentText("TIDECHARTER_DRIVE_C");
  if (root.empty()) {
    std::string data = toolkit::EnvironmentText("XDG_DATA_HOME");
    if (data.empty()) data = toolkit::EnvironmentText("HOME") + "/.local/share";
    root = data + "/tidecharter/drive_c";
  }
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

std::string IOsHostPath(const std::string& path) {
  const std::string text = toolkit::TrimTrailingBlanks(path);
  const std::size_t prefix = toolkit::DrivePrefixLength(text);
  if (prefix == 0) return text;
  std::string rest = text.substr(prefix);
  std::replace(rest.begin(), rest.end(), '\\', '/');
  if (!rest.empty() && rest[0] != '/') rest.insert(rest.begin(), '/');
  return IOsDriveRoot() + rest;
}

std::string IOsProgramFile() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.string();
}
