// A fresh temporary drive root for tests that touch program paths.
#ifndef TIDECHARTER_TESTS_DRIVE_ROOT_H
#define TIDECHARTER_TESTS_DRIVE_ROOT_H

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class DriveRoot {
 public:
  DriveRoot() {
    char pattern[] = "/tmp/tidecharter-drive-XXXXXX";
    root_ = mkdtemp(pattern);
    std::filesystem::create_directories(root_ + "/tidecharter/tmp");
    std::filesystem::create_directories(root_ + "/tidecharter/bin/pacific");
    setenv("TIDECHARTER_DRIVE_C", root_.c_str(), 1);
  }
  ~DriveRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  DriveRoot(const DriveRoot&) = delete;
  DriveRoot& operator=(const DriveRoot&) = delete;

  const std::string& root() const { return root_; }
  // "tmp/x.txt" -> <root>/tidecharter/tmp/x.txt
  std::string path(const std::string& relative) const { return root_ + "/tidecharter/" + relative; }

  void write(const std::string& relative, const std::string& content) const {
    std::ofstream(path(relative), std::ios::binary) << content;
  }
  std::string read(const std::string& relative) const {
    std::ifstream in(path(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> lines(const std::string& relative) const {
    std::ifstream in(path(relative));
    std::vector<std::string> result;
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
  }
  bool exists(const std::string& relative) const { return std::filesystem::exists(path(relative)); }

 private:
  std::string root_;
};

#endif
