// A second start on the same installation: the built program holds the
// drive root, a second start names it in a message box and leaves without
// touching c:\tidecharter\tmp. The lock itself is tried from short-lived
// child processes, since a process that holds it keeps it until it ends.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "app/tidecharter_main.h"
#include "ferret/drive_root.h"
#include "toolkit/toolkit.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A drive root with stand-in batch files that return at once.
class Drive : public DriveRoot {
 public:
  Drive() {
    fs::copy_file(INSTALLATION_DIR "/bin/pacific/TDC_city_locations.csv",
                  path("bin/pacific/TDC_city_locations.csv"));
    fs::copy_file(INSTALLATION_DIR "/bin/pacific/versioninfo.txt", path("bin/pacific/versioninfo.txt"));
    write("bin/tcferret.bat", "exit 0\n");
    write("bin/tcLookForX.bat", "echo FOUND > \"$TIDECHARTER_DRIVE_C/tidecharter/tmp/batch.log\"\n");
    write("bin/tcJnlrm.bat", "exit 0\n");
  }

  // Every entry below tmp with its contents and write time.
  std::map<std::string, std::string> tmpSnapshot() const {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(path("tmp"))) {
      struct stat st {};
      lstat(entry.path().c_str(), &st);
      std::ostringstream state;
      state << st.st_mode << ' ' << st.st_size << ' ' << st.st_mtim.tv_sec << '.' << st.st_mtim.tv_nsec
            << '\n';
      if (entry.is_regular_file()) {
        std::ifstream in(entry.path(), std::ios::binary);
        state << in.rdbuf();
      }
      entries[entry.path().string()] = state.str();
    }
    return entries;
  }
};

// A forked child running `body`, which may write lines to the parent
// through the descriptor it is given; its result is the exit code.
class Child {
 public:
  explicit Child(const std::function<int(int)>& body) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(out[0]);
      _exit(body(out[1]));
    }
    close(out[1]);
    out_ = out[0];
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }
  int pid() const { return pid_; }

  // The next line the child wrote, "" at its end or after `ms`.
  std::string readLine(int ms = 15000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      const std::size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      const int left = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
      if (left <= 0) return "";
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, left) <= 0) return "";
      char chunk[512];
      const ssize_t n = read(out_, chunk, sizeof chunk);
      if (n <= 0) return "";
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

  // The exit code, or -1 when it did not end normally within `ms`.
  int exitCode(int ms = 15000) {
    int status = 0;
    for (int waited = 0; waited <= ms; waited += 20) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  int pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

void say(int fd, const std::string& line) {
  const std::string text = line + "\n";
  if (write(fd, text.data(), text.size()) < 0) _exit(98);
}

std::string trimmed(const std::string& text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? "" : text.substr(0, end + 1);
}

std::string hostName() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

// Asks for the lock of `root` in a child of its own and reports the answer:
// "held", or "refused " followed by the holder text.
std::function<int(int)> TryLock(const std::string& root) {
  return [root](int out) {
    setenv("TIDECHARTER_DRIVE_C", root.c_str(), 1);
    std::string holder(200, ' ');
    say(out, IOsSingleInstance(holder) ? "held" : "refused " + trimmed(holder));
    return 0;
  };
}

std::string LockAnswer(const std::string& root) {
  Child child(TryLock(root));
  const std::string answer = child.readLine();
  EXPECT_EQ(child.exitCode(), 0);
  return answer;
}

bool WaitFor(const std::function<bool()>& ready, int ms) {
  for (int waited = 0; waited <= ms; waited += 20) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(SingleInstance, SecondStartNamesTheRunningProgramAndLeavesTmpAlone) {
  Drive drive;
  setenv("TIDECHARTER_DRIVE_C", drive.root().c_str(), 1);
  char program[] = TIDECHARTER_PROGRAM;
  char* argv[] = {program, nullptr};
  pid_t first = -1;
  ASSERT_EQ(posix_spawn(&first, program, nullptr, nullptr, argv, environ), 0);
  struct Stop {
    pid_t pid;
    ~Stop() {
      if (pid > 0 && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
    }
  } stop{first};
  // The last start-up line: the program is in its main-menu loop.
  const auto inLoop = [&] { return drive.read("tmp/tidecharter.log").find("end dates") != std::string::npos; };
  ASSERT_TRUE(WaitFor(inLoop, 20000)) << drive.read("tmp/tidecharter.log");
  const auto before = drive.tmpSnapshot();
  ASSERT_FALSE(before.empty());

  // The second start runs the program's own entry in a child that answers
  // the message box and reports it.
  Child second([](int out) {
    WInitialise();
    auto* answer = new QTimer(QCoreApplication::instance());
    QObject::connect(answer, &QTimer::timeout, [out] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        std::string text = box->text().toStdString();
        for (char& c : text)
          if (c == '\n') c = '|';
        say(out, box->windowTitle().toStdString() + ": " + text);
        box->done(0);
      }
    });
    answer->start(20);
    QTimer::singleShot(15000, [] { _exit(99); });
    return tidecharter_main();
  });
  EXPECT_EQ(second.readLine(),
            "Tidecharter: Tidecharter is already running on this installation.|"
            "Close it before starting it again.|Running: process " +
                std::to_string(first) + " on " + hostName() + ", drive root " + drive.root());
  EXPECT_EQ(second.exitCode(), 1);

  EXPECT_EQ(drive.tmpSnapshot(), before);
  int status = 0;
  EXPECT_EQ(waitpid(first, &status, WNOHANG), 0) << "the first program ended";

  // However the holder ends, the next start gets the installation.
  ASSERT_EQ(kill(first, SIGKILL), 0);
  ASSERT_EQ(waitpid(first, &status, 0), first);
  stop.pid = -1;
  EXPECT_EQ(LockAnswer(drive.root()), "held");
}

TEST(SingleInstance, LockIsPerDriveRootAndNotKeptByStartedPrograms) {
  Drive one, two;
  // Stands for a Ferret window that stays open after the program ends.
  one.write("bin/linger.bat",
            "echo $$ > \"$TIDECHARTER_DRIVE_C/tidecharter/linger.pid\"\nexec sleep 30\n");
  int release[2];
  ASSERT_EQ(pipe(release), 0);
  const std::string root = one.root();
  Child holder([&](int out) {
    close(release[1]);
    const int answer = TryLock(root)(out);
    IOsCommand("c:\\tidecharter\\bin\\linger.bat", 1);
    char byte;
    while (read(release[0], &byte, 1) > 0) {
    }
    return answer;
  });
  close(release[0]);
  ASSERT_EQ(holder.readLine(), "held");

  EXPECT_EQ(LockAnswer(one.root()), "refused process " + std::to_string(holder.pid()) + " on " + hostName() +
                                        ", drive root " + one.root());
  EXPECT_EQ(LockAnswer(two.root()), "held");
  EXPECT_TRUE(fs::is_empty(one.path("tmp")));

  ASSERT_TRUE(WaitFor([&] { return !one.read("linger.pid").empty(); }, 5000));
  const int linger = std::atoi(one.read("linger.pid").c_str());
  close(release[1]);
  EXPECT_EQ(holder.exitCode(), 0);
  ASSERT_EQ(kill(linger, 0), 0) << "the started program should outlive the holder";
  EXPECT_EQ(LockAnswer(one.root()), "held");
  kill(linger, SIGKILL);
}

}  // namespace
