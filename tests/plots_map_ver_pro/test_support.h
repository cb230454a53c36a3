// Shared by the map-view, section and product tests: a fresh drive root per
// test and the golden command files kept beside the tests.
#ifndef TIDECHARTER_TESTS_PLOTS_MAP_VER_PRO_TEST_SUPPORT_H
#define TIDECHARTER_TESTS_PLOTS_MAP_VER_PRO_TEST_SUPPORT_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "toolkit/toolkit.h"

// Points TIDECHARTER_DRIVE_C at a new temporary directory holding
// tidecharter/tmp; removed again at the end.
class TempDrive {
 public:
  TempDrive() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tcplotsXXXXXX").string();
    root_ = mkdtemp(pattern.data());
    std::filesystem::create_directories(root_ / "tidecharter" / "tmp");
    setenv("TIDECHARTER_DRIVE_C", root_.c_str(), 1);
  }
  ~TempDrive() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  const std::filesystem::path& root() const { return root_; }

 private:
  std::filesystem::path root_;
};

inline bool fileexists(const std::string& programPath) {
  return std::filesystem::exists(IOsHostPath(programPath));
}

inline std::string readhostfile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The file at a program path (c:\...), empty when missing.
inline std::string readprogramfile(const std::string& programPath) {
  return readhostfile(IOsHostPath(programPath));
}

inline std::string golden(const std::string& name) {
  return readhostfile(std::string(GOLDEN_DIR) + "/" + name);
}

#endif
