// IOsSingleInstance: one running program per drive root. Two programs on
// one installation would overwrite each other's command files, outputs and
// run log, so the second one must find out before it writes anything.
//
// The lock is an flock on a file beside tmp (never in it): the kernel drops
// it when the holder ends, however it ends, so no stale lock is left behind.
// The descriptor is close-on-exec, and the batch files are started without
// descriptors above 2 anyway, so a Ferret window that outlives the program
// does not keep the installation locked.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "toolkit/error_slots.h"
#include "toolkit/fixed_text.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int kOperatingSystemError = 13;
const char kLockFile[] = "c:\\tidecharter\\tidecharter.lock";

int heldLock = -1;  // open for the rest of the process once taken

// The holder writes its process id right after taking the lock; a second
// start that looks in between sees an empty file for a moment.
std::string holderprocess(int fd) {
  for (int attempt = 0; attempt < 25; ++attempt) {
    char buffer[128] = {};
    const ssize_t n = pread(fd, buffer, sizeof buffer - 1, 0);
    std::string text = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "";
    const std::size_t end = text.find('\n');
    if (end != std::string::npos) return text.substr(0, end);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return "";
}

std::string hostname() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

}  // namespace

bool IOsSingleInstance(std::string& holder) {
  if (heldLock >= 0) return true;
  const std::string path = IOsHostPath(kLockFile);
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
  // A read-only installation still allows the lock itself.
  if (fd < 0) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    // Without the installation's directory there is nothing to protect.
    toolkit::RecordError(kOperatingSystemError);
    toolkit::RecordFileError(errno, 0);
    return true;
  }

  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    const int error = errno;
    if (error != EWOULDBLOCK) {
      // A file system without locks cannot tell; let the program run.
      close(fd);
      toolkit::RecordError(kOperatingSystemError);
      toolkit::RecordFileError(error, 0);
      return true;
    }
    std::string who = holderprocess(fd);
    close(fd);
    if (who.empty()) who = "another process";
    toolkit::AssignFixed(holder, who + ", drive root " + IOsDriveRoot());
    return false;
  }

  heldLock = fd;
  std::string who = "process " + std::to_string(getpid());
  const std::string host = hostname();
  if (!host.empty()) who += " on " + host;
  who += '\n';
  // A read-only lock file still locks; its holder just goes unnamed.
  const bool named = ftruncate(fd, 0) == 0 &&
                     pwrite(fd, who.data(), who.size(), 0) == static_cast<ssize_t>(who.size());
  (void)named;
  return true;
}
