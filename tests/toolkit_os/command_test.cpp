// IOsCommand and IOsExecute against little batch files in a temporary drive
// root.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <chrono>
#include <functional>
#include <set>
#include <thread>

#include "drive_root_fixture.h"
#include "toolkit/os_process.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The state letter of process `pid` ('Z' for a zombie), 0 when it is gone.
char ProcessState(int pid, int* parent = nullptr) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return 0;
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return 0;
  if (parent) *parent = std::atoi(stat.c_str() + close + 4);
  return stat[close + 2];
}

bool WaitFor(const std::function<bool()>& ready, int milliseconds) {
  for (int waited = 0; waited <= milliseconds; waited += 20) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool WaitForState(int pid, char state, int milliseconds) {
  return WaitFor([&] { return ProcessState(pid) == state; }, milliseconds);
}

std::string ProcessName(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

// Children of this test process running program `name`.
std::set<int> ChildrenNamed(const std::string& name) {
  std::set<int> children;
  DIR* proc = opendir("/proc");
  while (dirent* entry = readdir(proc)) {
    const int pid = std::atoi(entry->d_name);
    int parent = 0;
    if (pid > 0 && ProcessState(pid, &parent) && parent == getpid() && ProcessName(pid) == name)
      children.insert(pid);
  }
  closedir(proc);
  return children;
}

std::set<std::string> OpenDescriptors(int pid) {
  std::set<std::string> fds;
  const std::string dir = "/proc/" + std::to_string(pid) + "/fd";
  DIR* d = opendir(dir.c_str());
  while (dirent* entry = d ? readdir(d) : nullptr)
    if (entry->d_name[0] != '.') fds.insert(entry->d_name);
  if (d) closedir(d);
  return fds;
}

std::string DescriptorTarget(int pid, int fd) {
  char target[512] = {};
  const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
  const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
  return n > 0 ? std::string(target, n) : std::string();
}

int ReadPid(const std::string& text) { return std::atoi(text.c_str()); }

class CommandTest : public DriveRootTest {};

TEST_F(CommandTest, WithoutWaitReturnsAtOnceAndTheChildIsReapedByTheNextCommand) {
  writeScript("bin/brief.bat", "echo $$ > \"$TIDECHARTER_DRIVE_C/tidecharter/tmp/pid\"\nsleep 1\n");
  writeScript("bin/nothing.bat", "exit 0\n");

  const auto start = Clock::now();
  IOsCommand("c:\\tidecharter\\bin\\brief.bat", 1);
  EXPECT_LT(SecondsSince(start), 0.5);
  EXPECT_EQ(InfoError(1), 0);

  ASSERT_TRUE(waitForFile("tmp/pid", 3000));
  const int pid = ReadPid(readFile("tmp/pid"));
  EXPECT_EQ(getsid(pid), pid) << "the batch file runs in a session of its own";
  // Once it has ended it stays a zombie until someone reaps it.
  ASSERT_TRUE(WaitForState(pid, 'Z', 4000));
  IOsCommand("c:\\tidecharter\\bin\\nothing.bat", 3, 5);
  EXPECT_EQ(ProcessState(pid), 0) << "the ended child was not reaped";
  EXPECT_EQ(toolkit::ReapAdoptedChildren(), 0);
}

TEST_F(CommandTest, TimeOutReturnsWhileTheCommandRunsOnAndTheReaperCollectsItLater) {
  int argc = 1;
  char name[] = "toolkit_os_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  writeScript("bin/slow.bat", "echo $$ > \"$TIDECHARTER_DRIVE_C/tidecharter/tmp/pid\"\nsleep 10\n");

  const auto start = Clock::now();
  IOsCommand("c:\\tidecharter\\bin\\slow.bat", 3, 5);
  const double waited = SecondsSince(start);
  EXPECT_GE(waited, 4.9);
  EXPECT_LT(waited, 6.5);
  EXPECT_EQ(InfoError(1), 1034);
  EXPECT_FALSE(IOsCommandEnded());

  const int pid = ReadPid(readFile("tmp/pid"));
  ASSERT_GT(pid, 0);
  const char state = ProcessState(pid);
  EXPECT_TRUE(state == 'S' || state == 'R') << "state " << state;

  // End it early (the whole session), then let the periodic reaper run.
  ASSERT_EQ(kill(-pid, SIGKILL), 0);
  ASSERT_TRUE(WaitForState(pid, 'Z', 3000));
  QEventLoop loop;
  QTimer::singleShot(1600, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_EQ(ProcessState(pid), 0) << "the timed-out child was left a zombie";
}

TEST_F(CommandTest, WaitWithoutTimeOutLastsUntilTheCommandEndsAndKeepsEventsFlowing) {
  writeScript("bin/work.bat",
              "sleep 0.6\necho \"$1\" > \"$TIDECHARTER_DRIVE_C/tidecharter/tmp/out.txt\"\n");

  IOsCommand("c:\\tidecharter\\bin\\work.bat first", 3);
  EXPECT_EQ(readFile("tmp/out.txt"), "first\n");
  EXPECT_TRUE(IOsCommandEnded());
  // A batch file that leaves a job of its own at work has not ended its work.
  writeScript("bin/leaves.bat", "sleep 1 &\n");
  IOsCommand("c:\\tidecharter\\bin\\leaves.bat", 3, 5);
  EXPECT_FALSE(IOsCommandEnded());

  int argc = 1;
  char name[] = "toolkit_os_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(50);
  const auto start = Clock::now();
  IOsCommand("c:\\tidecharter\\bin\\work.bat second", 3);
  EXPECT_GE(SecondsSince(start), 0.55);
  EXPECT_EQ(readFile("tmp/out.txt"), "second\n");
  EXPECT_GE(ticks, 3) << "no events were processed during the wait";
  EXPECT_EQ(InfoError(1), 0);
}

TEST_F(CommandTest, ArgumentsPassUnchangedAndEveryKindOfProgramRuns) {
  const std::string listArgs =
      "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$TIDECHARTER_DRIVE_C/tidecharter/tmp/$(basename \"$0\").txt\"\n";
  writeScript("bin/args.bat", listArgs);
  IOsCommand("c:\\tidecharter\\bin\\args.bat  /cygdrive/c/tidecharter/tmp/x.txt c:\\tidecharter\\tmp\\y   3   ", 3, 5);
  EXPECT_EQ(readFile("tmp/args.bat.txt"), "/cygdrive/c/tidecharter/tmp/x.txt\nc:\\tidecharter\\tmp\\y\n3\n");

  // The /cygdrive/c/ form and forward slashes name the same program.
  IOsCommand("/cygdrive/c/tidecharter/bin/args.bat a", 3, 5);
  EXPECT_EQ(readFile("tmp/args.bat.txt"), "a\n");
  IOsCommand("C:/tidecharter/bin/args.bat b", 3, 5);
  EXPECT_EQ(readFile("tmp/args.bat.txt"), "b\n");

  writeScript("bin/plain", listArgs);                            // not executable
  writeScript("bin/noshebang", listArgs, true);                  // executable text
  writeScript("bin/shebang", "#!/bin/sh\n" + listArgs, true);    // a real program
  for (const char* program : {"plain", "noshebang", "shebang"}) {
    IOsCommand(std::string("c:\\tidecharter\\bin\\") + program + " p q", 3, 5);
    EXPECT_EQ(readFile(std::string("tmp/") + program + ".txt"), "p\nq\n") << program;
  }
  EXPECT_EQ(InfoError(1), 0);
}

TEST_F(CommandTest, ProgramsThatCannotStartRecordTheOsErrorAndBlankCommandsNothing) {
  IOsCommand("c:\\tidecharter\\bin\\missing.bat /cygdrive/c/x", 3, 5);
  EXPECT_EQ(InfoError(1), 13);
  EXPECT_EQ(InfoError(3), 2);

  IOsCommand("no-such-program-anywhere-on-path", 1);
  EXPECT_EQ(InfoError(1), 13);
  EXPECT_EQ(InfoError(3), 2);

  IOsCommand("c:\\tidecharter\\bin", 3);
  EXPECT_EQ(InfoError(1), 13);
  EXPECT_EQ(InfoError(3), 13);

  // A missing program under the wait flag must not wait for anything.
  const auto start = Clock::now();
  IOsCommand("c:\\tidecharter\\bin\\missing.bat", 3);
  EXPECT_LT(SecondsSince(start), 1.0);
  EXPECT_EQ(InfoError(1), 13);
  EXPECT_EQ(InfoError(3), 2);

  IOsCommand("", 3, 5);
  IOsCommand("      ", 3);
  EXPECT_EQ(InfoError(1), 0);
  EXPECT_EQ(InfoError(3), 0);
}

TEST_F(CommandTest, ChildrenInheritNoDescriptorsBeyondTheStandardThree) {
  // Descriptors this program holds without close-on-exec, as a display
  // connection or a log file would.
  int leak[2];
  ASSERT_EQ(pipe(leak), 0);
  const int file = open(host("tmp").c_str(), O_RDONLY);
  ASSERT_GE(file, 0);

  const std::set<int> before = ChildrenNamed("sleep");
  IOsCommand("sleep 3", 1);
  IOsCommand("sleep 3", 0);
  // The kernel names a child after its program a moment after its exec has
  // closed the descriptors the start waits on.
  std::set<int> started;
  WaitFor([&] {
    started = ChildrenNamed("sleep");
    for (int pid : before) started.erase(pid);
    return started.size() >= 2;
  }, 2000);
  ASSERT_EQ(started.size(), 2u);

  const std::set<std::string> standard{"0", "1", "2"};
  int hidden = 0;
  for (int pid : started) {
    // The child's own start-up (the dynamic loader reading its libraries)
    // opens descriptors for a moment; an inherited one stays for good.
    std::set<std::string> open;
    WaitFor([&] { return (open = OpenDescriptors(pid)) == standard; }, 2000);
    EXPECT_EQ(open, standard) << "pid " << pid << ", descriptor 3: " << DescriptorTarget(pid, 3);
    EXPECT_EQ(DescriptorTarget(pid, 0), "/dev/null");
    EXPECT_EQ(getsid(pid), pid);
    if (DescriptorTarget(pid, 1) == "/dev/null" && DescriptorTarget(pid, 2) == "/dev/null") {
      ++hidden;
    } else {
      EXPECT_EQ(DescriptorTarget(pid, 1), DescriptorTarget(getpid(), 1));
    }
  }
  // Only the hidden one loses its output (unless ours is /dev/null too).
  if (DescriptorTarget(getpid(), 1) != "/dev/null") {
    EXPECT_EQ(hidden, 1);
  }

  for (int pid : started) kill(pid, SIGKILL);
  for (int pid : started) WaitForState(pid, 'Z', 3000);
  EXPECT_EQ(toolkit::ReapAdoptedChildren(), 0);
  close(leak[0]);
  close(leak[1]);
  close(file);
}

TEST_F(CommandTest, ExecuteStartsTheCommandAndEndsTheProgram) {
  writeScript("bin/install.bat",
              "sleep 0.3\necho installed > \"$TIDECHARTER_DRIVE_C/tidecharter/tmp/installed\"\n");
  EXPECT_EXIT(IOsExecute("c:\\tidecharter\\bin\\install.bat"), ::testing::ExitedWithCode(0), "");
  // The started program outlives the one that started it.
  EXPECT_TRUE(waitForFile("tmp/installed", 3000));

  IOsExecute("   ");
  EXPECT_EQ(InfoError(1), 23);
}

TEST_F(CommandTest, ExecuteOfAMissingProgramSaysSoAndEndsWithCode2) {
  EXPECT_EXIT(
      {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        WInitialise();
        // Answers the message box and shows its text to the test.
        auto* answer = new QTimer(QCoreApplication::instance());
        QObject::connect(answer, &QTimer::timeout, [] {
          if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "box: %s\n", box->text().toStdString().c_str());
            box->done(0);
          }
        });
        answer->start(50);
        QTimer::singleShot(5000, [] { _exit(99); });
        IOsExecute("c:\\tidecharter\\bin\\missing.bat");
      },
      ::testing::ExitedWithCode(2), "box: Abnormal exit \\(code 2\\) : Failed to execute program");
}

}  // namespace
