// IOsFileInfo: the size and last-write time the output waits watch.
#include <glob.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "toolkit/drive_paths.h"
#include "toolkit/toolkit.h"

namespace {

// The attribute bits the program's platform reports for a file.
constexpr int kReadOnly = 0x1;
constexpr int kHiddenFile = 0x2;
constexpr int kDirectory = 0x10;
constexpr int kArchive = 0x20;

// Only "*" and "?" are wild cards for the program; other glob characters in
// a name stand for themselves.
std::string GlobPattern(const std::string& path) {
  std::string pattern;
  for (char c : path) {
    if (c == '[' || c == ']' || c == '\\') pattern += '\\';
    pattern += c;
  }
  return pattern;
}

bool FirstMatch(const std::string& path, std::string& match, struct stat& st) {
  if (path.find_first_of("*?") == std::string::npos) {
    match = path;
    return stat(path.c_str(), &st) == 0;
  }
  glob_t found{};
  bool ok = false;
  if (glob(GlobPattern(path).c_str(), GLOB_PERIOD, nullptr, &found) == 0) {
    for (std::size_t i = 0; i < found.gl_pathc && !ok; ++i) {
      if (stat(found.gl_pathv[i], &st) == 0) {
        match = found.gl_pathv[i];
        ok = true;
      }
    }
  }
  globfree(&found);
  return ok;
}

int Attributes(const std::string& path, const struct stat& st) {
  int bits = S_ISDIR(st.st_mode) ? kDirectory : kArchive;
  if (access(path.c_str(), W_OK) != 0) bits |= kReadOnly;
  const std::size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!name.empty() && name[0] == '.') bits |= kHiddenFile;
  return bits;
}

}  // namespace

void IOsFileInfo(const std::string& fileName, int info[9], int count) {
  count = std::clamp(count, 1, 9);
  const std::string name = toolkit::TrimTrailingBlanks(fileName);
  std::string match;
  struct stat st;
  if (name.empty() || !FirstMatch(IOsHostPath(name), match, st)) {
    info[0] = -1;
    return;
  }
  const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  struct tm local {};
  localtime_r(&st.st_mtime, &local);
  const int all[9] = {static_cast<int>(static_cast<std::uint32_t>(size)),
                      local.tm_year + 1900,
                      local.tm_mon + 1,
                      local.tm_mday,
                      local.tm_hour,
                      local.tm_min,
                      local.tm_sec,
                      Attributes(match, st),
                      static_cast<int>((size + 1023) / 1024)};
  std::copy(all, all + count, info);
}
