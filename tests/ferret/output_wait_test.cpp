// The output wait against real files and the real dialog 107. These tests
// run in real time (2-second polls); they are the slow part of the suite.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <utime.h>

#include "dialog_driver.h"
#include "drive_root.h"
#include "ferret/dates.h"
#include "ferret/output_wait.h"
#include "ferret/run_log.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

namespace {

int StartTimeNow() {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, seconds = 0;
  IOsDate(y, mo, d);
  IOsTime(h, mi, s);
  dateinseconds(y, mo, d, h, mi, s, seconds);
  return seconds;
}

// A shell process appending to `file` every half second until stopped.
class GrowingWriter {
 public:
  explicit GrowingWriter(const std::string& file) {
    pid_ = fork();
    if (pid_ == 0) {
      execl("/bin/sh", "sh", "-c",
            "while :; do printf 'growing file line\\n' >> \"$0\"; sleep 0.5; done",
            file.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~GrowingWriter() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

 private:
  pid_t pid_ = -1;
};

// Spins until the precise clock has passed a second boundary that the coarse
// clock, which the kernel stamps files with, has not reached yet; returns
// the new second, or 0 when that moment does not come within three seconds.
time_t AtBoundaryAheadOfFileStamps() {
  struct timespec begin {}, fine {}, coarse {};
  clock_gettime(CLOCK_MONOTONIC, &begin);
  for (;;) {
    clock_gettime(CLOCK_REALTIME_COARSE, &coarse);
    clock_gettime(CLOCK_REALTIME, &fine);
    if (fine.tv_sec > coarse.tv_sec) return fine.tv_sec;
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (now.tv_sec - begin.tv_sec > 3) return 0;
  }
}

class OutputWait : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(log_.open());
    WDialogSelect(107);
    WDialogShow(1, 1, 0, 2);
  }
  std::vector<std::string> LogLines() {
    log_.flush();
    return drive_.lines("tmp/tidecharter.log");
  }

  DriveRoot drive_;
  RunLog log_;
};

TEST_F(OutputWait, OldFileIgnoredThenSmallFileEndsAtOnce) {
  drive_.write("tmp/metamap1", "left over from an earlier request in this slot");
  const std::string host = drive_.path("tmp/metamap1");
  struct utimbuf hourAgo;
  hourAgo.actime = hourAgo.modtime = time(nullptr) - 3600;
  ASSERT_EQ(utime(host.c_str(), &hourAgo), 0);

  // Rewritten with 5 bytes after the first poll has seen the old file.
  QTimer::singleShot(3000, [&] { drive_.write("tmp/metamap1", "tiny\n"); });
  int ierror = -1;
  Stopwatch watch;
  isfilefinished(log_, "map1", 1, StartTimeNow(), ierror, 0);
  EXPECT_EQ(ierror, kWaitFinished);
  // The old file did not end the first poll; the rewritten one ended the
  // next poll without any quiet period.
  EXPECT_GT(watch.seconds(), 3.5);
  EXPECT_LT(watch.seconds(), 5.0);
  WDialogSelect(107);
  std::string spin(1, ' ');
  WDialogGetString(kJpgMetafileDone, spin);
  EXPECT_TRUE(spin == "/" || spin == "\\") << spin;
}

TEST_F(OutputWait, FileWrittenJustAfterAStartAtASecondBoundaryIsSeenAtOnce) {
  // The start is read just after a second boundary and the file written a
  // moment later carries the second before it, as a step's output can.
  int start = 0;
  bool forced = false;
  for (int attempt = 0; attempt < 10 && !forced; ++attempt) {
    // A new file each time: a rewrite of one just looked at may be stamped
    // from the precise clock.
    unlink(drive_.path("tmp/map1.ps").c_str());
    const time_t second = AtBoundaryAheadOfFileStamps();
    if (second == 0) break;
    start = StartTimeNow();
    drive_.write("tmp/map1.ps", std::string(2000, 'p'));
    struct stat st {};
    ASSERT_EQ(stat(drive_.path("tmp/map1.ps").c_str(), &st), 0);
    forced = st.st_mtime < second;
  }
  if (!forced) GTEST_SKIP() << "file stamps do not lag the clock here";

  Stopwatch watch;
  DelayedPress cancel("Tidecharter", "Cancel", [&] { return watch.seconds() > 3; });
  int ierror = -1;
  isfilefinished(log_, "map1", 2, start, ierror, 1, true);
  EXPECT_EQ(ierror, kWaitFinished);
  EXPECT_LT(watch.seconds(), 0.5);
  EXPECT_FALSE(cancel.pressed());
}

TEST_F(OutputWait, QuietPeriodOfSixSeconds) {
  const int start = StartTimeNow();
  drive_.write("tmp/map1.ps", std::string(2000, 'p'));
  int ierror = -1;
  Stopwatch watch;
  isfilefinished(log_, "map1", 2, start, ierror, 0);
  EXPECT_EQ(ierror, kWaitFinished);
  // Seen at 2 s, unchanged from 4 s, finished at the first poll 6 s later.
  EXPECT_NEAR(watch.seconds(), 10.0, 0.6);
}

TEST_F(OutputWait, QuietPeriodOfOneSecondForLineDrawingsOnMultiCore) {
  const int start = StartTimeNow();
  drive_.write("tmp/lin3.jpg", std::string(2000, 'j'));
  int ierror = -1;
  Stopwatch watch;
  isfilefinished(log_, "lin3", 3, start, ierror, 1);
  EXPECT_EQ(ierror, kWaitFinished);
  EXPECT_NEAR(watch.seconds(), 6.0, 0.6);
}

TEST_F(OutputWait, GrowingFileNeverFinishesUntilCancel) {
  GrowingWriter writer(drive_.path("tmp/lin1.ps"));
  // Longer than a steady file of this name needs (6 s).
  Stopwatch watch;
  DelayedPress cancel("Tidecharter", "Cancel", [&] { return watch.seconds() > 8.5; });
  int ierror = -1;
  isfilefinished(log_, "lin1", 2, StartTimeNow(), ierror, 1);
  EXPECT_TRUE(cancel.pressed());
  EXPECT_EQ(ierror, kWaitCancelled);
  EXPECT_GT(watch.seconds(), 8.5);
  std::vector<std::string> lines = LogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), " TRYING TO EXIT");
  EXPECT_EQ(ShownDialog("Tidecharter"), nullptr);
}

TEST_F(OutputWait, ButtonOfAnotherDialogEndsTheWait) {
  WDialogSelect(103);
  WDialogShow(-1, -1, 0, 2);
  WDialogSelect(107);
  Stopwatch watch;
  DelayedPress plot("Map View Parameters - Tidecharter", "Plot",
                    [&] { return watch.seconds() > 0.5; });
  int ierror = -1;
  isfilefinished(log_, "map2", 1, StartTimeNow(), ierror, 0);
  EXPECT_TRUE(plot.pressed());
  EXPECT_EQ(ierror, kWaitFinished);
  EXPECT_LT(watch.seconds(), 2.0);
  EXPECT_TRUE(LogLines().empty());
  // The progress dialog stays up.
  EXPECT_NE(ShownDialog("Tidecharter"), nullptr);
  WDialogSelect(103);
  WDialogHide();
}

TEST(Spinner, TurnsThroughFourCharacters) {
  WDialogSelect(107);
  std::string seen;
  int position = 1;
  for (int i = 0; i < 5; ++i) {
    spinner(2, position);
    std::string c(1, ' ');
    WDialogGetString(kJpgPostscriptDone, c);
    seen += c;
  }
  EXPECT_EQ(seen, "/\\/\\/");
  EXPECT_EQ(position, 2);
  spinner(7, position);  // no field, but the position still moves
  EXPECT_EQ(position, 3);
}

}  // namespace
