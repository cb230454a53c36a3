// Drive-root path mapping, IOsFileInfo and the clock.
#include <fcntl.h>
#include <sys/time.h>
#include <time.h>

#include <cmath>

#include "drive_root_fixture.h"

namespace {

class FileInfoTest : public DriveRootTest {
 protected:
  // Sets the last-write time of a file to a local time.
  void setWriteTime(const std::string& relative, int year, int month, int day, int hour,
                    int minute, int second) {
    struct tm local {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const struct timeval times[2] = {{mktime(&local), 0}, {mktime(&local), 0}};
    ASSERT_EQ(utimes(host(relative).c_str(), times), 0);
  }
};

TEST_F(FileInfoTest, ProgramPathsMapOntoTheDriveRoot) {
  const std::string expected = root_ + "/tidecharter/tmp/x.txt";
  EXPECT_EQ(IOsHostPath("c:\\tidecharter\\tmp\\x.txt"), expected);
  EXPECT_EQ(IOsHostPath("C:\\tidecharter/tmp\\x.txt   "), expected);
  EXPECT_EQ(IOsHostPath("/cygdrive/c/tidecharter/tmp/x.txt"), expected);
  EXPECT_EQ(IOsHostPath("c:"), root_);
  EXPECT_EQ(IOsHostPath("/cygdrive/c"), root_);
  // Other drives and host paths are not the program's.
  EXPECT_EQ(IOsHostPath("/cygdrive/cd/x"), "/cygdrive/cd/x");
  EXPECT_EQ(IOsHostPath("d:\\x"), "d:\\x");
  EXPECT_EQ(IOsHostPath("/usr/share/x"), "/usr/share/x");

  setenv("TIDECHARTER_DRIVE_C", (root_ + "//").c_str(), 1);
  EXPECT_EQ(IOsHostPath("c:\\tidecharter\\tmp\\x.txt"), expected);

  const std::string home = getenv("HOME") ? getenv("HOME") : "";
  unsetenv("TIDECHARTER_DRIVE_C");
  setenv("XDG_DATA_HOME", "/data/home", 1);
  EXPECT_EQ(IOsDriveRoot(), "/data/home/tidecharter/drive_c");
  setenv("XDG_DATA_HOME", "", 1);
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(IOsDriveRoot(), "/home/someone/.local/share/tidecharter/drive_c");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(IOsDriveRoot(), "/home/someone/.local/share/tidecharter/drive_c");
  setenv("HOME", home.c_str(), 1);
}

TEST_F(FileInfoTest, SizeTimeAttributesAndKilobytes) {
  int info[10];
  auto fill = [&](const std::string& name, int count) {
    std::fill(info, info + 10, -7);
    IOsFileInfo(name, info, count);
  };

  fill("c:\\tidecharter\\tmp\\missing.ps", 9);
  EXPECT_EQ(info[0], -1);
  fill("    ", 9);
  EXPECT_EQ(info[0], -1);

  writeFile("tmp/empty.jpg", "");
  fill("c:\\tidecharter\\tmp\\empty.jpg", 9);
  EXPECT_EQ(info[0], 0);
  EXPECT_EQ(info[8], 0);
  EXPECT_EQ(info[7], 0x20);

  writeFile("tmp/k1024", std::string(1024, 'x'));
  fill("c:\\tidecharter\\tmp\\k1024", 9);
  EXPECT_EQ(info[8], 1);

  writeFile("tmp/meta.plt", std::string(1025, 'x'));
  setWriteTime("tmp/meta.plt", 2009, 3, 4, 5, 6, 7);
  fill("/cygdrive/c/tidecharter/tmp/meta.plt", 9);
  const int expected[9] = {1025, 2009, 3, 4, 5, 6, 7, 0x20, 2};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(info[i], expected[i]) << "element " << i + 1;
  EXPECT_EQ(info[9], -7) << "wrote past nine elements";

  // Only the requested elements are filled; out-of-range counts are clamped.
  fill("c:\\tidecharter\\tmp\\meta.plt", 1);
  EXPECT_EQ(info[0], 1025);
  EXPECT_EQ(info[1], -7);
  fill("c:\\tidecharter\\tmp\\meta.plt", 0);
  EXPECT_EQ(info[0], 1025);
  EXPECT_EQ(info[1], -7);
  fill("c:\\tidecharter\\tmp\\meta.plt", 8);
  EXPECT_EQ(info[7], 0x20);
  EXPECT_EQ(info[8], -7);
  fill("c:\\tidecharter\\tmp\\meta.plt", 40);
  EXPECT_EQ(info[8], 2);
  EXPECT_EQ(info[9], -7);

  fill("c:\\tidecharter\\tmp", 9);
  EXPECT_EQ(info[7] & 0x10, 0x10);
}

TEST_F(FileInfoTest, FilesBeyondFourGigabytesReportTheLowBitsAndTheirFullKilobytes) {
  const int fd = open(host("tmp/huge").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  const off_t size = (5LL << 30) + 1;  // sparse: takes no disc space
  ASSERT_EQ(ftruncate(fd, size), 0);
  close(fd);
  int info[9] = {};
  IOsFileInfo("c:\\tidecharter\\tmp\\huge", info, 9);
  EXPECT_EQ(info[0], (1 << 30) + 1);
  EXPECT_EQ(info[8], 5 * 1024 * 1024 + 1);
}

TEST_F(FileInfoTest, WildCardsDescribeTheFirstMatch) {
  writeFile("tmp/metamap2", std::string(20, 'x'));
  writeFile("tmp/metamap1", std::string(10, 'x'));
  writeFile("tmp/notes.txt", std::string(30, 'x'));
  writeFile("tmp/x[1].txt", std::string(40, 'x'));
  int info[9] = {};

  IOsFileInfo("c:\\tidecharter\\tmp\\meta*", info, 1);
  EXPECT_EQ(info[0], 10);
  IOsFileInfo("c:\\tidecharter\\tmp\\metamap?", info, 1);
  EXPECT_EQ(info[0], 10);
  IOsFileInfo("/cygdrive/c/tidecharter/tmp/*.txt", info, 1);
  EXPECT_EQ(info[0], 30);
  // Brackets are ordinary characters in the program's names.
  IOsFileInfo("c:\\tidecharter\\tmp\\x[1]*", info, 1);
  EXPECT_EQ(info[0], 40);
  IOsFileInfo("c:\\tidecharter\\tmp\\x[1].txt", info, 1);
  EXPECT_EQ(info[0], 40);
  IOsFileInfo("c:\\tidecharter\\tmp\\zz*", info, 1);
  EXPECT_EQ(info[0], -1);
}

TEST(ClockTest, DateAndTimeAreTheLocalClock) {
  int year, month, day, hour, minute, second, millis = -1;
  struct tm before {}, after {};
  // Retry if the second changes under the readings.
  for (int attempt = 0; attempt < 5; ++attempt) {
    const time_t t0 = time(nullptr);
    IOsDate(year, month, day);
    IOsTime(hour, minute, second, &millis);
    const time_t t1 = time(nullptr);
    localtime_r(&t0, &before);
    localtime_r(&t1, &after);
    if (t0 == t1) break;
  }
  EXPECT_EQ(year, before.tm_year + 1900);
  EXPECT_EQ(month, before.tm_mon + 1);
  EXPECT_EQ(day, before.tm_mday);
  EXPECT_EQ(hour, before.tm_hour);
  EXPECT_EQ(minute, before.tm_min);
  EXPECT_EQ(second, before.tm_sec);
  EXPECT_GE(millis, 0);
  EXPECT_LE(millis, 999);
  int h2, m2, s2;
  IOsTime(h2, m2, s2);  // the milliseconds are optional
  EXPECT_GE(h2 * 3600 + m2 * 60 + s2, hour * 3600 + minute * 60 + second - 1);
}

TEST(ClockTest, ProcessTimesGrowWithWork) {
  float total0, user0, system0, total1, user1, system1;
  IOsProcessTimes(total0, user0, system0);
  // Burn 0.2 s of processor time, however busy the machine is.
  auto cpuSeconds = [] {
    struct timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
  };
  volatile double sink = 0;
  const double start = cpuSeconds();
  while (cpuSeconds() - start < 0.2)
    for (int i = 0; i < 10000; ++i) sink = sink + std::sqrt(static_cast<double>(i));
  IOsProcessTimes(total1, user1, system1);
  EXPECT_GT(total1 - total0, 0.15f);
  EXPECT_GE(user1, user0);
  EXPECT_NEAR(total1, user1 + system1, 1e-3f);
}

}  // namespace
