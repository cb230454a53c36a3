#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <regex>
#include <thread>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include "../ferret/drive_root.h"
#include "app/app_state.h"
#include "app/startup_checks.h"
#include "ferret/run_log.h"
#include "toolkit/toolkit.h"

extern char** environ;

namespace {

// Records and closes every modal box shown while it lives.
class ModalObserver {
 public:
  ModalObserver() {
    timer_.setInterval(50);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) return;
      std::string text;
      // Shown line breaks, whichever of CR or LF the box uses.
      if (auto* box = qobject_cast<QMessageBox*>(modal))
        text = box->text().replace('\r', '\n').toStdString();
      seen.push_back({modal->windowTitle().toStdString(), text});
      if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->done(0);
      else
        modal->close();
    });
    timer_.start();
  }
  std::vector<std::pair<std::string, std::string>> seen;

 private:
  QTimer timer_;
};

class StartupChecks : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_ = drive_.path("registry.txt");
    setenv("TIDECHARTER_REGISTRY", registry_.c_str(), 1);
  }
  void TearDown() override { unsetenv("TIDECHARTER_REGISTRY"); }

  // tcLookForX.bat records its argument and writes `word` to batch.log.
  void LookForX(const std::string& word, const std::string& extra = "") {
    drive_.write("bin/tcLookForX.bat",
                 extra + "printf '%s' \"$1\" > \"$TIDECHARTER_DRIVE_C/tidecharter/tmp/lookforx.arg\"\n"
                         "printf '" + word + "\\n' > \"$TIDECHARTER_DRIVE_C/tidecharter/tmp/batch.log\"\n");
  }
  std::vector<std::string> LogAfter(const std::function<void(RunLog&)>& step) {
    RunLog log;
    EXPECT_TRUE(log.open());
    step(log);
    log.flush();
    return drive_.lines("tmp/tidecharter.log");
  }

  DriveRoot drive_;
  std::string registry_;
};

TEST_F(StartupChecks, XServerMessageOnlyForUpperCaseHave) {
  drive_.write("bin/xwininfo.txt", "7 windows\n");
  LookForX("HAVEN");
  {
    ModalObserver observer;
    EXPECT_EQ(xservercheck(), "HAVE");
    ASSERT_EQ(observer.seen.size(), 1u);
    EXPECT_EQ(observer.seen[0].first, "X Window Information");
    EXPECT_EQ(observer.seen[0].second,
              "Please be sure your X server is running.  If\n"
              "you fail to get a plot while running the Tidecharter\n"
              "it is likely due to no running X server.");
  }
  EXPECT_EQ(drive_.read("tmp/lookforx.arg"), "7");

  drive_.write("bin/xwininfo.txt", "x9\n");
  LookForX("have");
  ModalObserver observer;
  EXPECT_EQ(xservercheck(), "have");
  QApplication::processEvents();
  EXPECT_TRUE(observer.seen.empty());
  EXPECT_EQ(drive_.read("tmp/lookforx.arg"), "0");
}

TEST_F(StartupChecks, MissingFilesAndBatchGiveDefaults) {
  ModalObserver observer;
  // No xwininfo.txt, no batch file, no batch.log.
  EXPECT_EQ(xservercheck(), "unkn");
  EXPECT_EQ(InfoError(1), 0);  // the failed start was discarded

  drive_.write("bin/xwininfo.txt", "");
  drive_.write("tmp/batch.log", "");
  EXPECT_EQ(xservercheck(), "unkn");
  EXPECT_TRUE(observer.seen.empty());
}

TEST_F(StartupChecks, HangingLookForXCostsAtMostItsLimit) {
  LookForX("HAVE", "sleep 8\n");
  drive_.write("tmp/batch.log", "no\n");
  QElapsedTimer watch;
  watch.start();
  EXPECT_EQ(xservercheck(), "no  ");
  EXPECT_LT(watch.elapsed(), 5000);
  EXPECT_GE(watch.elapsed(), 3900);
  EXPECT_EQ(InfoError(1), 0);
}

TEST_F(StartupChecks, ProcessorNames) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    int flag;
  };
  const std::string pad(100, ' ');
  auto cpuline = [&](const std::string& name) { return " CPU type=" + (name + pad).substr(0, 100); };
  const std::vector<Case> cases = {
      {"Dual-Core AMD Opteron(tm) Processor 8218",
       {cpuline("Dual-Core AMD Opteron(tm) Processor 8218"), " Duo ierror= 0", " ual ierror= 2"}, 2},
      {"Intel(R) Core(TM)2 Duo CPU T7300",
       {cpuline("Intel(R) Core(TM)2 Duo CPU T7300"), " Duo ierror= 20"}, 20},
      {"Intel(R) Core(TM)2 Quad CPU Q6600",
       {cpuline("Intel(R) Core(TM)2 Quad CPU Q6600"), " Duo ierror= 0", " ual ierror= 0",
        " Quad ierror= 20"}, 20},
      {"Intel(R) Pentium(R) 4 CPU 3.00GHz",
       {cpuline("Intel(R) Pentium(R) 4 CPU 3.00GHz"), " Duo ierror= 0", " ual ierror= 0",
        " Quad ierror= 0"}, 0},
  };
  for (const Case& c : cases) {
    drive_.write("registry.txt",
                 std::string("HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0|"
                             "ProcessorNameString|1|") + c.name + "\n");
    int flag = -1;
    EXPECT_EQ(LogAfter([&](RunLog& log) { getcpu(flag, log); }), c.lines) << c.name;
    EXPECT_EQ(flag, c.flag) << c.name;
  }

  // A name that is not text is not read: nothing logged.
  drive_.write("registry.txt",
               "HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0|"
               "ProcessorNameString|4|7\n");
  int flag = -1;
  EXPECT_TRUE(LogAfter([&](RunLog& log) { getcpu(flag, log); }).empty());
  EXPECT_EQ(flag, 0);
}

TEST_F(StartupChecks, MulticoreFromNameOrProcessorCount) {
  EXPECT_EQ(multicoreflag(2), 1);
  EXPECT_EQ(multicoreflag(0), IOsProcessorCount() > 1 ? 1 : 0);
}

TEST_F(StartupChecks, ScreenResolutionFromTheVideoSettingsKey) {
  drive_.write("registry.txt",
               "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\VIDEO|\\Device\\Video0|1|"
               "\\Registry\\Machine\\System\\CurrentControlSet\\Control\\Video\\{TEST-ADAPTER}\\0000\n"
               "HKEY_CURRENT_CONFIG\\System\\CurrentControlSet\\Control\\VIDEO\\{TEST-ADAPTER}\\0000|"
               "DefaultSettings.XResolution|4|1280\n"
               "HKEY_CURRENT_CONFIG\\System\\CurrentControlSet\\Control\\VIDEO\\{TEST-ADAPTER}\\0000|"
               "DefaultSettings.YResolution|1|1024\n");
  int ixres = 0, iyres = 0;
  getscreenres(ixres, iyres);
  EXPECT_EQ(ixres, 1280);
  EXPECT_EQ(iyres, 0);  // not a 32-bit number
  EXPECT_EQ(LogAfter([&](RunLog& log) { logscreenres(log, ixres, iyres); }),
            std::vector<std::string>{" Screen resolution: ixres= 1280  iyres= 0"});
}

TEST_F(StartupChecks, VersionTextFromTwoLines) {
  AppState app;
  drive_.write("bin/pacific/versioninfo.txt", "Version 3.2 build 17\r\nSample Jan 2004 - Aug 2008 and on\r\n");
  readversiontext(app);
  EXPECT_EQ(app.versiontext, "Version 3.2 buiSample Jan 2004 - Aug 2008 and");
  EXPECT_EQ(versionlabel(app), "Version 3.2 bui\nSample Jan 2004 - Aug 2008 and");

  drive_.write("bin/pacific/versioninfo.txt", "Version 3.2\n");
  readversiontext(app);
  EXPECT_EQ(app.versiontext, "Version 3.2" + std::string(34, ' '));
  EXPECT_EQ(versionlabel(app), "Version 3.2\n");

  std::filesystem::remove(drive_.path("bin/pacific/versioninfo.txt"));
  readversiontext(app);
  EXPECT_EQ(app.versiontext, std::string(45, ' '));
}

TEST_F(StartupChecks, BenchmarkUsesProcessorTimeAndLogsIt) {
  const ProcessTimes before = readprocesstimes();
  bench();
  const ProcessTimes after = readprocesstimes();
  EXPECT_GT(after.user, before.user);

  const ProcessTimes a{1.0f, 0.75f, 0.25f}, b{2.5f, 2.0f, 0.5f};
  EXPECT_EQ(LogAfter([&](RunLog& log) { logbench(log, a, b); }),
            (std::vector<std::string>{" cpu bench test:",
                                      " real time= 1.5  user time= 1.25 system time= 0.25"}));
  // Reals in the log are decimal, however small or large.
  const ProcessTimes zero, odd{5e-05f, 12345678.0f, 0.0f};
  EXPECT_EQ(LogAfter([&](RunLog& log) { logbench(log, zero, odd); }).at(1),
            " real time= 0.00005  user time= 12345680.0 system time= 0.0");
}

TEST_F(StartupChecks, BuiltProgramWritesTheNineStartupLinesInOrder) {
  drive_.write("bin/tcLookForX.bat", "echo FOUND > \"$TIDECHARTER_DRIVE_C/tidecharter/tmp/batch.log\"\n");
  drive_.write("bin/tcferret.bat",
               "for f in Argo Aviso Reynolds; do\n"
               "  printf '%s\\n\\nMonth index, Jan2004=1:  56\\n' $f > \"$TIDECHARTER_DRIVE_C/tidecharter/tmp/${f}EndDate.txt\"\n"
               "done\n");
  // A hand-edited location file: two records with blank lines between.
  const std::string record = std::string(34, 'x') + "    19      23     200     206\n";
  drive_.write("bin/pacific/TDC_city_locations.csv", record + "\n  \n" + record);
  const std::string cpu = "Intel(R) Core(TM)2 Quad CPU Q6600";
  const std::string video = "HKEY_CURRENT_CONFIG\\System\\CurrentControlSet\\Control\\VIDEO\\{A}\\0000|";
  drive_.write("registry.txt",
               "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\VIDEO|\\Device\\Video0|1|"
               "\\Registry\\Machine\\System\\CurrentControlSet\\Control\\Video\\{A}\\0000\n" +
                   video + "DefaultSettings.XResolution|4|1280\n" + video + "DefaultSettings.YResolution|4|1024\n"
                   "HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0|"
                   "ProcessorNameString|1|" + cpu + "\n");

  char program[] = TIDECHARTER_PROGRAM;
  char* argv[] = {program, nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, program, nullptr, nullptr, argv, environ), 0);
  // The last start-up line: the program waits in its main-menu loop.
  std::vector<std::string> lines;
  for (int waited = 0; waited < 30000; waited += 50) {
    lines = drive_.lines("tmp/tidecharter.log");
    if (!lines.empty() && lines.back().find("end dates") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);

  ASSERT_EQ(lines.size(), 9u) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines[0], " Screen resolution: ixres= 1280  iyres= 1024");
  EXPECT_EQ(lines[1], " ReadBuoy ncity= 2");
  EXPECT_EQ(lines[2], " CPU type=" + cpu + std::string(100 - cpu.size(), ' '));
  EXPECT_EQ(lines[3], " Duo ierror= 0");
  EXPECT_EQ(lines[4], " ual ierror= 0");
  EXPECT_EQ(lines[5], " Quad ierror= 20");
  EXPECT_EQ(lines[6], " cpu bench test:");
  EXPECT_TRUE(std::regex_match(lines[7], std::regex(" real time= [0-9]+\\.[0-9]+  user time= [0-9]+\\.[0-9]+"
                                                    " system time= [0-9]+\\.[0-9]+")))
      << lines[7];
  EXPECT_EQ(lines[8], " end dates argo,aviso,reynolds: 56 56 56");
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  WInitialise();
  return RUN_ALL_TESTS();
}
