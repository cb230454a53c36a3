#include "view/jobs.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "toolkit/picture_window.h"

extern char** environ;

namespace {

struct Job {
  pid_t pid = -1;
  int descriptor = -1;  // readable once the process has ended
  int watch = 0;
  std::function<void(int)> done;
};

int running = 0;

void ended(void* data) {
  auto* job = static_cast<Job*>(data);
  int status = 0;
  if (waitpid(job->pid, &status, WNOHANG) == 0) return;
  toolkit::Unwatch(job->watch);
  close(job->descriptor);
  --running;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::function<void(int)> done = std::move(job->done);
  delete job;
  done(code);
}

void failed(void* data) {
  auto* done = static_cast<std::function<void(int)>*>(data);
  (*done)(-1);
  delete done;
}

}  // namespace

void startjob(const std::vector<std::string>& words, const std::string& log, std::function<void(int)> done) {
  std::vector<char*> argv;
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.empty() ? "/dev/null" : log.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int started = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  const int descriptor = started == 0 ? static_cast<int>(syscall(SYS_pidfd_open, pid, 0)) : -1;
  if (started != 0 || descriptor < 0) {
    if (started == 0) {
      int status;
      waitpid(pid, &status, 0);
    }
    // Reported from the loop, as an ending would be.
    toolkit::After(0, failed, new std::function<void(int)>(std::move(done)));
    return;
  }
  fcntl(descriptor, F_SETFD, FD_CLOEXEC);
  auto* job = new Job{pid, descriptor, 0, std::move(done)};
  job->watch = toolkit::Watch(descriptor, ended, job);
  ++running;
}

int runningjobs() { return running; }
