// A fresh drive root per test, with the installation's directories.
#ifndef TIDECHARTER_TESTS_TOOLKIT_OS_DRIVE_ROOT_FIXTURE_H
#define TIDECHARTER_TESTS_TOOLKIT_OS_DRIVE_ROOT_FIXTURE_H

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "toolkit/toolkit.h"

class DriveRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tc-os-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    setenv("TIDECHARTER_DRIVE_C", root_.c_str(), 1);
    for (const char* dir : {"tidecharter/bin", "tidecharter/tmp"})
      std::filesystem::create_directories(root_ + "/" + dir);
    InfoError(1);
    InfoError(3);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  // Host path of a file below the drive root's tidecharter directory.
  std::string host(const std::string& relative) const {
    return root_ + "/tidecharter/" + relative;
  }

  void writeFile(const std::string& relative, const std::string& text) const {
    std::ofstream(host(relative), std::ios::binary) << text;
  }

  void writeScript(const std::string& relative, const std::string& body,
                   bool executable = false) const {
    writeFile(relative, body);
    chmod(host(relative).c_str(), executable ? 0755 : 0644);
  }

  std::string readFile(const std::string& relative) const {
    std::ifstream in(host(relative), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Waits until the file exists and is not empty.
  bool waitForFile(const std::string& relative, int milliseconds) const {
    for (int waited = 0; waited <= milliseconds; waited += 20) {
      struct stat st;
      if (stat(host(relative).c_str(), &st) == 0 && st.st_size > 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  std::string root_;
};

#endif
