// Process start for IOsCommand and IOsExecute. Children get their own
// session so that a batch file that keeps running outlives the program, and
// they inherit nothing but stdin/stdout/stderr: descriptors of the dialogs
// (the display connection, Qt's wake-up pipes) must not reach Ferret.
#include "toolkit/os_process.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "toolkit/drive_paths.h"
#include "toolkit/toolkit.h"

extern char** environ;

namespace toolkit {
namespace {

constexpr const char* kShell = "/bin/sh";

std::vector<std::string> SplitAtBlanks(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  std::string word;
  while (std::getline(in, word, ' '))
    if (!word.empty()) words.push_back(word);
  return words;
}

bool EndsWithBat(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return tail == ".bat";
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

// The host file the program word names; empty with errno-style `osError`
// when there is none.
std::string ResolveProgram(const std::string& word, int& osError) {
  if (IsDrivePath(word)) return IOsHostPath(word);
  if (word.find('/') != std::string::npos) return word;
  std::string path = EnvironmentText("PATH");
  if (path.empty()) path = "/usr/local/bin:/usr/bin:/bin";
  std::istringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + word;
    if (IsExecutableFile(candidate)) return candidate;
  }
  osError = ENOENT;
  return std::string();
}

// Closes every descriptor from `first` up, in the child between fork and
// exec, where only async-signal-safe calls are allowed.
void CloseFrom(unsigned first, unsigned last, int fallbackLimit) {
  if (first > last) return;
  if (syscall(SYS_close_range, first, last, 0) == 0) return;
  for (int fd = static_cast<int>(first); fd < fallbackLimit && fd <= static_cast<int>(last); ++fd)
    close(fd);
}

std::vector<int>& Adopted() {
  static std::vector<int> children;
  return children;
}

// Reaps adopted children once a second while there are any and a Qt event
// loop can run the timer; otherwise the next IOsCommand collects them.
void ArmPeriodicReaper() {
  static QPointer<QTimer> timer;
  if (!QCoreApplication::instance()) return;
  if (!timer) {
    timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(1000);
    QObject::connect(timer, &QTimer::timeout, [] {
      if (ReapAdoptedChildren() == 0 && timer) timer->stop();
    });
  }
  if (!timer->isActive()) timer->start();
}

long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The host program a command's first word names, and whether it runs under
// the shell; false with errno-style `osError` when it cannot run.
bool PrepareProgram(const std::string& word, std::string& program, bool& viaShell, int& osError) {
  program = ResolveProgram(word, osError);
  if (program.empty()) return false;
  struct stat st;
  if (stat(program.c_str(), &st) != 0) {
    osError = errno;
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    osError = EACCES;
    return false;
  }
  viaShell = EndsWithBat(program) || access(program.c_str(), X_OK) != 0;
  if (viaShell && access(program.c_str(), R_OK) != 0) {
    osError = errno;
    return false;
  }
  return true;
}

// Forks and runs `direct` (the host program, then its arguments). The child
// reads /dev/null; its output goes to `output` (-1: inherited, -2:
// /dev/null). `ownSession` puts it in a session of its own; otherwise it
// stays in this process group and ends with it on an interrupt.
int Launch(std::vector<std::string> direct, bool viaShell, int output, bool ownSession,
           int& osError) {
  // Everything the child needs is built before fork: after it only
  // async-signal-safe calls are made.
  std::vector<std::string> shell{kShell};
  shell.insert(shell.end(), direct.begin(), direct.end());
  auto pointers = [](std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& s : strings) result.push_back(s.data());
    result.push_back(nullptr);
    return result;
  };
  std::vector<char*> directArgv = pointers(direct);
  std::vector<char*> shellArgv = pointers(shell);

  struct rlimit limit {};
  const int fdLimit = getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536
                          ? static_cast<int>(limit.rlim_cur)
                          : 65536;
  const int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (devnull < 0) {
    osError = errno;
    return -1;
  }
  const int outputFd = output == -2 ? devnull : output;
  // The child reports a failed exec through this pipe; a successful exec
  // closes it (close-on-exec) and the parent reads end of file.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    osError = errno;
    close(devnull);
    return -1;
  }

  const pid_t pid = fork();
  if (pid == 0) {
    if (ownSession) setsid();
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &defaults, nullptr);
    dup2(devnull, 0);
    if (outputFd >= 0) {
      dup2(outputFd, 1);
      dup2(outputFd, 2);
    }
    const unsigned keep = static_cast<unsigned>(report[1]);
    if (keep > 3) CloseFrom(3, keep - 1, fdLimit);
    CloseFrom(keep + 1, ~0U, fdLimit);
    if (viaShell) {
      execve(kShell, shellArgv.data(), environ);
    } else {
      execve(directArgv[0], directArgv.data(), environ);
      // A text file marked executable but without "#!": as a shell would.
      if (errno == ENOEXEC) execve(kShell, shellArgv.data(), environ);
    }
    const int error = errno;
    ssize_t ignored = write(report[1], &error, sizeof error);
    (void)ignored;
    _exit(127);
  }

  close(report[1]);
  close(devnull);
  if (pid < 0) {
    osError = errno;
    close(report[0]);
    return -1;
  }
  int childError = 0;
  ssize_t got;
  do {
    got = read(report[0], &childError, sizeof childError);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  if (got == static_cast<ssize_t>(sizeof childError)) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    osError = childError;
    return -1;
  }
  return pid;
}

// The programs StartProgram started and nobody has reaped yet (0: a free
// place), kept where a signal handler may read them.
constexpr int kMaxStarted = 64;
volatile sig_atomic_t started[kMaxStarted];

// The signal that asked this program to end while it had programs
// running, or 0; and whether the program winds up itself on every such
// signal (see IOsWindUpOnInterrupt).
volatile sig_atomic_t endingSignal = 0;
volatile sig_atomic_t windUp = 0;

// An interrupt or a termination of this program ends the programs it
// started too (their sessions are their own). With none running, and no
// winding up asked for, this program ends at once as the signal would have;
// otherwise the signal is noted, so that the program can remove what it made
// before it ends (IOsEndAsInterrupted). A second signal while it winds up
// ends everything at once, in case a program does not end when told.
void EndStartedPrograms(int sig) {
  const bool again = endingSignal != 0;
  bool any = false;
  for (int i = 0; i < kMaxStarted; ++i) {
    if (started[i] <= 0) continue;
    kill(-static_cast<pid_t>(started[i]), again ? SIGKILL : SIGTERM);
    any = true;
  }
  if (again || (!any && !windUp)) {
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  endingSignal = sig;
}

void ArmEnding() {
  static bool armed = false;
  if (armed) return;
  armed = true;
  struct sigaction ending {};
  ending.sa_handler = EndStartedPrograms;
  sigemptyset(&ending.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &ending, nullptr);
}

// The words of a command with its program resolved to the host file;
// false with errno-style `osError` when it cannot run.
bool ResolveWords(const std::vector<std::string>& words, std::vector<std::string>& direct,
                  bool& viaShell, int& osError) {
  osError = 0;
  std::string program;
  if (words.empty()) {
    osError = ENOENT;
    return false;
  }
  if (!PrepareProgram(words[0], program, viaShell, osError)) return false;
  direct.assign(1, program);
  direct.insert(direct.end(), words.begin() + 1, words.end());
  return true;
}

}  // namespace

int StartCommand(const std::string& command, bool hidden, int& osError) {
  std::vector<std::string> direct;
  bool viaShell = false;
  if (!ResolveWords(SplitAtBlanks(TrimTrailingBlanks(command)), direct, viaShell, osError)) return -1;
  return Launch(direct, viaShell, hidden ? -2 : -1, true, osError);
}

int StartProgram(const std::vector<std::string>& words, const std::string& outputFile,
                 int& osError) {
  // Asked to end: nothing new is started while the program winds up.
  if (endingSignal != 0) {
    osError = EINTR;
    return -1;
  }
  std::vector<std::string> direct;
  bool viaShell = false;
  if (!ResolveWords(words, direct, viaShell, osError)) return -1;
  int place = 0;
  while (place < kMaxStarted && started[place] != 0) ++place;
  if (place == kMaxStarted) {
    osError = EAGAIN;
    return -1;
  }
  const int output = open(IOsHostPath(outputFile).c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (output < 0) {
    osError = errno;
    return -1;
  }
  ArmEnding();
  // A session of its own, as every outside program gets: the scheduler
  // then shares the processors among the pictures as among other programs.
  const int pid = Launch(direct, viaShell, output, true, osError);
  close(output);
  if (pid > 0) started[place] = pid;
  return pid;
}

namespace {

// After an interrupt: the rest of an ended program's session (its Ferret,
// say) gets half a second to follow it, then its group is killed, so that
// nothing writes into what this program is about to remove. Bounded, for a
// member that left the group.
void AwaitSessionEnd(int sid) {
  const long long killAt = NowMs() + 500;
  bool killed = false;
  while (SessionRunning(sid) && NowMs() < killAt + 1000) {
    if (!killed && NowMs() >= killAt) {
      kill(-sid, SIGKILL);
      killed = true;
    }
    struct timespec pause {0, 10 * 1000000L};
    nanosleep(&pause, nullptr);
  }
}

}  // namespace

int WaitForProgram(int& exitCode, long long milliseconds) {
  const long long deadline = milliseconds < 0 ? -1 : NowMs() + milliseconds;
  for (;;) {
    std::vector<int> running;
    for (int i = 0; i < kMaxStarted; ++i) {
      const int pid = started[i];
      if (pid <= 0) continue;
      int status = 0;
      const pid_t r = waitpid(pid, &status, WNOHANG);
      if (r == 0 || (r < 0 && errno == EINTR)) {
        running.push_back(pid);
        continue;
      }
      started[i] = 0;
      if (endingSignal != 0) AwaitSessionEnd(pid);
      // Not ours any more (r < 0): nothing to report but failure.
      exitCode = r < 0 ? 127 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return pid;
    }
    if (running.empty()) return -1;
    const long long left = deadline < 0 ? 1000 : std::min<long long>(deadline - NowMs(), 1000);
    if (left <= 0) return 0;
    // Sleep until one of them ends; without process descriptors (old
    // kernels) look again every 10 ms.
    std::vector<struct pollfd> fds;
    for (int pid : running) {
      const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
      if (fd < 0) break;
      fds.push_back({fd, POLLIN, 0});
    }
    if (fds.size() == running.size()) {
      poll(fds.data(), fds.size(), static_cast<int>(left));
    } else {
      struct timespec pause {0, std::min<long long>(left, 10) * 1000000L};
      nanosleep(&pause, nullptr);
    }
    for (const struct pollfd& p : fds) close(p.fd);
  }
}

void WindUpOnInterrupt() {
  windUp = 1;
  ArmEnding();
}

int EndingSignal() { return endingSignal; }

void EndAsInterrupted() {
  const int sig = endingSignal;
  if (sig == 0) return;
  std::fflush(nullptr);
  signal(sig, SIG_DFL);
  raise(sig);
}

WaitOutcome WaitForChild(int pid, long long milliseconds, int& osError) {
  osError = 0;
  auto reaped = [&](int options) -> int {  // 1 reaped, 0 running, -1 error
    for (;;) {
      const pid_t r = waitpid(pid, nullptr, options);
      if (r == pid) return 1;
      if (r == 0) return 0;
      if (errno == EINTR) continue;
      osError = errno;
      return -1;
    }
  };
  if (milliseconds < 0) return reaped(0) == 1 ? WaitOutcome::Exited : WaitOutcome::Failed;

  const long long deadline = NowMs() + milliseconds;
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  WaitOutcome outcome = WaitOutcome::TimedOut;
  for (;;) {
    const int state = reaped(WNOHANG);
    if (state != 0) {
      outcome = state == 1 ? WaitOutcome::Exited : WaitOutcome::Failed;
      break;
    }
    const long long left = deadline - NowMs();
    if (left <= 0) break;
    // Without a process descriptor (old kernels) poll the child every 10 ms.
    const int step = static_cast<int>(std::min<long long>(left, pidfd >= 0 ? 1000000 : 10));
    if (pidfd >= 0) {
      struct pollfd p {pidfd, POLLIN, 0};
      poll(&p, 1, step);
    } else {
      struct timespec pause {0, step * 1000000L};
      nanosleep(&pause, nullptr);
    }
  }
  if (pidfd >= 0) close(pidfd);
  return outcome;
}

bool SessionRunning(int sid) {
  // Background jobs of a batch file stay in its process group, whose id is
  // the session's: when the group is empty, so is the session's work.
  if (kill(-sid, 0) != 0 && errno == ESRCH) return false;
  DIR* proc = opendir("/proc");
  if (!proc) return true;
  bool running = false;
  while (dirent* entry = readdir(proc)) {
    if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
    std::ifstream in(std::string("/proc/") + entry->d_name + "/stat");
    std::string stat;
    if (!std::getline(in, stat)) continue;
    // pid (comm) state ppid pgrp session ...; comm may hold blanks and ')'.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(stat.substr(close + 1));
    char state = 0;
    int parent = 0, group = 0, session = 0;
    if (!(fields >> state >> parent >> group >> session)) continue;
    if (session == sid && state != 'Z' && state != 'X') {
      running = true;
      break;
    }
  }
  closedir(proc);
  return running;
}

void AdoptChild(int pid) {
  Adopted().push_back(pid);
  ArmPeriodicReaper();
}

int ReapAdoptedChildren() {
  std::vector<int>& children = Adopted();
  children.erase(std::remove_if(children.begin(), children.end(),
                                [](int pid) {
                                  const pid_t r = waitpid(pid, nullptr, WNOHANG);
                                  // Gone or not ours any more (ECHILD): forget it.
                                  return r == pid || (r < 0 && errno != EINTR);
                                }),
                 children.end());
  return static_cast<int>(children.size());
}

}  // namespace toolkit
